#pragma once

#include <QObject>

class QMenu;
class QWidget;
class TSourcesController;
class TSourcesFrame;

// The sources panel of the main window: it shows what the sources controller decided (the
// lists, the formats, the labels, a deck's pilot buttons) and hands it what the user chooses;
// the settings buttons open the device's pages.
class TSourcesPanel : public QObject {
    Q_OBJECT
public:
    TSourcesPanel(TSourcesController& sources, TSourcesFrame& frame, QWidget* dialogParent,
                  QObject* parent);

    // The settings menu of the video or the sound source, as its button shows it.
    void FillSettingsMenu(QMenu& menu, bool video);

private:
    void follow();
    void showSettingsMenu(bool video);
    void showControlsDialog(const QString& devicePath);
    void chooseVideoFormat();
    void chooseAudioFormat();
    void showMixerDialog();

    TSourcesController& m_sources;
    TSourcesFrame& m_frame;
    QWidget* m_dialogParent;
    bool m_videoGreyed = false, m_audioGreyed = false;
};
