#pragma once

// The descriptors, one file each (formats/<Name>Format.cpp).
#include "CaptureFormat.h"

extern const TCaptureFormat kDvType1NativeFormat;
extern const TCaptureFormat kDvType2NativeFormat;
extern const TCaptureFormat kMpeg1NativeFormat;
extern const TCaptureFormat kMpeg2NativeFormat;
extern const TCaptureFormat kAviNativeFormat;
extern const TCaptureFormat kDvType2RecompressedFormat;
extern const TCaptureFormat kDivxFormat;
extern const TCaptureFormat kWmvFormat;
extern const TCaptureFormat kFrameByFrameFormat;
extern const TCaptureFormat kWavFormat;
extern const TCaptureFormat kMp3Format;
