#pragma once

#include "VrIncrustRec.h"
#include "dv/DVFrameInfo.h"

#include <string>

// Production of the two inlaid lines from the record, the frame's DV metadata and the clock.
// Texts are UTF-8.
namespace incrust {

struct TextInputs {
    bool haveScene = false; // a DV scene detector supplies the frame's metadata
    TDVFrameInfo info;
    double now = 0.0; // system date-time (local)
};

// "h:mm:ss:ff" with signed hours, or "N/A" without a valid timecode.
void formatTimecode(const TextInputs& in, std::string& out);

// Replaces every "%<letter>" (either case of both; letter is ASCII) by the given text.
void replaceMarker(std::string& text, char letter, const std::string& by);

// Builds both lines for the record's kind of text. Returns false (lines untouched) for an
// unknown kind.
bool produceLines(const VrIncrustRec& rec, const TextInputs& in, std::string& line1,
                  std::string& line2);

} // namespace incrust
