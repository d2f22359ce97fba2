#pragma once

#include <QFrame>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

// Side panel 0: the video source, the audio source and the capture format.
class TSourcesFrame : public QFrame {
    Q_OBJECT
public:
    explicit TSourcesFrame(QWidget* parent = nullptr);

    QGroupBox* gbVideo;
    QComboBox* cboxvideo;
    QLabel* LabVideo;
    QToolButton* sbVideoSettings;
    QToolButton* sbVideoPilotVCR;

    QGroupBox* gbAudio;
    QComboBox* cboxAudio;
    QLabel* LabAudio;
    QComboBox* cbEntries; // input lines of a sound card
    QToolButton* sbAudioSettings;
    QToolButton* sbAudioPilotVCR;

    QGroupBox* gbFormatCapture;
    QComboBox* cbFormatCapture;
    QToolButton* sbFormatCapturesettings;
    QLabel* lblFramerate;
    QLineEdit* leFramerate;
    QLabel* LabelVideo; // the next recording's file name

    QToolButton* ActualiserVideoSpeedBtn;
};
