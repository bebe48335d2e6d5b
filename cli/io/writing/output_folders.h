// The folders a render writes its outputs into, made when the first output
// of each is about to be written rather than up front: a render that writes
// nothing leaves no folder behind, and the folders it made and wrote nothing
// into are removed again when it ends, however it ends (a signal included).
// Each frame's folder is made for it, so a pattern whose frame number is in
// a folder's name (`shot/####/beauty.exr`) gets a folder per frame.
#pragma once

#include <string>
#include <vector>

namespace taviron::cli {

class OutputFolders {
public:
    OutputFolders() = default;
    // Removes the folders made that are still empty, the deepest first.
    ~OutputFolders();
    OutputFolders(const OutputFolders&) = delete;
    OutputFolders& operator=(const OutputFolders&) = delete;

    // Throws an output error, naming it, when the folder of `outputPath` is
    // missing and cannot be made: a file where a folder should be, or a
    // parent that cannot be written.
    static void CheckCanMake(const std::string& outputPath);
    // Makes the folder of `outputPath` and its missing parents; throws an
    // output error saying why it cannot.
    void MakeFor(const std::string& outputPath);

private:
    std::vector<std::string> made_;
};

}  // namespace taviron::cli
