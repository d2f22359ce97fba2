#pragma once

#include "DeviceDescriptor.h"
#include "Firewire.h"
#include "VirtualDevices.h"

#include <QStringList>
#include <memory>

// What the system enumerator looks at. The default is the whole system; tests turn the
// device monitor and the FireWire bus off, or hand in a bus double.
struct TEnumeratorOptions {
    bool deviceMonitor = true;
    bool firewire = true;
    std::shared_ptr<IFirewireBus> firewireBus; // null: the real bus
    TVirtualOptions virtualDevices;
    int coalesceMilliseconds = 500; // device changes closer than this make one notification
};

// As CreateSystemDeviceEnumerator(), with options. Create it on the UI thread: device
// changes are delivered there.
std::unique_ptr<IDeviceEnumerator> CreateSystemDeviceEnumerator(const TEnumeratorOptions& options);

// Identity and paths of one GstDevice (exposed for the tests of the identity rules).
struct TSystemDeviceInfo {
    QString id;
    QString v4l2Path; // the device node as opened (stable path when one exists)
    QString alsaCard; // "hw:N"
};
TSystemDeviceInfo DescribeSystemDevice(GstDevice* device);

// A stable path for a V4L2 node: the /dev/v4l/by-id link that resolves to it, else the
// by-path link, else the path itself. linkDirs are searched in order.
QString StableV4l2Path(const QString& devicePath,
                       const QStringList& linkDirs = {QStringLiteral("/dev/v4l/by-id"),
                                                      QStringLiteral("/dev/v4l/by-path")});

// Monitor sources of sound outputs (what a sink plays) are not capture devices.
bool IsSinkMonitor(GstDevice* device);
