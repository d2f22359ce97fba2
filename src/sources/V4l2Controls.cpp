#include "V4l2Controls.h"

#include "V4l2Node.h"

#include <cstring>
#include <linux/videodev2.h>
#include <unistd.h>

namespace {

using v4l2::FieldText;
using v4l2::Ioctl;

class TV4l2Device : public IV4l2Controls {
public:
    explicit TV4l2Device(int fd) : m_fd(fd) {}
    ~TV4l2Device() override { ::close(m_fd); }

    std::vector<TV4l2Control> List() override {
        std::vector<TV4l2Control> list;
        v4l2_queryctrl q;
        std::memset(&q, 0, sizeof q);
        q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (Ioctl(m_fd, VIDIOC_QUERYCTRL, &q) == 0) {
            const uint32_t id = q.id;
            if (!(q.flags & V4L2_CTRL_FLAG_DISABLED) && q.type != V4L2_CTRL_TYPE_CTRL_CLASS)
                list.push_back(Describe(q));
            std::memset(&q, 0, sizeof q);
            q.id = id | V4L2_CTRL_FLAG_NEXT_CTRL;
        }
        return list;
    }

    bool Set(uint32_t id, int32_t value) override {
        v4l2_control c{id, value};
        return Ioctl(m_fd, VIDIOC_S_CTRL, &c) == 0;
    }

private:
    TV4l2Control Describe(const v4l2_queryctrl& q) {
        TV4l2Control c;
        c.id = q.id;
        c.name = FieldText(q.name, sizeof q.name);
        c.minimum = q.minimum;
        c.maximum = q.maximum;
        c.step = q.step;
        c.defaultValue = q.default_value;
        c.readOnly = (q.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) != 0;
        switch (q.type) {
        case V4L2_CTRL_TYPE_INTEGER:
            c.type = TV4l2Control::Integer;
            break;
        case V4L2_CTRL_TYPE_BOOLEAN:
            c.type = TV4l2Control::Boolean;
            break;
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            c.type = TV4l2Control::Menu;
            for (int32_t i = q.minimum; i <= q.maximum && i - q.minimum < 256; ++i) {
                v4l2_querymenu m;
                std::memset(&m, 0, sizeof m);
                m.id = q.id;
                m.index = uint32_t(i);
                if (Ioctl(m_fd, VIDIOC_QUERYMENU, &m) != 0)
                    c.menuItems << QString();
                else if (q.type == V4L2_CTRL_TYPE_MENU)
                    c.menuItems << FieldText(m.name, sizeof m.name);
                else
                    c.menuItems << QString::number(m.value);
            }
            break;
        case V4L2_CTRL_TYPE_BUTTON:
            c.type = TV4l2Control::Button;
            break;
        default:
            c.type = TV4l2Control::Other;
            break;
        }
        v4l2_control value{q.id, 0};
        if (c.type != TV4l2Control::Button && Ioctl(m_fd, VIDIOC_G_CTRL, &value) == 0)
            c.value = value.value;
        else
            c.value = c.defaultValue;
        return c;
    }

    int m_fd;
};

} // namespace

std::unique_ptr<IV4l2Controls> OpenV4l2Controls(const QString& devicePath) {
    const int fd = v4l2::OpenNode(devicePath);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TV4l2Device>(fd);
}
