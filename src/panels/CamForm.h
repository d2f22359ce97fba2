#pragma once

#include "DvTransport.h"

#include <QWidget>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QToolButton;

// The transport bar of a camcorder window: seven buttons on eight actions of its own, and the
// device's transport. Every command does nothing without a transport; the device's errors are
// ignored.
class Tnav_captureframe : public QWidget {
    Q_OBJECT
public:
    explicit Tnav_captureframe(QWidget* parent = nullptr);

    void SetTransport(std::shared_ptr<IDvTransport> transport);
    IDvTransport* transport() const { return m_transport.get(); }
    bool hasTransport() const { return m_transport != nullptr; }

    void Play();
    void Pause();
    void Stop();
    void SlowForward();
    void SlowReverse();
    void FastForward(); // winding from stop, picture search otherwise
    void FastReverse();
    // The play/pause switch: Pause while playing, Play otherwise.
    void PlayPause();

    QAction *cam_Play, *cam_Pause, *cam_Stop, *cam_AvanceLent, *cam_ReculeLent, *cam_AvanceRapide,
        *cam_ReculeRapide, *cam_PlayPause;

private:
    void send(IDvTransport::Mode mode);
    IDvTransport::Mode readMode() const;

    std::shared_ptr<IDvTransport> m_transport;
};

// One of the two camcorder windows: the recording date of the frame shown, the keyboard
// camera's mark, the tape's timecode, "Stop en quittant" and the transport bar.
class TcamForm : public QWidget {
    Q_OBJECT
public:
    explicit TcamForm(QWidget* parent = nullptr);
    ~TcamForm() override; // stops the tape when "Stop en quittant" is ticked

    void SetKeyboardCamera(bool keyboard);
    bool keyboardCamera() const;
    // The 300 ms refresh: the tape's timecode and the recording date (0 when none).
    void ShowTimecode(const IDvTransport::Timecode& timecode);
    void ShowRecordingDate(double recDate);
    // "H:MM:SS:FF", the hours without a leading zero.
    static QString TimecodeText(const IDvTransport::Timecode& timecode);
    // What the tape does, refreshed with the timecode: "Lecture", "Pause", "Arrêt"…
    void ShowMode(IDvTransport::Mode mode);
    static QString ModeText(IDvTransport::Mode mode);

    QLabel* Label1;
    QLabel* image1;
    QLabel* TimecodePanel;
    QLabel* ModePanel;
    QCheckBox* cbStopQuittant;
    Tnav_captureframe* nav_captureframe1;
    bool showFlag = true; // shown or not whenever a source binds to it
};
