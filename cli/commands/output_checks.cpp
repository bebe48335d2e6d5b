#include "commands/output_checks.h"

#include "commands/output_depth.h"
#include "errors.h"
#include "io/writing/stored_type.h"
#include "io/writing/temporary_name.h"

#include <OpenImageIO/strutil.h>

#include <unistd.h>

#include <climits>
#include <filesystem>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

std::string FormatNameOf(const std::string& path) {
    auto probe = OIIO::ImageOutput::create(path);
    if (!probe) {
        OIIO::geterror();  // taken, or it would be reported again later
        const std::string extension = fs::path(path).extension().string();
        throw UsageError("cannot write " + path + ": no image format writes " +
                         (extension.empty() ? std::string("files without an extension") : "\"" + extension + "\" files"));
    }
    return probe->format_name();
}

// A format that would store another type than asked is refused rather than
// silently changing the depth of a whole sequence.
void CheckDepth(const std::string& path, const std::string& formatName, OIIO::TypeDesc depth) {
    const auto stored = StoredType(path, OIIO::ImageSpec(1, 1, 3, depth));
    if (stored && *stored != depth)
        throw UsageError("--depth " + DepthWord(depth) + ": " + formatName + " files cannot hold " +
                         SamplesName(depth) + " samples (" + path + " would be written " + SamplesName(*stored) + ")");
}

long NameLimitOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? limit : NAME_MAX;
}

void CheckTemporaryNameLength(const std::string& path) {
    // The longest process ID the system gives.
    const std::string temporary = fs::path(TemporaryNameBeside(path, 999999999)).filename().string();
    const long limit = NameLimitOf(path);
    if (static_cast<long>(temporary.size()) > limit)
        throw UsageError(OIIO::Strutil::fmt::format("the output name {} is too long: it is written first as {}, longer than the {} "
                                                    "bytes a file name may have here",
                                                    fs::path(path).filename().string(),
                                                    fs::path(TemporaryNameBeside(path, getpid())).filename().string(), limit));
}

}  // namespace

void CheckOutput(const FramePattern& output, const std::vector<int>& frames, const OutputEncoding& encoding,
                 OIIO::TypeDesc depth) {
    const std::string first = output.PathOf(frames.front());
    const std::string formatName = FormatNameOf(first);
    CheckEncoding(encoding, output.Text(), formatName);
    if (depth != OIIO::TypeDesc::UNKNOWN) CheckDepth(first, formatName, depth);
    // The longest frame number, the first (negative) or the last, gives the longest name.
    CheckTemporaryNameLength(output.PathOf(frames.front()));
    CheckTemporaryNameLength(output.PathOf(frames.back()));
}

}  // namespace taviron::cli
