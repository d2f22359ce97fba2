#include "WhenCountdown.h"

#include "DateTimeFormat.h"

#include <cmath>
#include <limits>

int32_t roundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    double r = std::floor(value);
    const double diff = value - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    if (r >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

void WhenCountdown::SetWhenIncrust(uint8_t mode, int32_t seconds, uint32_t frameDuration) {
    m_whenMode = mode;
    m_whenSeconds = seconds;
    if (frameDuration > 0)
        m_whenFrames = roundHalfEven(double(seconds) * 10000000.0 / double(frameDuration));
    if (mode == 0)
        rearm();
}

namespace {

int dayOfMonth(double date) {
    vrdate::DateTimeParts parts;
    return vrdate::decodeDateTime(date, parts) ? parts.day : 0;
}

} // namespace

bool WhenCountdown::onFrame(const Dates& d) {
    if (m_whenMode == 0)
        return true;
    if (m_framesLeft > 0)
        --m_framesLeft;
    if (m_whenMode == 2) {
        if (d.recDate > 0 &&
            (d.recDate - d.prevRecDate > 2.0 / 86400.0 || d.recDate < d.prevRecDate))
            rearm();
    } else if (m_whenMode == 3) {
        if (d.dayDate > 0 && (dayOfMonth(d.dayDate) != dayOfMonth(d.prevDayDate) ||
                              std::fabs(d.dayDate - d.prevDayDate) > 1.0))
            rearm();
    }
    return m_framesLeft > 0;
}
