#include "io/writing/complete_output.h"

#include "io/reading/row_bands.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace taviron::cli {

namespace {

// Decodes the first part's full-resolution pixels a band at a time, so a
// large frame is checked in a buffer a band deep.
bool DecodesWhole(OIIO::ImageInput& file) {
    const OIIO::ImageSpec spec = file.spec();
    if (spec.deep) return false;  // not what a render writes
    RowBands bands(file, 0, spec);
    const size_t rowBytes = static_cast<size_t>(spec.width) * static_cast<size_t>(spec.nchannels) * spec.format.size();
    std::vector<unsigned char> band(rowBytes * static_cast<size_t>(std::min(spec.height, bands.Rows())));
    for (int32_t start = 0; start < spec.height; start += bands.Rows())
        if (!bands.Read(start, std::min(spec.height, start + bands.Rows()), spec.format, band.data())) return false;
    return true;
}

}  // namespace

bool CompleteOutputExists(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0) return false;
    auto file = OIIO::ImageInput::open(path);
    if (!file) {
        OIIO::geterror();
        return false;
    }
    file->threads(1);
    const bool whole = DecodesWhole(*file);
    if (!whole) file->geterror();
    return whole;
}

}  // namespace taviron::cli
