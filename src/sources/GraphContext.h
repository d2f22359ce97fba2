#pragma once

#include <gst/gst.h>

// What a capture device needs of the graph module to put its part of the pipeline in place,
// and where it leaves the results. The graph module implements it; devices never see the
// rest of the graph.
class TGraphContext {
public:
    virtual ~TGraphContext() = default;

    // The program's one pipeline; devices add their elements to it (never set its state).
    virtual GstBin* pipeline() = 0;
    // DV pictures decoded at half size (set while a DivX recording wants it).
    virtual bool dvHalfSize() const = 0;

    // Set by SetVideoGraph: the pad that delivers the decoded picture (raw video, any
    // format) to the preview chain, and the tee from which recordings take the native
    // stream (request pads "src_%u"). Cleared by KillVideoGraph.
    GstPad* videoOutputPad = nullptr; // owned ref
    GstElement* videoBranchTee = nullptr;
    // Set by SetAudioGraph: raw audio, and the tee of the native audio stream.
    GstPad* audioPin = nullptr; // owned ref
    GstElement* audioBranchTee = nullptr;
};
