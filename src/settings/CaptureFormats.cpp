#include "CaptureFormats.h"

#include <array>

namespace {
struct FormatLabels {
    const char* label;
    const char* shortLabel;
};

const std::array<FormatLabels, 13> kFormats = {{
    {"", ""},
    {"dv type 1 natif", "natif"},
    {"dv type 2 natif", "natif"},
    {"flux mpeg2 natif", "natif"},
    {"flux mpeg1 natif", "natif"},
    {"avi natif", "natif"},
    {"dv type 2 (recomp)", "dv2 rec"},
    {"Wmv", "Wmv"},
    {"Image/Image", "Image/Image"},
    {"divx", "divx"},
    {"défaut", "défaut"},
    {"Wav", "Wav"},
    {"mp3", "mp3"},
}};

const FormatLabels* row(uint8_t format) {
    const uint8_t v = format & 0x7f;
    return v < kFormats.size() ? &kFormats[v] : nullptr;
}
} // namespace

QString CaptureFormatLabel(uint8_t format) {
    const FormatLabels* r = row(format);
    return QString::fromUtf8(r ? r->label : "défaut");
}

QString CaptureFormatShortLabel(uint8_t format) {
    const FormatLabels* r = row(format);
    return QString::fromUtf8(r ? r->shortLabel : "défaut");
}

namespace {
const std::array<std::pair<const char*, uint8_t>, 12> kParse = {{
    {"Aucun", cfNone},
    {"dv type 1 natif", cfDvType1Native},
    {"dv type 2 natif", cfDvType2Native},
    {"flux mpeg1 natif", cfMpeg1Native},
    {"flux mpeg2 natif", cfMpeg2Native},
    {"avi natif", cfAviNative},
    {"dv type 2 (recomp)", cfDvType2Recompressed},
    {"Wmv", cfWmv},
    {"Image/Image", cfFrameByFrame},
    {"divx", cfDivx},
    {"Wav", cfWav},
    {"mp3", cfMp3},
}};
} // namespace

uint8_t CaptureFormatFromLabel(const QString& label) {
    for (const auto& [text, value] : kParse)
        if (label == QLatin1String(text))
            return value;
    return cfDefault;
}

uint8_t FrequenceFromLabel(const QString& label) {
    if (label == QLatin1String("32000"))
        return 1;
    if (label == QLatin1String("44100"))
        return 2;
    if (label == QLatin1String("48000"))
        return 3;
    return 0;
}

int AudioRateOfFrequenceDV(uint8_t frequence) {
    switch (frequence) {
    case 1:
        return 32000;
    case 3:
        return 48000;
    default:
        return 44100;
    }
}

std::optional<uint8_t> CaptureFormatFromTypedName(const QString& name) {
    const QString typed = name.trimmed();
    for (const auto& [text, value] : kParse)
        if (typed.compare(QString::fromUtf8(text), Qt::CaseInsensitive) == 0)
            return value;
    if (typed.compare(QStringLiteral("défaut"), Qt::CaseInsensitive) == 0)
        return cfDefault;
    return std::nullopt;
}

QStringList CaptureFormatNames() {
    QStringList names;
    for (const auto& [text, value] : kParse)
        names << QString::fromUtf8(text);
    names << QStringLiteral("défaut");
    return names;
}
