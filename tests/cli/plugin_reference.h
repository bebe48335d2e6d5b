// The plug-in applied in this process, through the host, to the pixels of
// the test's files: what the program must give for the same frames.
#pragma once

#include "support/plugin_fixture.h"
#include "sequence_files.h"

#include <map>
#include <string>
#include <utility>

struct ReferenceRender {
    std::map<int, std::string> frameFiles;  // the clip
    std::string maskFile;                   // one mask for every frame, or none
    std::map<int, std::pair<double, double>> track;
    std::map<std::string, double> controls;  // by input ID
};

class PluginReference : public TavironPlugin {
protected:
    // The output at `frame` as floats, with the channels of the host's
    // pixel record named R, G, B, A and Z.
    Picture Render(const ReferenceRender& render, int frame);
};
