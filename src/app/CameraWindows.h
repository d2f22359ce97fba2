#pragma once

#include <QObject>
#include <array>
#include <memory>
#include <vector>

class IDvTransport;
class QWidget;
class TavFlux;
class TcamForm;
class Tnav_captureframe;

// The two camcorder windows of the main window and the keyboard camera, the one the main
// window's transport keys drive. A DV source binds to a window when it is connected (one
// device used for sound and picture shares one window) and lets it go when its device is
// released.
class TCameraWindows : public QObject {
    Q_OBJECT
public:
    explicit TCameraWindows(QWidget* mainWindow);

    TcamForm* window(int i) const { return m_windows[size_t(i & 1)]; }
    // Connecting a source: its transport, device type and window.
    void Bind(TavFlux& source, const TavFlux* other);
    // Releasing its device: "Stop en quittant", the window hidden, the keyboard passed on.
    void Release(TavFlux& source);
    void SetKeyboardCamera(int i);
    int keyboardCamera() const { return m_keyboard; }
    Tnav_captureframe* keyboardBar() const;
    void Toggle(); // cam_Toggle
    // acShowVideoPilotDV / acShowAudioPilotDV: only for a connected deck.
    void ShowPilot(TavFlux* source);
    // The 300 ms refresh of the windows of the two sources.
    void Refresh(TavFlux* video, TavFlux* audio);
    // "Stopper camera DV n en quittant" and the two show flags.
    void LoadParameters();
    void SaveParameters();

private:
    void refresh(TavFlux& source);

    std::array<TcamForm*, 2> m_windows{};
    int m_keyboard = 0;
    // Decks stopped by leaving their source while they ran: coming back to the source plays
    // them again.
    std::vector<std::weak_ptr<IDvTransport>> m_stoppedOnLeaving;
};
