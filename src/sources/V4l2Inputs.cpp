#include "V4l2Inputs.h"

#include "V4l2Node.h"

#include <cstring>
#include <linux/videodev2.h>
#include <unistd.h>

namespace {

using v4l2::FieldText;
class TV4l2Inputs : public IV4l2Inputs {
public:
    explicit TV4l2Inputs(int fd) : m_fd(fd) {}
    ~TV4l2Inputs() override { ::close(m_fd); }

    std::vector<TV4l2Input> Inputs() override {
        std::vector<TV4l2Input> list;
        for (uint32_t i = 0; i < 64; ++i) {
            v4l2_input in{};
            in.index = i;
            if (v4l2::Ioctl(m_fd, VIDIOC_ENUMINPUT, &in) < 0)
                break;
            TV4l2Input input;
            input.index = in.index;
            input.name = FieldText(in.name, sizeof in.name);
            input.tuner = in.type == V4L2_INPUT_TYPE_TUNER;
            input.tunerIndex = in.tuner;
            input.audioset = in.audioset;
            list.push_back(input);
        }
        return list;
    }
    bool SelectInput(uint32_t index) override {
        int i = int(index);
        return v4l2::Ioctl(m_fd, VIDIOC_S_INPUT, &i) == 0;
    }
    bool SelectAudio(uint32_t index) override {
        v4l2_audio audio{};
        audio.index = index;
        return v4l2::Ioctl(m_fd, VIDIOC_S_AUDIO, &audio) == 0;
    }
    std::optional<TV4l2Tuner> Tuner(uint32_t index) override {
        v4l2_tuner t{};
        t.index = index;
        if (v4l2::Ioctl(m_fd, VIDIOC_G_TUNER, &t) < 0)
            return std::nullopt;
        TV4l2Tuner tuner;
        tuner.index = index;
        tuner.name = FieldText(t.name, sizeof t.name);
        tuner.lowUnits = (t.capability & V4L2_TUNER_CAP_LOW) != 0;
        tuner.rangeLow = t.rangelow;
        tuner.rangeHigh = t.rangehigh;
        tuner.signal = int(t.signal);
        tuner.capability = t.capability;
        tuner.audmode = t.audmode;
        v4l2_frequency f{};
        f.tuner = index;
        if (v4l2::Ioctl(m_fd, VIDIOC_G_FREQUENCY, &f) == 0)
            tuner.frequency = f.frequency;
        return tuner;
    }
    bool SetFrequency(uint32_t tuner, uint32_t frequency) override {
        v4l2_frequency f{};
        f.tuner = tuner;
        f.type = V4L2_TUNER_ANALOG_TV;
        f.frequency = frequency;
        return v4l2::Ioctl(m_fd, VIDIOC_S_FREQUENCY, &f) == 0;
    }
    bool SetAudioMode(uint32_t tuner, uint32_t audmode) override {
        v4l2_tuner t{};
        t.index = tuner;
        if (v4l2::Ioctl(m_fd, VIDIOC_G_TUNER, &t) < 0)
            return false;
        t.audmode = audmode;
        return v4l2::Ioctl(m_fd, VIDIOC_S_TUNER, &t) == 0;
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<IV4l2Inputs> OpenV4l2Inputs(const QString& devicePath) {
    const int fd = v4l2::OpenNode(devicePath);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TV4l2Inputs>(fd);
}
