#pragma once

#include "V4l2Inputs.h"

#include <memory>
#include <vector>

// A capture card of the tests' own: its inputs, and what was asked of it.
class FakeV4l2Card : public IV4l2Inputs {
public:
    struct Log {
        std::vector<int> selected, audio;
        bool refuse = false;
    };
    FakeV4l2Card(std::vector<TV4l2Input> inputs, std::shared_ptr<Log> log)
        : m_inputs(std::move(inputs)), m_log(std::move(log)) {}
    std::vector<TV4l2Input> Inputs() override { return m_inputs; }
    bool SelectInput(uint32_t index) override {
        m_log->selected.push_back(int(index));
        return !m_log->refuse;
    }
    bool SelectAudio(uint32_t index) override {
        m_log->audio.push_back(int(index));
        return true;
    }
    std::optional<TV4l2Tuner> Tuner(uint32_t) override { return std::nullopt; }
    bool SetFrequency(uint32_t, uint32_t) override { return false; }
    bool SetAudioMode(uint32_t, uint32_t) override { return false; }

    static TV4l2Input input(uint32_t index, const char* name, bool tuner = false,
                            uint32_t audioset = 0) {
        TV4l2Input in;
        in.index = index;
        in.name = QString::fromUtf8(name);
        in.tuner = tuner;
        in.audioset = audioset;
        return in;
    }

private:
    std::vector<TV4l2Input> m_inputs;
    std::shared_ptr<Log> m_log;
};
