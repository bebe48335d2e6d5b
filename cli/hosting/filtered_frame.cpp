#include "hosting/filtered_frame.h"

#include "errors.h"

#include <OpenImageIO/strutil.h>
#include <hostsdk/request.h>

#include <string>

namespace taviron::cli {

HostRef<Image> FilteredFrame(Operator& tool, Output& output, int frame, const std::vector<SequenceSource*>& sources) {
    Request request(&tool, frame);
    tool.Process(&request);
    for (SequenceSource* source : sources) source->RethrowError();
    Parameter* value = request.TakeOutputData(&output);
    auto* image = dynamic_cast<Image*>(value);
    if (!image) {
        if (value) value->Recycle();
        throw InputError(OIIO::Strutil::fmt::format("the tool gave no image for frame {}", frame));
    }
    return HostRef<Image>(image);
}

}  // namespace taviron::cli
