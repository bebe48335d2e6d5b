// A file the image library writes through, that notices every failed write.
// The library's own files buffer their writes and do not check the final
// flush, so a disk that fills up leaves a short file that reads as a whole
// one; here each write goes to the system and the first failure is kept.
#pragma once

#include <OpenImageIO/filesystem.h>

#include <string>

namespace taviron::cli {

class CheckedOutputFile : public OIIO::Filesystem::IOProxy {
public:
    // Creates or empties the file; Failure() tells when that failed.
    explicit CheckedOutputFile(const std::string& path);
    ~CheckedOutputFile() override;
    CheckedOutputFile(const CheckedOutputFile&) = delete;
    CheckedOutputFile& operator=(const CheckedOutputFile&) = delete;

    const char* proxytype() const override { return "checked"; }
    // Some writers read back what they wrote, e.g. to update a directory.
    size_t read(void* buffer, size_t size) override;
    size_t pread(void* buffer, size_t size, int64_t offset) override;
    size_t write(const void* buffer, size_t size) override;
    size_t pwrite(const void* buffer, size_t size, int64_t offset) override;
    size_t size() const override;
    void close() override;

    // Closes the file; the reason of the first failed write or of the close,
    // empty when every byte reached the file.
    std::string Finish();

private:
    void Fail(int code);

    int descriptor_ = -1;
    std::string failure_;
};

}  // namespace taviron::cli
