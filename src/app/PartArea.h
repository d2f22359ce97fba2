#pragma once

#include "RecordingTimeLeft.h"

#include <QElapsedTimer>
#include <QFrame>
#include <functional>

class QLabel;
class QTimer;

// The part being recorded, under the level meter: its file name and size on one line, its
// elapsed time and the time left before the disk reserve stops it on the other. Shown only
// while a part records; a cut brings the new part's file.
class TPartArea : public QFrame {
    Q_OBJECT
public:
    explicit TPartArea(QWidget* parent);

    // The file of the part being recorded, empty when none; the format's fixed rate in bytes
    // per second, 0 when it has none.
    std::function<QString()> currentFile;
    std::function<qint64()> knownRate;

    // Asks the file and the disk once more (the timer does it every second).
    void refresh();
    QString nameText() const;
    QString timeText() const;
    qint64 secondsLeft() const { return m_left.secondsLeft(); }
    bool warning() const { return m_warning; }

private:
    void setWarning(bool on);

    QLabel* m_name;
    QLabel* m_time;
    QTimer* m_timer;
    QString m_file;
    QElapsedTimer m_since; // the part's start, as the window first saw its file
    RecordingTimeLeft m_left;
    bool m_warning = false;
};
