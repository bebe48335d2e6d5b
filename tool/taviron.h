// The Taviron tool: a temporal filter that replaces each enabled channel of a
// pixel by the median, average, maximum, minimum or a random pick of the same
// pixel over a window of frames.
#pragma once

#include <hostsdk/hostsdk.h>

class Taviron : public ThreadedOperator {
public:
    Taviron(Registry* reg, const ScriptVal& script, const TagList& tags);
    ~Taviron() override;

    void Process(Request* req) override;
    void NotifyChanged(Input* in, Parameter* param, double time, TagList* tags) override;
    void ProcessChunk(Request* req, long chunk) override;

    // Links, in order of declaration.
    Input* InRed;
    Input* InGreen;
    Input* InBlue;
    Input* InAlpha;
    Input* InSampleDirection;
    Input* InFrames;
    Input* InThreshold;
    Input* InAbout;
    Input* InMask;
    Input* InTrackData;
    Input* InUseData;
    Input* InFilterMethod;
    Input* InImage;
    Output* OutImage;

    // Working state of the request in progress (set by Process, read by the
    // chunks); the gathered frames and the current track point belong to the
    // request itself.
    Image* SourceImg = nullptr;
    Image* OutImg = nullptr;
    Image* MaskImg = nullptr;
};
