#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

// The user controls of a V4L2 device (brightness, contrast ...), for the video settings
// dialog. A narrow interface: the real one talks to the device node, tests use a double.
struct TV4l2Control {
    uint32_t id = 0;
    QString name;
    enum Type { Integer, Boolean, Menu, Button, Other } type = Integer;
    int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
    QStringList menuItems; // Menu: the item names from minimum to maximum ("" for holes)
    bool readOnly = false;
};

class IV4l2Controls {
public:
    virtual ~IV4l2Controls() = default;
    virtual std::vector<TV4l2Control> List() = 0;
    // Sets a control; false when the device refuses it (out of range, busy, read-only).
    virtual bool Set(uint32_t id, int32_t value) = 0;
};

// Opens the device node's controls; null when the node cannot be opened.
std::unique_ptr<IV4l2Controls> OpenV4l2Controls(const QString& devicePath);
