#include "LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSilenceDb = -200.0;

double sane(double db) {
    return std::isfinite(db) ? std::clamp(db, kSilenceDb, 0.0) : kSilenceDb;
}
} // namespace

void TLevelMeter::setActive(bool active, int64_t now) {
    m_active = active;
    m_since = now;
    m_clipped = false;
    m_channels.clear();
}

void TLevelMeter::feed(int64_t now, const std::vector<double>& peakDb,
                       const std::vector<double>& rmsDb) {
    if (!m_active)
        return;
    m_since = now;
    const size_t count = std::min<size_t>(peakDb.size(), kMaxChannels);
    m_channels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        Channel& c = m_channels[i];
        // GStreamer's level reports +inf-free values, but a peak above 0 can come from
        // floating-point sound: it is full scale all the same.
        const double peak = std::isnan(peakDb[i]) ? kSilenceDb
                            : peakDb[i] > 0       ? 0.0
                                                  : sane(peakDb[i]);
        c.peakDb = peak;
        c.rmsDb = i < rmsDb.size() ? sane(rmsDb[i]) : peak;
        if (peak >= c.holdDb || now - c.holdAt >= kHoldMs) {
            c.holdDb = peak;
            c.holdAt = now;
        }
        if (peak >= kFullScaleDb) {
            m_clipped = true;
            m_clipAt = now;
        }
    }
}

void TLevelMeter::tick(int64_t now) {
    for (Channel& c : m_channels)
        if (now - c.holdAt >= kHoldMs && c.holdDb > c.peakDb) {
            c.holdDb = c.peakDb;
            c.holdAt = now;
        }
}

bool TLevelMeter::clipLit(int64_t now) const {
    return m_active && m_clipped && now - m_clipAt < kClipMs;
}

bool TLevelMeter::noSound(int64_t now) const {
    return m_active && now - m_since >= kNoSoundMs;
}

double TLevelMeter::fraction(double db) {
    if (!(db > kFloorDb))
        return 0.0;
    return std::min(1.0, (db - kFloorDb) / -kFloorDb);
}
