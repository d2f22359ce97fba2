#pragma once

#include "StillImage.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Still images on disk. A file is written under a temporary name in its folder and renamed
// when complete, so a failed write (missing folder, full disk, no permission) leaves nothing
// behind; the folder is not created. On failure, error says why in French.
namespace stills {

// A 24-bit BMP file.
bool WriteBmp(const QString& path, const TStillImage& image, QString* error);

// A baseline JPEG file at an IJG quality of 1..100, with EXIF: the moment the picture was
// filmed (DateTimeOriginal), "Vidorra" as Software and the pixel size.
bool WriteJpeg(const QString& path, const TStillImage& image, int quality,
               const QDateTime& filmedAt, QString* error);

} // namespace stills
