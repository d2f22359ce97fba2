#pragma once

#include <QString>

// The codec fourcc of a finished AVI's video stream (the stream header's handler and the
// bitmap header's compression), for the codecs whose fourcc the muxer does not write itself
// ("XVID"). Only the two fields of the last video stream header are written, and only when
// the stream format chunk follows the stream header as it must; false when nothing was written.
bool PatchAviVideoFourcc(const QString& file, const char fourcc[4]);
