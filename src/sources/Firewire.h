#pragma once

#include "DeviceDescriptor.h"
#include "DvTransport.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// IEEE 1394 AV/C units (DV camcorders and decks), behind a narrow interface: libraw1394 +
// librom1394 + libavc1394 for the real bus, a double in tests.
struct TFirewireUnit {
    uint64_t guid = 0; // identity that survives re-plugging and bus resets
    QString name;      // label of the unit's configuration ROM, else a generic name
    bool vcr = false;
    bool camera = false;
};

class IFirewireBus {
public:
    virtual ~IFirewireBus() = default;
    // The AV/C tape units on every port; empty when there is no bus or no unit.
    virtual std::vector<TFirewireUnit> Units() = 0;
    // The tape transport of a unit (AV/C VCR commands).
    virtual std::shared_ptr<IDvTransport> Transport(const TFirewireUnit& unit) = 0;
};

std::unique_ptr<IFirewireBus> CreateFirewireBus();

// Descriptors of the units: source `dv1394src guid=...`, caps `video/x-dv, systemstream=true`.
// Units are skipped (with a log line) when the element dv1394src is missing.
std::vector<TDeviceDescriptor> FirewireDescriptors(IFirewireBus& bus);
