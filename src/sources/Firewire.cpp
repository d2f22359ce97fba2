#include "Firewire.h"

#include "GstRef.h"

#include "Log.h"

#include <libavc1394/avc1394.h>
#include <libavc1394/avc1394_vcr.h>
#include <libavc1394/rom1394.h>
#include <libraw1394/raw1394.h>

#include <atomic>
#include <cstdio>

namespace {

// One raw1394 handle for the time of a call, set to the port of the unit's node.
class TBusHandle {
public:
    TBusHandle() : m_handle(raw1394_new_handle()) {}
    ~TBusHandle() {
        if (m_handle)
            raw1394_destroy_handle(m_handle);
    }
    raw1394handle_t get() const { return m_handle; }
    int Ports() {
        if (!m_handle)
            return 0;
        raw1394_portinfo ports[16];
        const int n = raw1394_get_port_info(m_handle, ports, 16);
        return n < 0 ? 0 : std::min(n, 16);
    }
    // Finds the node of a GUID on any port; -1 when absent.
    int FindNode(uint64_t guid) {
        for (int port = 0; port < Ports(); ++port) {
            if (raw1394_set_port(m_handle, port) < 0)
                continue;
            const int nodes = raw1394_get_nodecount(m_handle);
            for (int node = 0; node < nodes; ++node)
                if (rom1394_get_guid(m_handle, node) == guid)
                    return node;
        }
        return -1;
    }

private:
    raw1394handle_t m_handle;
};

class TAvcTransport : public IDvTransport {
public:
    explicit TAvcTransport(const TFirewireUnit& unit) : m_unit(unit) {}

    bool setMode(Mode mode) override {
        TBusHandle bus;
        const int node = bus.FindNode(m_unit.guid);
        if (node < 0)
            return false;
        raw1394handle_t h = bus.get();
        switch (mode) {
        case ED_MODE_PLAY:
            avc1394_vcr_play(h, node);
            break;
        case ED_MODE_STOP:
            avc1394_vcr_stop(h, node);
            break;
        case ED_MODE_FREEZE:
            avc1394_vcr_pause(h, node);
            break;
        case ED_MODE_FF:
            avc1394_vcr_forward(h, node);
            break;
        case ED_MODE_REW:
            avc1394_vcr_rewind(h, node);
            break;
        case ED_MODE_PLAY_FASTEST_FWD:
            avc1394_vcr_trick_play(h, node, 14);
            break;
        case ED_MODE_PLAY_SLOWEST_FWD:
            avc1394_vcr_trick_play(h, node, 1);
            break;
        case ED_MODE_PLAY_FASTEST_REV:
            avc1394_vcr_trick_play(h, node, -14);
            break;
        case ED_MODE_PLAY_SLOWEST_REV:
            avc1394_vcr_trick_play(h, node, -1);
            break;
        default:
            return false;
        }
        m_mode = mode;
        return true;
    }
    Mode mode() const override { return m_mode; }
    Timecode timecode() const override {
        Timecode tc;
        TBusHandle bus;
        const int node = bus.FindNode(m_unit.guid);
        char text[16] = {};
        unsigned h = 0, m = 0, s = 0, f = 0;
        if (node >= 0 && avc1394_vcr_get_timecode2(bus.get(), node, text) == 0 &&
            std::sscanf(text, "%u:%u:%u:%u", &h, &m, &s, &f) == 4) {
            tc.hours = uint8_t(h);
            tc.minutes = uint8_t(m);
            tc.seconds = uint8_t(s);
            tc.frames = uint8_t(f);
            tc.valid = true;
        }
        return tc;
    }
    bool isVcr() const override { return m_unit.vcr; }
    bool isCamera() const override { return m_unit.camera; }

private:
    TFirewireUnit m_unit;
    std::atomic<Mode> m_mode{ED_MODE_STOP};
};

class TRawFirewireBus : public IFirewireBus {
public:
    std::vector<TFirewireUnit> Units() override {
        std::vector<TFirewireUnit> units;
        TBusHandle bus;
        if (!bus.get())
            return units; // no 1394 driver or no permission: no device
        for (int port = 0; port < bus.Ports(); ++port) {
            if (raw1394_set_port(bus.get(), port) < 0)
                continue;
            const int nodes = raw1394_get_nodecount(bus.get());
            for (int node = 0; node < nodes; ++node) {
                rom1394_directory dir;
                if (rom1394_get_directory(bus.get(), node, &dir) < 0)
                    continue;
                const bool avc = rom1394_get_node_type(&dir) == ROM1394_NODE_TYPE_AVC;
                const QString label =
                    dir.label ? QString::fromUtf8(dir.label).trimmed() : QString();
                rom1394_free_directory(&dir);
                if (!avc)
                    continue;
                const bool vcr =
                    avc1394_check_subunit_type(bus.get(), node, AVC1394_SUBUNIT_TYPE_VCR) != 0;
                if (!vcr)
                    continue; // not a tape unit
                TFirewireUnit unit;
                unit.guid = rom1394_get_guid(bus.get(), node);
                unit.name = label.isEmpty() ? QStringLiteral("Caméscope DV") : label;
                unit.camera = avc1394_check_subunit_type(bus.get(), node,
                                                         AVC1394_SUBUNIT_TYPE_VIDEO_CAMERA) != 0;
                unit.vcr = !unit.camera;
                units.push_back(unit);
            }
        }
        return units;
    }
    std::shared_ptr<IDvTransport> Transport(const TFirewireUnit& unit) override {
        return std::make_shared<TAvcTransport>(unit);
    }
};

} // namespace

std::unique_ptr<IFirewireBus> CreateFirewireBus() {
    return std::make_unique<TRawFirewireBus>();
}

std::vector<TDeviceDescriptor> FirewireDescriptors(IFirewireBus& bus) {
    std::vector<TDeviceDescriptor> list;
    const std::vector<TFirewireUnit> units = bus.Units();
    if (units.empty())
        return list;
    if (!TGstRef<GstElementFactory>(gst_element_factory_find("dv1394src"))) {
        qCWarning(lcVidorra) << "dv1394src missing:" << units.size() << "FireWire unit(s) skipped";
        return list;
    }
    for (const TFirewireUnit& unit : units) {
        TDeviceDescriptor d;
        d.id = QStringLiteral("ieee1394:%1").arg(unit.guid, 16, 16, QLatin1Char('0'));
        d.friendlyName = unit.name;
        d.caps = gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
        d.transport = bus.Transport(unit);
        const uint64_t guid = unit.guid;
        d.createSource = [guid]() -> GstElement* {
            GstElement* src = gst_element_factory_make("dv1394src", nullptr);
            if (src)
                g_object_set(src, "guid", guint64(guid), nullptr);
            return src;
        };
        list.push_back(std::move(d));
    }
    return list;
}
