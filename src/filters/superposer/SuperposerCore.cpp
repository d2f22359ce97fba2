#include "SuperposerCore.h"

#include "DateTimeFormat.h"
#include "IncrustLayout.h"
#include "IncrustText.h"

#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

size_t slotStride(int width) {
    return (size_t(width) * 3 + 3) & ~size_t(3);
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

SuperposerCore::SuperposerCore() : m_clock(vrdate::nowLocal) {}

void SuperposerCore::SetIncrustRec(const VrIncrustRec& rec) {
    std::lock_guard lock(m_mutex);
    m_rec = rec;
    m_xpos = incrust::clampAnchor(rec.Xpos);
    m_ypos = incrust::clampAnchor(rec.Ypos);
    ++m_recVersion;
}

VrIncrustRec SuperposerCore::incrustRec() const {
    std::lock_guard lock(m_mutex);
    return m_rec;
}

void SuperposerCore::SetIncrustActive(bool active) {
    std::lock_guard lock(m_mutex);
    m_active = active;
    m_countdown.rearm();
}

bool SuperposerCore::incrustActive() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

void SuperposerCore::SetWhenIncrust(uint8_t mode, int32_t seconds) {
    std::lock_guard lock(m_mutex);
    m_countdown.SetWhenIncrust(mode, seconds, m_frameDuration.load());
}

WhenCountdown SuperposerCore::countdown() const {
    std::lock_guard lock(m_mutex);
    return m_countdown;
}

void SuperposerCore::startStreaming(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_rowScratch.resize(size_t(m_width) * 3);
    m_grabs.resize(slotStride(m_width) * size_t(m_height));
    m_grabs.startStreaming();
    std::lock_guard lock(m_mutex);
    m_countdown.rearm();
}

bool SuperposerCore::writesFrames() const {
    const bool sourceFlipped = m_sourceFlipped.load();
    if (!m_overlayEnabled.load())
        return sourceFlipped;
    if (m_vertFlip.load() != sourceFlipped || m_horzFlip.load())
        return true;
    std::lock_guard lock(m_mutex);
    return m_active;
}

SuperposerCore::FrameResult SuperposerCore::processFrame(const BgrImage& frame, int64_t ptsNs,
                                                         IFrameInfoSource* scenes, bool writable) {
    return process(frame, ptsNs, scenes, writable, nullptr);
}

SuperposerCore::FrameResult SuperposerCore::processFrame(const I420Image& frame, int64_t ptsNs,
                                                         IFrameInfoSource* scenes, bool writable,
                                                         const ToBgr& toBgr) {
    return process(frame, ptsNs, scenes, writable, toBgr ? &toBgr : nullptr);
}

template <class Image>
SuperposerCore::FrameResult SuperposerCore::process(const Image& frame, int64_t ptsNs,
                                                    IFrameInfoSource* scenes, bool writable,
                                                    const ToBgr* toBgr) {
    FrameResult result;
    if (!frame.valid())
        return result;
    if (frame.width != m_width || frame.height != m_height) {
        // Caps and buffers disagree: size for what actually came rather than overrun.
        m_width = frame.width;
        m_height = frame.height;
        m_rowScratch.resize(size_t(m_width) * 3);
        m_grabs.resize(slotStride(m_width) * size_t(m_height));
    }

    const bool enabled = m_overlayEnabled.load();
    const bool sourceFlipped = m_sourceFlipped.load();
    bool active = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_recVersion != m_frameRecVersion) {
            m_frameRec = m_rec; // only when the record changed
            m_frameRecVersion = m_recVersion;
            m_frameXpos = m_xpos;
            m_frameYpos = m_ypos;
            m_ms1 = vrdate::patternShowsMilliseconds(m_frameRec.FormatDate1) ||
                    vrdate::patternShowsMilliseconds(m_frameRec.FormatDate2);
        }
        active = m_active;
    }

    if (!enabled) {
        if (sourceFlipped && writable)
            reverseRows(frame, m_rowScratch.data());
    } else {
        const bool mirror = m_horzFlip.load();
        if (writable && m_vertFlip.load() != sourceFlipped)
            reverseRows(frame, m_rowScratch.data(), mirror);
        else if (writable && mirror)
            mirrorRows(frame, m_rowScratch.data());

        const uint8_t what = m_frameRec.WhatIncrust;
        if (what == VrIncrustRec::Reel || what == VrIncrustRec::Perso)
            m_now = m_clock ? m_clock() : 0.0;
        m_prevDayDate = m_dayDate;
        m_dayDate = what == VrIncrustRec::Reel ? m_now : 0.0;
        m_haveScene = scenes != nullptr;
        if (scenes) {
            m_prevRecDate = m_recDate;
            const int slot = scenes->LookupFrameInfo(ptsNs, m_info);
            scenes->SetLookupPos(slot);
            m_recDate = m_info.RecDate;
            if (what == VrIncrustRec::Datecode)
                m_dayDate = m_recDate;
        }
        bool show = false;
        if (active) {
            std::lock_guard lock(m_mutex);
            show = m_countdown.onFrame({m_recDate, m_prevRecDate, m_dayDate, m_prevDayDate});
        }
        if (show && writable)
            drawLines(frame);
    }

    const GrabRing::Decision d = m_grabs.decide(ptsNs / 100);
    for (int k = 0; k < d.fillCount; ++k) {
        const int slot = d.toFill[k];
        uint8_t* dst = m_grabs.slotData(slot);
        if (dst == nullptr)
            continue;
        const size_t stride = slotStride(frame.width);
        if constexpr (std::is_same_v<Image, BgrImage>) {
            for (int y = 0; y < frame.height; ++y)
                std::memcpy(dst + stride * size_t(y), frame.row(y), size_t(frame.width) * 3);
        } else {
            if (toBgr == nullptr)
                continue;
            (*toBgr)(frame, dst, stride);
        }
        m_slotDates[size_t(slot)] = {m_haveScene && m_info.DateValid, m_info.RecDate};
        m_grabs.markFilled(slot);
        result.snapshotPeriodic[result.snapshotCount] = d.periodic[k];
        result.snapshotSlots[result.snapshotCount++] = slot;
    }
    result.secondsChanged = d.secondsChanged;
    result.seconds = d.seconds;
    return result;
}

