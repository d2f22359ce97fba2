#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// The capture inputs of a sound card's mixer (the sound-card input combo). A narrow
// interface: the real one talks to ALSA, tests use a double.
class IAlsaMixer {
public:
    virtual ~IAlsaMixer() = default;
    // Names of the capture inputs, in mixer order.
    virtual QStringList CaptureInputs() = 0;
    // The input currently recorded from; empty when none is.
    virtual QString ActiveCaptureInput() = 0;
    // Records from that input (and from no other where the card can choose); false when the
    // name is unknown or the card refuses.
    virtual bool EnableCaptureInput(const QString& name) = 0;

    // A recording level of the card: its name, range and present value (left channel).
    struct Level {
        QString name;
        long minimum = 0;
        long maximum = 0;
        long value = 0;
    };
    virtual std::vector<Level> CaptureLevels() = 0;
    // Sets every channel of that level; false when unknown or refused.
    virtual bool SetCaptureLevel(const QString& name, long value) = 0;
};

// Opens the mixer of a card ("hw:0", "default" ...); null when there is no such card.
std::unique_ptr<IAlsaMixer> OpenAlsaMixer(const QString& card);
