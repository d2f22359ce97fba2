#include "SystemDevices.h"

#include "GstRef.h"
#include "Log.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QTimer>
#include <set>

namespace {

QString StringProperty(const GstStructure* props, const char* name) {
    if (!props)
        return {};
    if (const gchar* s = gst_structure_get_string(props, name))
        return QString::fromUtf8(s);
    int n = 0;
    if (gst_structure_get_int(props, name, &n))
        return QString::number(n);
    return {};
}

QString DeviceObjectString(GstDevice* device, const char* property) {
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(device), property))
        return {};
    g_autofree gchar* value = nullptr;
    g_object_get(device, property, &value, nullptr);
    return QString::fromUtf8(value ? value : "");
}

class TSystemDeviceEnumerator : public IDeviceEnumerator {
public:
    explicit TSystemDeviceEnumerator(const TEnumeratorOptions& options)
        : m_virtual(options.virtualDevices) {
        m_coalesce.setSingleShot(true);
        m_coalesce.setInterval(options.coalesceMilliseconds);
        QObject::connect(&m_coalesce, &QTimer::timeout, &m_context, [this] {
            if (onDevicesChanged)
                onDevicesChanged();
        });
        if (options.firewire)
            m_firewire = options.firewireBus ? options.firewireBus
                                             : std::shared_ptr<IFirewireBus>(CreateFirewireBus());
        if (options.deviceMonitor)
            StartMonitor();
    }

    ~TSystemDeviceEnumerator() override {
        if (m_monitor) {
            const TGstRef<GstBus> bus(gst_device_monitor_get_bus(m_monitor.get()));
            gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
            if (m_started)
                gst_device_monitor_stop(m_monitor.get());
            m_monitor.reset();
        }
    }

    std::vector<TDeviceDescriptor> enumerate(TDeviceCategory category) override {
        std::vector<TDeviceDescriptor> list;
        const bool video = category == TDeviceCategory::Video;
        if (m_monitor)
            AppendMonitorDevices(video ? "Video/Source" : "Audio/Source", list);
        if (video && m_firewire)
            for (TDeviceDescriptor& d : FirewireDescriptors(*m_firewire))
                list.push_back(std::move(d));
        for (TDeviceDescriptor& d : video ? m_virtual.videoDevices() : m_virtual.audioDevices())
            list.push_back(std::move(d));
        return list;
    }

private:
    void StartMonitor() {
        m_monitor.reset(gst_device_monitor_new());
        gst_device_monitor_add_filter(m_monitor.get(), "Video/Source", nullptr);
        gst_device_monitor_add_filter(m_monitor.get(), "Audio/Source", nullptr);
        const TGstRef<GstBus> bus(gst_device_monitor_get_bus(m_monitor.get()));
        gst_bus_set_sync_handler(bus.get(), &TSystemDeviceEnumerator::OnBusMessage, this, nullptr);
        m_started = gst_device_monitor_start(m_monitor.get());
        if (!m_started)
            qCInfo(lcVidorra) << "device monitor not started: devices are read at each refresh";
    }

