#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// What the V4L2 parts share: the device node opened as a V4L2 device, ioctl calls that retry
// when interrupted, and the fixed-size text fields of the V4L2 structures.
namespace v4l2 {

// The node opened read-write, or -1 when it cannot be opened or is not a V4L2 device.
int OpenNode(const QString& devicePath);
int Ioctl(int fd, unsigned long request, void* arg);
QString FieldText(const uint8_t* text, size_t size);

} // namespace v4l2
