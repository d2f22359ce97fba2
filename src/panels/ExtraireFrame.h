#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QToolButton;
struct TStillImage;

// Side panel 3: the last still image as a thumbnail, the name of the next one, and the
// intervalometer with its count-down. The window saves the images; the panel shows them.
class TExtraireFrame : public QFrame {
    Q_OBJECT
public:
    explicit TExtraireFrame(QWidget* parent = nullptr);

    // The saved image, in its place inside the 192 x 144 area.
    void ShowThumbnail(const TStillImage& image);
    void HideBevel(); // a grab is on its way
    void SetNextName(const QString& path);
    // While image-by-image recording runs, grabs become frames of the video, not files.
    void ShowImageByImage(bool on);
    // The count-down to the next periodic grab (hidden while the intervalometer is off).
    void ShowCountdown(int seconds);
    // While it runs, the interval cannot change.
    void SetRunning(bool running);
    // The settings restored at start-up (the switch itself always starts off).
    void LoadSettings(int value, int unit, bool beeps);

    QGroupBox* gbExtraire;
    QLabel* Image;
    QFrame* Bevel3;
    QGroupBox* gbProchaine;
    QLabel* destlabel;
    QGroupBox* gbIntervallo;
    QToolButton* RxSwitch1;
    QLabel* chronoLab;
    QSpinBox* RxSpinEdit7;
    QComboBox* cbUnites;
    QCheckBox* cbBeeps;

signals:
    void switchClicked(); // the switch was flipped by a click
    void destinationClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_nextImage;
    bool m_imageByImage = false;
};
