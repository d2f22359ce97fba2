#include "RecordingTimeLeft.h"

#include <algorithm>

namespace {
constexpr qint64 kMiB = 1024 * 1024;
// A measured rate needs this much time between its samples to be trusted over a known one.
constexpr qint64 kLeastSpanMs = 2000;
} // namespace

void RecordingTimeLeft::restart(qint64 knownRate) {
    m_samples.clear();
    m_knownRate = std::max<qint64>(0, knownRate);
    m_free = -1;
}

void RecordingTimeLeft::addSample(qint64 msecs, qint64 fileSize, qint64 freeBytes) {
    // A clock going back or a file that shrank (rewritten header) starts the window again.
    if (!m_samples.empty() && (msecs <= m_samples.back().msecs || fileSize < m_samples.back().size))
        m_samples.clear();
    m_samples.push_back({msecs, std::max<qint64>(0, fileSize)});
    while (m_samples.size() > 2 && msecs - m_samples[1].msecs >= kWindowMs)
        m_samples.pop_front();
    m_free = freeBytes;
}

qint64 RecordingTimeLeft::rate() const {
    if (m_samples.size() >= 2) {
        const Sample& first = m_samples.front();
        const Sample& last = m_samples.back();
        const qint64 span = last.msecs - first.msecs;
        if (span >= kLeastSpanMs || (m_knownRate == 0 && span > 0))
            return (last.size - first.size) * 1000 / span;
    }
    return m_knownRate;
}

qint64 RecordingTimeLeft::reserveFor(qint64 fileSize, qint64 rate) {
    // As the recording side reckons it (Tdm::checkRecordingDisk): half a MiB and the AVI
    // index share of the file to finish it, and twice what grows between its checks (500 ms).
    return kMiB / 2 + fileSize / 32 + rate;
}

qint64 RecordingTimeLeft::secondsLeft() const {
    const qint64 r = rate();
    if (r <= 0 || m_free < 0 || m_samples.empty())
        return -1;
    const qint64 size = m_samples.back().size;
    const qint64 above = m_free - reserveFor(size, r);
    if (above <= 0)
        return 0;
    // Every byte written takes free space and adds its index share to the reserve; to the
    // nearest second.
    return (above * 32 + r * 33 / 2) / (r * 33);
}

QString RecordingTimeLeft::textFor(qint64 seconds) {
    if (seconds < 0)
        return QStringLiteral("—");
    QString amount;
    if (seconds < 60)
        amount = QStringLiteral("%1 s").arg(seconds);
    else if (seconds < 3600)
        amount = QStringLiteral("%1 min").arg(seconds / 60);
    else
        amount = QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
    return QStringLiteral("≈ %1 restantes").arg(amount);
}

QString RecordingTimeLeft::text() const {
    return textFor(secondsLeft());
}

QString RecordingTimeLeft::sizeText(qint64 bytes) {
    const auto french = [](double value, int decimals) {
        return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
    };
    if (bytes < kMiB)
        return QStringLiteral("%1 Ko").arg(std::max<qint64>(0, bytes) / 1024);
    if (bytes < 1024 * kMiB)
        return QStringLiteral("%1 Mo").arg(french(double(bytes) / kMiB, 1));
    return QStringLiteral("%1 Go").arg(french(double(bytes) / (1024.0 * kMiB), 2));
}

QString RecordingTimeLeft::elapsedText(qint64 seconds) {
    seconds = std::max<qint64>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
