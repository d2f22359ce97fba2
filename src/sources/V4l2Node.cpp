#include "V4l2Node.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace v4l2 {

int Ioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

QString FieldText(const uint8_t* text, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text),
                             int(strnlen(reinterpret_cast<const char*>(text), size)));
}

int OpenNode(const QString& devicePath) {
    if (devicePath.isEmpty())
        return -1;
    const int fd =
        ::open(QFile::encodeName(devicePath).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof cap);
    if (Ioctl(fd, VIDIOC_QUERYCAP, &cap) != 0) {
        ::close(fd); // not a V4L2 node
        return -1;
    }
    return fd;
}

} // namespace v4l2
