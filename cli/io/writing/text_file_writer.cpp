#include "io/writing/text_file_writer.h"

#include "errors.h"
#include "io/writing/checked_output_file.h"
#include "io/writing/durable_rename.h"
#include "io/writing/interrupt_cleanup.h"
#include "io/writing/temporary_name.h"

#include <unistd.h>

#include <filesystem>

namespace taviron::cli {

namespace {

// The reason it failed; empty when the file is in place.
std::string WriteUnder(const std::string& temporary, const std::string& path, const std::string& text) {
    CheckedOutputFile file(temporary);
    file.write(text.data(), text.size());
    std::string failure = file.Finish();
    if (failure.empty()) failure = RenameDurably(temporary, path);
    return failure;
}

}  // namespace

void WriteTextFile(const std::string& path, const std::string& text) {
    const std::string temporary = TemporaryNameBeside(path, getpid());
    RegisterTemporaryFile(temporary);
    const std::string failure = WriteUnder(temporary, path, text);
    if (!failure.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    UnregisterTemporaryFile(temporary);
    if (!failure.empty()) throw OutputError("cannot write " + path + ": " + failure);
}

}  // namespace taviron::cli
