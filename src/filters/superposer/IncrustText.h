#pragma once

#include "IncrustRec.h"
#include "dv/DVFrameInfo.h"

#include <QString>

// Production of the two inlaid lines from the record, the frame's DV metadata and the clock.
namespace incrust {

struct TextInputs {
    bool haveScene = false; // a DV scene detector supplies the frame's metadata
    TDVFrameInfo info;
    double now = 0.0; // system date-time (local)
};

// "h:mm:ss:ff" with signed hours, or "N/A" without a valid timecode.
void formatTimecode(const TextInputs& in, QString& out);

// Replaces every "%<letter>" (either case of both) by the given text.
void replaceMarker(QString& text, QChar letter, const QString& by);

// Builds both lines for the record's kind of text. Returns false (lines untouched) for an
// unknown kind.
bool produceLines(const TincrustRec& rec, const TextInputs& in, QString& line1, QString& line2);

} // namespace incrust
