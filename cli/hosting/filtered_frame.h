// One request of the host: the tool filters a frame and hands over its image.
#pragma once

#include "hosting/sources.h"

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>
#include <hostsdk/link.h>
#include <hostsdk/operator.h>

#include <vector>

namespace taviron::cli {

// The tool's image on `output` for `frame`. A decoding error that one of
// `sources` kept while the tool fetched from it is thrown here, as is a
// request that gave no image.
HostRef<Image> FilteredFrame(Operator& tool, Output& output, int frame, const std::vector<SequenceSource*>& sources = {});

}  // namespace taviron::cli
