#pragma once

#include "GstRef.h"

#include <gst/gst.h>

#include <vector>

class TCaptureDevice;

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
    TGstRef<GstPad> videoOutputPad;
    GstElement* videoBranchTee = nullptr;
    // Set by SetAudioGraph: raw audio, and the tee of the native audio stream.
    TGstRef<GstPad> audioPin;
    GstElement* audioBranchTee = nullptr;
    // Set by SetVideoGraph: the device of the picture (its BuildMuxGraph writes the native
    // type 1 file), and whether its rows come bottom row first (the overlay turns them).
    TCaptureDevice* videoDevice = nullptr;
    bool sourceFlipped = false;
    // Set by BuildMuxGraph when the program's recording branch is to write the file: the tee
    // it takes the stream from, and the writer of the file (floating elements, not yet in
    // the pipeline: head first, file sink last; the branch takes them). Left empty by a
    // device that writes the file itself, until its KillMuxGraph.
    GstElement* muxTee = nullptr;
    std::vector<GstElement*> muxWriter;
};
