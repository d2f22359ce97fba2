#pragma once

// Doubles of the narrow hardware interfaces, for tests of the settings dialogs and the
// sound-card input combo: they behave as a device would (ranges, one input recorded at a time).
#include "AlsaMixer.h"
#include "V4l2Controls.h"

#include <algorithm>

class FakeV4l2Controls : public IV4l2Controls {
public:
    std::vector<TV4l2Control> List() override { return controls; }
    bool Set(uint32_t id, int32_t value) override {
        for (TV4l2Control& c : controls) {
            if (c.id != id)
                continue;
            if (c.readOnly || value < c.minimum || value > c.maximum)
                return false;
            c.value = value;
            return true;
        }
        return false;
    }
    std::vector<TV4l2Control> controls;
};

class FakeAlsaMixer : public IAlsaMixer {
public:
    QStringList CaptureInputs() override { return inputs; }
    QString ActiveCaptureInput() override { return active; }
    bool EnableCaptureInput(const QString& name) override {
        if (!inputs.contains(name))
            return false;
        active = name;
        return true;
    }
    std::vector<Level> CaptureLevels() override { return levels; }
    bool SetCaptureLevel(const QString& name, long value) override {
        for (Level& l : levels)
            if (l.name == name) {
                l.value = value;
                return true;
            }
        return false;
    }
    QStringList inputs;
    QString active;
    std::vector<Level> levels;
};
