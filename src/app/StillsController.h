#pragma once

#include "Beeper.h"
#include "StillImage.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <gst/gst.h>

class TSession;
class Tdm;

// Still images of the preview: a grab asks the overlay for a snapshot; a snapshot becomes a
// deinterlaced, aspect-corrected picture, a thumbnail and a BMP or JPEG file under the next
// image name; the intervalometer makes the overlay grab periodically and counts down with
// beeps. Everything here runs on the user-interface thread.
class TStillsController : public QObject {
    Q_OBJECT
public:
    TStillsController(TSession& session, Tdm& dm);

    void Grab();                             // saGrab
    void SnapshotReady(GstMessage* message); // a vr-snapshot outside image-by-image recording
    void Countdown(int seconds);             // a vr-grab-countdown
    // The switch was flipped (by a click, or by saIntervallo which flips it first).
    void SwitchChanged(bool on);
    bool running() const { return m_running; }
    // "toutes les 5 secondes" while it runs, else empty.
    QString intervalText() const;

    // The next image name; a change of folder, root name, date option or extension gives the
    // number back and computes it again.
    QString nextName() const { return m_nextName; }
    void FirstName();
    void RecomputeName();

    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    TBeeper& beeper() { return m_beeper; }
    const TStillImage& lastImage() const { return m_corrected; }

signals:
    void nextNameChanged(const QString& name);
    void saved(const QString& file);

private:
    QSize targetRatio() const;
    bool save(const QDateTime& filmedAt, bool periodic);

    TSession& m_session;
    Tdm& m_dm;
    TBeeper m_beeper;
    // The working pictures, sized once per stream size.
    TStillImage m_snapshot, m_frame, m_corrected;
    QString m_nextName;
    bool m_running = false;
    int32_t m_interval = 0;
};
