#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The inputs, tuners and audio inputs of a V4L2 capture card. A narrow interface: the real
// one talks to the device node, tests use a double.
struct TV4l2Input {
    uint32_t index = 0;
    QString name;
    bool tuner = false; // V4L2_INPUT_TYPE_TUNER
    uint32_t tunerIndex = 0;
    uint32_t audioset = 0; // bit n: audio input n goes with this input
};

struct TV4l2Tuner {
    uint32_t index = 0;
    QString name;
    bool lowUnits = false; // frequencies in 62.5 Hz rather than 62.5 kHz
    uint32_t rangeLow = 0, rangeHigh = 0;
    uint32_t frequency = 0;
    int signal = 0; // 0..65535
    uint32_t capability = 0, audmode = 0;
};

class IV4l2Inputs {
public:
    virtual ~IV4l2Inputs() = default;
    virtual std::vector<TV4l2Input> Inputs() = 0;
    virtual bool SelectInput(uint32_t index) = 0; // VIDIOC_S_INPUT
    virtual bool SelectAudio(uint32_t index) = 0; // VIDIOC_S_AUDIO
    virtual std::optional<TV4l2Tuner> Tuner(uint32_t index) = 0;
    virtual bool SetFrequency(uint32_t tuner, uint32_t frequency) = 0;
    virtual bool SetAudioMode(uint32_t tuner, uint32_t audmode) = 0;
};

// The device node's inputs; null when the node cannot be opened.
std::unique_ptr<IV4l2Inputs> OpenV4l2Inputs(const QString& devicePath);
