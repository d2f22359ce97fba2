#include "Crossbar.h"

#include <bit>

std::unique_ptr<TCrossbar> TCrossbar::Create(std::unique_ptr<IV4l2Inputs> device) {
    if (!device)
        return nullptr;
    auto crossbar = std::unique_ptr<TCrossbar>(new TCrossbar);
    crossbar->m_inputs = device->Inputs();
    for (const TV4l2Input& input : crossbar->m_inputs) {
        TCrRouting step;
        step.InputIndex = int32_t(input.index);
        step.InputConnector = ConnectorOf(input);
        if (input.audioset != 0) {
            step.RelatedInputIndex = std::countr_zero(input.audioset);
            step.RelatedOutputIndex = 0;
        }
        crossbar->m_paths.push_back({step});
    }
    crossbar->m_device = std::move(device);
    return crossbar;
}

int32_t TCrossbar::ConnectorOf(const TV4l2Input& input) {
    if (input.tuner)
        return 1;
    const QString name = input.name.toLower();
    if (name.contains(QLatin1String("composite")))
        return 2;
    if (name.contains(QLatin1String("s-video")) || name.contains(QLatin1String("svideo")))
        return 3;
    if (name.contains(QLatin1String("rgb")))
        return 4;
    if (name.contains(QLatin1String("component")) || name.contains(QLatin1String("ypbpr")))
        return 5;
    if (name.contains(QLatin1String("hdmi")) || name.contains(QLatin1String("sdi")))
        return 6;
    if (name.contains(QLatin1String("scart")) || name.contains(QStringLiteral("péritel")))
        return 14;
    if (name.contains(QLatin1String("usb")))
        return 11;
    return 0;
}

QString TCrossbar::ConnectorName(int32_t type) {
    static const char* const video[] = {"Video Tuner",
                                        "Video Composite",
                                        "Video SVideo",
                                        "Video RGB",
                                        "Video YRYBY",
                                        "Video SerialDigital",
                                        "Video ParallelDigital",
                                        "Video SCSI",
                                        "Video AUX",
                                        "Video 1394",
                                        "Video USB",
                                        "Video Decoder",
                                        "Video Encoder",
                                        "Video Scart"};
    static const char* const audio[] = {
        "Audio Tuner", "Audio Line", "Audio Mic",  "Audio AESDigital", "Audio SPDIFDigital",
        "Audio SCSI",  "Audio AUX",  "Audio 1394", "Audio USB",        "Audio Decoder"};
    if (type >= 1 && type <= 14)
        return QLatin1String(video[type - 1]);
    if (type >= 4096 && type <= 4105)
        return QLatin1String(audio[type - 4096]);
    return QStringLiteral("Inconnu");
}

bool TCrossbar::InputConnectorType(int index, int32_t& type) const {
    if (index < 0 || index >= InputCount())
        return false;
    type = m_paths[size_t(index)].front().InputConnector;
    return true;
}

bool TCrossbar::InputName(int index, QString& name) const {
    int32_t type = 0;
    if (!InputConnectorType(index, type))
        return false;
    name = ConnectorName(type);
    return true;
}

bool TCrossbar::SelectInput(int index) {
    m_current = index;
    if (m_paths.empty() || index < 0 || index >= InputCount())
        return false;
    bool result = false;
    for (const TCrRouting& step : m_paths[size_t(index)]) {
        result = m_device->SelectInput(uint32_t(step.InputIndex));
        // The sound that goes with it, best effort: its result is not reported.
        if (result && step.RelatedInputIndex != -1 && step.RelatedOutputIndex != -1)
            m_device->SelectAudio(uint32_t(step.RelatedInputIndex));
    }
    return result;
}

const TV4l2Input* TCrossbar::tunerInput() const {
    for (const TV4l2Input& input : m_inputs)
        if (input.tuner)
            return &input;
    return nullptr;
}