    // Providers' threads: device changes restart the coalescing timer on the UI thread.
    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
        const TGstRef<GstMessage> dropped(message); // a sync handler that drops it owns it
        auto* self = static_cast<TSystemDeviceEnumerator*>(data);
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED ||
            type == GST_MESSAGE_DEVICE_CHANGED)
            QMetaObject::invokeMethod(
                &self->m_context, [self] { self->m_coalesce.start(); }, Qt::QueuedConnection);
        return GST_BUS_DROP;
    }

    void AppendMonitorDevices(const char* klass, std::vector<TDeviceDescriptor>& list) {
        const TGstObjectList devices(gst_device_monitor_get_devices(m_monitor.get()));
        std::set<QString> ids;
        for (GList* l = devices.get(); l; l = l->next) {
            GstDevice* device = GST_DEVICE(l->data);
            if (!gst_device_has_classes(device, klass) || IsSinkMonitor(device))
                continue;
            TSystemDeviceInfo info = DescribeSystemDevice(device);
            // Two devices with the same identity keep apart by their rank.
            QString id = info.id;
            for (int n = 2; ids.count(id); ++n)
                id = info.id + QStringLiteral("#") + QString::number(n);
            ids.insert(id);
            TDeviceDescriptor d;
            d.id = id;
            g_autofree gchar* name = gst_device_get_display_name(device);
            d.friendlyName = QString::fromUtf8(name ? name : "");
            d.caps = gst_device_get_caps(device);
            d.v4l2Path = info.v4l2Path;
            d.alsaCard = info.alsaCard;
            auto keep = std::make_shared<TGstRef<GstDevice>>(GstRefAdd(device));
            d.createSource = [keep]() -> GstElement* {
                return gst_device_create_element(keep->get(), nullptr);
            };
            list.push_back(std::move(d));
        }
    }

    TVirtualDevices m_virtual;
    std::shared_ptr<IFirewireBus> m_firewire;
    TGstRef<GstDeviceMonitor> m_monitor;
    bool m_started = false;
    QObject m_context; // lives on the creating (UI) thread
    QTimer m_coalesce;
};

} // namespace

bool IsSinkMonitor(GstDevice* device) {
    if (gst_device_has_classes(device, "Audio/Sink"))
        return true;
    const TGstRef<GstStructure> props(gst_device_get_properties(device));
    const QString deviceClass = StringProperty(props.get(), "device.class");
    const QString mediaClass = StringProperty(props.get(), "media.class");
    return deviceClass == QLatin1String("monitor") || mediaClass.contains(QLatin1String("Sink"));
}

QString StableV4l2Path(const QString& devicePath, const QStringList& linkDirs) {
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty())
        return devicePath;
    for (const QString& dirPath : linkDirs) {
        QDir dir(dirPath);
        const QStringList links =
            dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& link : links) {
            const QString full = dir.absoluteFilePath(link);
            if (QFileInfo(full).canonicalFilePath() == target)
                return full;
        }
    }
    return devicePath;
}

TSystemDeviceInfo DescribeSystemDevice(GstDevice* device) {
    TSystemDeviceInfo info;
    const TGstRef<GstStructure> held(gst_device_get_properties(device));
    const GstStructure* props = held.get();
    QString v4l2 = StringProperty(props, "api.v4l2.path");
    if (v4l2.isEmpty() && StringProperty(props, "device.api") == QLatin1String("v4l2"))
        v4l2 = StringProperty(props, "device.path");
    if (!v4l2.isEmpty()) {
        info.v4l2Path = StableV4l2Path(v4l2);
        info.id = QStringLiteral("v4l2:") + info.v4l2Path;
    }
    const QString card = StringProperty(props, "alsa.card");
    if (!card.isEmpty())
        info.alsaCard = QStringLiteral("hw:") + card;
    if (info.id.isEmpty()) {
        QString key = DeviceObjectString(device, "internal-name");
        for (const char* name : {"node.name", "object.path", "device.bus_path", "device.string"})
            if (key.isEmpty())
                key = StringProperty(props, name);
        if (key.isEmpty()) {
            g_autofree gchar* name = gst_device_get_display_name(device);
            key = QString::fromUtf8(name ? name : "");
        }
        QString api = StringProperty(props, "device.api");
        if (api.isEmpty())
            api = QString::fromUtf8(G_OBJECT_TYPE_NAME(device));
        info.id = api + QStringLiteral(":") + key;
    }
    return info;
}

std::unique_ptr<IDeviceEnumerator> CreateSystemDeviceEnumerator(const TEnumeratorOptions& options) {
    return std::make_unique<TSystemDeviceEnumerator>(options);
}

std::unique_ptr<IDeviceEnumerator> CreateSystemDeviceEnumerator() {
    return CreateSystemDeviceEnumerator(TEnumeratorOptions{});
}
