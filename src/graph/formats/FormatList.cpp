#include "FormatList.h"

#include <QLatin1String>

const std::vector<const TCaptureFormat*>& CaptureFormatList() {
    // The order of the format list: the device's own streams first.
    static const std::vector<const TCaptureFormat*> list = {
        &kDvType1NativeFormat, &kDvType2NativeFormat, &kMpeg1NativeFormat,
        &kMpeg2NativeFormat,   &kAviNativeFormat,     &kDvType2RecompressedFormat,
        &kDivxFormat,          &kWmvFormat,           &kFrameByFrameFormat,
        &kWavFormat,           &kMp3Format,
    };
    return list;
}

const TCaptureFormat* CaptureFormatOf(uint8_t value) {
    const uint8_t v = value & 0x7f;
    for (const TCaptureFormat* format : CaptureFormatList())
        if (format->value == v)
            return format;
    return nullptr;
}

namespace {
const QString kDefault = QStringLiteral("défaut");
const QString kNone = QStringLiteral("Aucun");
} // namespace

QString CaptureFormatLabel(uint8_t format) {
    if ((format & 0x7f) == cfNone)
        return QString();
    const TCaptureFormat* f = CaptureFormatOf(format);
    return f ? QString::fromUtf8(f->label) : kDefault;
}

QString CaptureFormatShortLabel(uint8_t format) {
    if ((format & 0x7f) == cfNone)
        return QString();
    const TCaptureFormat* f = CaptureFormatOf(format);
    return f ? QString::fromUtf8(f->shortLabel) : kDefault;
}

uint8_t CaptureFormatFromLabel(const QString& label) {
    if (label == kNone)
        return cfNone;
    for (const TCaptureFormat* format : CaptureFormatList())
        if (label == QString::fromUtf8(format->label))
            return format->value;
    return cfDefault;
}

std::optional<uint8_t> CaptureFormatFromTypedName(const QString& name) {
    const QString typed = name.trimmed();
    if (typed.compare(kNone, Qt::CaseInsensitive) == 0)
        return cfNone;
    for (const TCaptureFormat* format : CaptureFormatList())
        if (typed.compare(QString::fromUtf8(format->label), Qt::CaseInsensitive) == 0)
            return format->value;
    if (typed.compare(kDefault, Qt::CaseInsensitive) == 0)
        return cfDefault;
    return std::nullopt;
}

QStringList CaptureFormatNames() {
    QStringList names{kNone};
    for (const TCaptureFormat* format : CaptureFormatList())
        names << QString::fromUtf8(format->label);
    names << kDefault;
    return names;
}

QString CaptureFormatExtension(uint8_t format) {
    const TCaptureFormat* f = CaptureFormatOf(format);
    return QString::fromLatin1(f ? f->extension : ".avi");
}

bool RecordsSoundOnly(uint8_t format) {
    const TCaptureFormat* f = CaptureFormatOf(format);
    return f && f->streams == TFormatStreams::SoundOnly;
}

bool RecordsImageByImage(uint8_t format) {
    const TCaptureFormat* f = CaptureFormatOf(format);
    return f && f->streams == TFormatStreams::ImageByImage;
}
