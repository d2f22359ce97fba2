#pragma once

#include <QString>
#include <QtGlobal>
#include <deque>

// How long the part being recorded can go on before the disk reserve stops it, from the
// sizes its file had over the last seconds. No widget, no clock: the caller gives the times.
class RecordingTimeLeft {
public:
    // A new part (start, cut): its samples start again; knownRate (bytes per second, 0 when
    // the format's rate is not fixed) stands for the measured one until there is enough of it.
    void restart(qint64 knownRate = 0);
    // The file's size at msecs (any steady clock), and the free space of its filesystem.
    void addSample(qint64 msecs, qint64 fileSize, qint64 freeBytes);

    // Bytes per second written over the last seconds; 0 when not known yet.
    qint64 rate() const;
    // Seconds until the reserve is reached; -1 when not known.
    qint64 secondsLeft() const;
    // "≈ 2 h 13 min restantes", "≈ 45 s restantes", "—".
    QString text() const;
    static QString textFor(qint64 seconds);
    // "734 Ko", "12,3 Mo", "2,41 Go"; "0:01:05" for an elapsed time.
    static QString sizeText(qint64 bytes);
    static QString elapsedText(qint64 seconds);

    // The reserve the recording side keeps for a file of this size growing at this rate: it
    // ends the part when the free space falls below it.
    static qint64 reserveFor(qint64 fileSize, qint64 rate);

    static constexpr qint64 kWindowMs = 5000;
    static constexpr qint64 kWarningSeconds = 600;

private:
    struct Sample {
        qint64 msecs;
        qint64 size;
    };
    std::deque<Sample> m_samples; // the last kWindowMs and one before
    qint64 m_knownRate = 0;
    qint64 m_free = -1;
};
