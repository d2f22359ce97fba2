#include "GrabRing.h"

void GrabRing::resize(size_t bytesPerSlot) {
    if (bytesPerSlot == m_slotBytes)
        return;
    m_slotBytes = bytesPerSlot;
    for (auto& s : m_slots)
        s.reset();
}

uint8_t* GrabRing::slotData(int i) {
    if (m_slotBytes == 0)
        return nullptr;
    // Made at the slot's first grab: an overlay that never grabs holds no picture memory
    // (20 slots of 720 × 576 BGR are 25 MB).
    if (!m_slots[i])
        m_slots[i] = std::make_shared<std::vector<uint8_t>>(m_slotBytes);
    return m_slots[i]->data();
}

void GrabRing::StartIntervalometer(uint32_t interval) {
    std::lock_guard lock(m_mutex);
    m_intervalLength = interval;
    m_nextGrabTime = 0;
    m_intervalOn.store(true);
}

void GrabRing::startStreaming() {
    std::lock_guard lock(m_mutex);
    m_nextGrabTime = 0;
}

GrabRing::Decision GrabRing::decide(int64_t startTime) {
    Decision d;
    if (m_intervalOn.load()) {
        std::lock_guard lock(m_mutex);
        const int64_t t = startTime / 1000;
        if (m_nextGrabTime > t) {
            const int64_t s = (m_nextGrabTime - t) / 10000;
            if (s != m_secondsLeft) {
                m_secondsLeft = static_cast<int32_t>(s);
                d.secondsChanged = true;
                d.seconds = m_secondsLeft;
            }
        } else {
            m_nextGrabTime += m_intervalLength;
            if (m_nextGrabTime <= t)
                m_nextGrabTime = t + m_intervalLength;
            m_grabPos = (m_grabPos + 1) % kGrabSlots;
            if (!m_busy[m_grabPos].load()) {
                m_grabRequested.store(false);
                d.periodic[d.fillCount] = true;
                d.toFill[d.fillCount++] = m_grabPos;
            }
        }
    }
    if (m_grabRequested.exchange(false)) {
        m_grabPos = (m_grabPos + 1) % kGrabSlots;
        if (!m_busy[m_grabPos].load())
            d.toFill[d.fillCount++] = m_grabPos;
    }
    return d;
}