template <class Image> void SuperposerCore::drawLines(const Image& frame) {
    const VrIncrustRec& rec = m_frameRec;
    TextKey key;
    key.recVersion = m_frameRecVersion;
    key.haveScene = m_haveScene;
    if (m_haveScene) {
        key.dateValid = m_info.DateValid;
        key.recDate = m_info.RecDate;
        key.timecodeValid = m_info.TimecodeValid;
        std::memcpy(key.timecode, m_info.Timecode, sizeof key.timecode);
    }
    if (rec.WhatIncrust == VrIncrustRec::Reel || rec.WhatIncrust == VrIncrustRec::Perso) {
        // The texts change only when the displayed second (or millisecond) does.
        const double shown = (m_now + rec.Decalage) * 86400000.0;
        const int64_t ms =
            std::isfinite(shown) && std::fabs(shown) < 9e17 ? std::llround(shown) : 0;
        key.nowKey = m_ms1 ? ms : floorDiv(ms, 1000);
    }
    if (!(key == m_textKey)) {
        m_textKey = key;
        incrust::TextInputs in;
        in.haveScene = m_haveScene;
        in.info = m_info;
        in.now = m_now;
        incrust::produceLines(rec, in, m_line1, m_line2);
        ++m_linesVersion;
    }

    // The font follows the record and the frame size: made again only when one of them
    // changed (its name is a string: no copy on every frame).
    if (m_fontRecVersion != m_frameRecVersion || m_fontWidth != frame.width ||
        m_fontHeight != frame.height) {
        m_fontRecVersion = m_frameRecVersion;
        m_fontWidth = frame.width;
        m_fontHeight = frame.height;
        m_font = FontSpec{};
        if (m_frameRecVersion > 0) {
            m_font.family = rec.FontRec.FontName;
            m_font.pixelHeight = incrust::fontPixelHeight(rec, frame.width, frame.height);
            m_font.bold = rec.FontRec.FontBold != 0;
            m_font.italic = rec.FontRec.FontItalic != 0;
            m_font.underline = rec.FontRec.FontUnderline != 0;
            m_font.strikeOut = rec.FontRec.FontStrikeOut != 0;
        }
    }
    const FontSpec& font = m_font;
    m_text.setAntialias(m_antialias.load());
    m_text.setFont(font);

    const int h = font.pixelHeight;
    const int x0 = incrust::anchorPixels(frame.width, m_frameXpos);
    const int y0 = incrust::anchorPixels(frame.height, m_frameYpos);
    const std::string* lines[2] = {&m_line1, &m_line2};
    const int tops[2] = {y0 - h, y0};
    for (int i = 0; i < 2; ++i) {
        if (lines[i]->empty())
            continue;
        const int w = m_text.measure(i, *lines[i]);
        const auto x = incrust::lineX(rec.Alignement, frame.width, x0, w);
        if (!x)
            continue;
        m_text.draw(i, frame, *x, tops[i], rec.BorderSize, rec.FontRec.FontColor);
    }
}
