#include "Sources.h"

QString VideoSourceName(const TCaptureDevice& device, int stream) {
    if (stream >= 2)
        return device.DisplayName + QStringLiteral(" #") + QString::number(stream);
    return device.AudioStreamCount > 0 ? device.DisplayName + QStringLiteral(" - Video")
                                       : device.DisplayName;
}

QString AudioSourceName(const TCaptureDevice& device, int stream) {
    if (stream >= 2)
        return device.DisplayName + QStringLiteral("#") + QString::number(stream);
    return device.VideoStreamCount > 0 ? device.DisplayName + QStringLiteral(" - Audio")
                                       : device.DisplayName;
}

void TSourceExclusions::Load(const QString& sourcesExclues) {
    m_items.clear();
    QString text = sourcesExclues;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList names = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        bool known = false;
        for (const auto& item : m_items)
            known = known || item.first == name;
        if (!known)
            m_items.emplace_back(name, false);
    }
}

QString TSourceExclusions::Save() const {
    QString text;
    for (const auto& [name, checked] : m_items)
        if (!checked)
            text += name + QStringLiteral("\r\n");
    return text;
}

bool TSourceExclusions::Allow(const QString& friendlyName) {
    for (const auto& [name, checked] : m_items)
        if (name == friendlyName)
            return checked;
    m_items.emplace_back(friendlyName, true);
    return true;
}

void TSourceExclusions::SetChecked(const QString& friendlyName, bool checked) {
    for (auto& item : m_items)
        if (item.first == friendlyName)
            item.second = checked;
}

namespace {

template <class T>
std::unique_ptr<T> MakeSource(TCaptureDevice* device, int stream, const QString& name,
                              uint8_t kind) {
    auto source = std::make_unique<T>();
    source->Device = device;
    source->StreamNumber = stream;
    source->Name = name;
    source->StreamKind = kind;
    return source;
}

uint8_t AudioKindOf(const TCaptureDevice& device) {
    switch (device.Kind) {
    case dkDV:
        return 4;
    case dkPlugIn:
        return 1;
    case dkVideo:
        return 2;
    default:
        return 3;
    }
}

} // namespace

void TSourceLists::Rebuild(const TCaptureDeviceList& videoDevices,
                           const TCaptureDeviceList& audioDevices, const QStringList& runExclusions,
                           TSourceExclusions& exclusions) {
    video.clear();
    audio.clear();
    auto listed = [&](const TCaptureDevice& d) {
        return !runExclusions.contains(d.FriendlyName) && exclusions.Allow(d.FriendlyName);
    };
    for (int i = 0; i < videoDevices.Count(); ++i) {
        TCaptureDevice* d = videoDevices.Get(i);
        if (!listed(*d))
            continue;
        for (int n = 1; n <= d->VideoStreamCount; ++n)
            video.push_back(
                MakeSource<TVideoSource>(d, n, VideoSourceName(*d, n), d->Kind == dkDV ? 5 : 1));
        for (int n = 1; n <= d->AudioStreamCount; ++n)
            audio.push_back(
                MakeSource<TAudioSource>(d, n, AudioSourceName(*d, n), AudioKindOf(*d)));
    }
    for (int i = 0; i < audioDevices.Count(); ++i) {
        TCaptureDevice* d = audioDevices.Get(i);
        if (!listed(*d))
            continue;
        for (int n = 1; n <= d->AudioStreamCount; ++n)
            audio.push_back(
                MakeSource<TAudioSource>(d, n, AudioSourceName(*d, n), AudioKindOf(*d)));
    }
}

TVideoSource* TSourceLists::FindVideo(const QString& name) const {
    for (const auto& s : video)
        if (s->Name == name)
            return s.get();
    return nullptr;
}

TAudioSource* TSourceLists::FindAudio(const QString& name) const {
    for (const auto& s : audio)
        if (s->Name == name)
            return s.get();
    return nullptr;
}

QStringList TSourceLists::VideoNames() const {
    QStringList names;
    for (const auto& s : video)
        names << s->Name;
    return names;
}

QStringList TSourceLists::AudioNames() const {
    QStringList names;
    for (const auto& s : audio)
        names << s->Name;
    return names;
}
