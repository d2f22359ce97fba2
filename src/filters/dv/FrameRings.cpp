#include "FrameRings.h"

#include <cstring>

void TFrameRings::Store(const TDVFrameInfo& info, std::span<const uint8_t> frame,
                        int64_t startTime) {
    std::lock_guard lock(m_lock);
    m_ringPos = m_ringPos >= kSlots - 1 ? 0 : m_ringPos + 1;
    m_frameInfoRing[m_ringPos] = info;
    dv::CopyHeaders(frame, m_headerRing[m_ringPos].bytes);
    m_headerRing[m_ringPos].startTime = startTime;
    m_filled[m_ringPos] = true;
}

void TFrameRings::Reset() {
    std::lock_guard lock(m_lock);
    m_ringPos = 0;
    m_filled.fill(false);
    m_lookupPos = 0;
}

int TFrameRings::RingPos() const {
    std::lock_guard lock(m_lock);
    return m_ringPos;
}

bool TFrameRings::Newest(TDVFrameInfo& info) const {
    std::lock_guard lock(m_lock);
    if (!m_filled[m_ringPos])
        return false;
    info = m_frameInfoRing[m_ringPos];
    return true;
}

int TFrameRings::LookupFrameInfo(int64_t startTime, TDVFrameInfo& info) {
    std::lock_guard lock(m_lock);
    int pos = m_ringPos + 1;
    for (int i = 0; i < kSlots; ++i) {
        pos = pos == 0 ? kSlots - 1 : pos - 1;
        // Slots not yet written since the stop hold no frame of this run.
        if (m_filled[pos] && m_headerRing[pos].startTime <= startTime)
            break;
    }
    info = m_frameInfoRing[pos];
    return pos;
}

void TFrameRings::SetLookupPos(int slot) {
    if (slot >= 0 && slot < kSlots)
        m_lookupPos = slot;
}

int TFrameRings::LookupPos() const {
    return m_lookupPos;
}

bool TFrameRings::CopyHeader(int slot, uint8_t* dst4800) const {
    if (slot < 0 || slot >= kSlots)
        return false;
    std::lock_guard lock(m_lock);
    if (!m_filled[slot])
        return false;
    std::memcpy(dst4800, m_headerRing[slot].bytes, dv::kRingHeaderBytes);
    return true;
}
