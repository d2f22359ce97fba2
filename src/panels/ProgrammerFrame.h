#pragma once

#include <QDateTime>
#include <QFrame>

class QDateEdit;
class QGroupBox;
class QLabel;
class QSpinBox;
class QToolButton;

// Side panel 2: the start and the end of a programmed recording, and the computer's clock.
// The panel only holds the fields; the scheduler of the main window reads them and arms the
// alarm.
class TProgrammerFrame : public QFrame {
    Q_OBJECT
public:
    explicit TProgrammerFrame(QWidget* parent = nullptr);

    // Start = now + 1 minute, end = now + 31 minutes, both at second 0.
    void PresetFrom(const QDateTime& now);
    QDateTime start() const;
    QDateTime end() const;
    QDate endDate() const;
    void ShowTime(const QDateTime& now); // the clock
    // What is offered while a programmed recording runs: no start, no "Now" button.
    void SetRecordingLook(bool programmedRecording);

    QGroupBox* gbProgrammer;
    QLabel* RxClock2;
    QGroupBox* gbDebut;
    QDateEdit* DateEdit1;
    QSpinBox *RxSpinEdit1, *RxSpinEdit2, *RxSpinEdit3;
    QGroupBox* gbFin;
    QDateEdit* DateEdit2;
    QSpinBox *RxSpinEdit4, *RxSpinEdit5, *RxSpinEdit6;
    QToolButton* NowBtn;
    QToolButton* ProgBtn; // bound by the window to acProgrammerBascule

signals:
    // The hour, minute or second of the start or the end was changed.
    void startTimeEdited();
    void endTimeEdited();
    // NowBtn copied the start into the end fields.
    void endCopiedFromStart();

private:
    void setFields(QDateEdit* date, QSpinBox* h, QSpinBox* m, QSpinBox* s, const QDateTime& at);
    bool m_filling = false;
};
