// What a path IS, rather than how it is spelled: two names of one file (a
// bind mount, a symbolic link to a folder, `a/../a`, a hard link) have the
// same identity. An existing file is its device and inode; a file not yet
// written is its folder's device and inode and its own name.
#pragma once

#include <sys/types.h>

#include <string>
#include <tuple>

namespace taviron::cli {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // empty for an existing file

    bool operator<(const FileIdentity& other) const {
        return std::tie(device, inode, name) < std::tie(other.device, other.inode, other.name);
    }
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

// Follows symbolic links. A path whose folder does not exist either is
// known by its absolute, normalised spelling.
FileIdentity IdentityOf(const std::string& path);

}  // namespace taviron::cli
