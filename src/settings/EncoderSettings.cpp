#include "EncoderSettings.h"

#include "AppPaths.h"
#include "RegistryStore.h"

#include <optional>

namespace {

// A key of their own, outside the program's key: creating anything under
// "Software\Ardoval\Vidorra" would make the next start believe that the preferences live in
// the registry.
const char kDivxKey[] = "Software\\Ardoval\\Codecs\\MPEG-4";
const char kDivxBitrate[] = "Bitrate";
const char kDivxQuantiser[] = "Quantiser";
const char kDivxKeyInterval[] = "KeyFrameInterval";

// LAME's bitrate is kept under LAME's own key, outside the program's key too.
const char kMp3Key[] = "Software\\GNU\\LAME MPEG Layer III Audio Encoder Filter";
const char kMp3Value[] = "Bitrate";
constexpr int kDefaultMp3Bitrate = 128;

std::optional<quint32> readDword(const TRegistryFile& reg, const QString& key, const char* name) {
    const auto v = reg.value(key, QLatin1String(name));
    if (!v || v->kind != RegKind::Dword)
        return std::nullopt;
    return v->dword;
}

} // namespace

QString DivxSettingsKey() {
    return QLatin1String(kDivxKey);
}

TDivxSettings LoadDivxSettings() {
    TDivxSettings s;
    const TRegistryFile reg(AppPaths::registryFilePath());
    const QString key = DivxSettingsKey();
    if (auto v = readDword(reg, key, kDivxBitrate); v && *v <= 100000)
        s.bitrateKbps = int(*v);
    if (auto v = readDword(reg, key, kDivxQuantiser); v && *v >= 2 && *v <= 31)
        s.quantiser = int(*v);
    if (auto v = readDword(reg, key, kDivxKeyInterval); v && *v >= 1 && *v <= 3000)
        s.keyFrameInterval = int(*v);
    return s;
}

bool SaveDivxSettings(const TDivxSettings& s) {
    if (s.bitrateKbps < 0 || s.bitrateKbps > 100000 || s.quantiser < 2 || s.quantiser > 31 ||
        s.keyFrameInterval < 1 || s.keyFrameInterval > 3000)
        return false;
    TRegistryFile reg(AppPaths::registryFilePath());
    const QString key = DivxSettingsKey();
    return reg.createKey(key) &&
           reg.setValue(key, QLatin1String(kDivxBitrate), TRegValue::fromDword(s.bitrateKbps)) &&
           reg.setValue(key, QLatin1String(kDivxQuantiser), TRegValue::fromDword(s.quantiser)) &&
           reg.setValue(key, QLatin1String(kDivxKeyInterval),
                        TRegValue::fromDword(s.keyFrameInterval)) &&
           reg.commit();
}

QString Mp3SettingsKey() {
    return QLatin1String(kMp3Key);
}

int LoadMp3Bitrate() {
    const TRegistryFile reg(AppPaths::registryFilePath());
    // LAME accepts 8..320 kbit/s; anything else in the store is not a bitrate it can use.
    if (auto v = readDword(reg, Mp3SettingsKey(), kMp3Value); v && *v >= 8 && *v <= 320)
        return int(*v);
    return kDefaultMp3Bitrate;
}

bool SaveMp3Bitrate(int kbps) {
    if (kbps < 8 || kbps > 320)
        return false;
    TRegistryFile reg(AppPaths::registryFilePath());
    const QString key = Mp3SettingsKey();
    return reg.createKey(key) &&
           reg.setValue(key, QLatin1String(kMp3Value), TRegValue::fromDword(quint32(kbps))) &&
           reg.commit();
}
