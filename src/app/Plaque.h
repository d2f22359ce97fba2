#pragma once

#include <QWidget>
#include <functional>

class QFrame;

// The full-screen window: black, borderless, holding the video with a 12-pixel frame
// around it. Keys go on to the main window so that every shortcut works in full screen.
class Tplaque : public QWidget {
    Q_OBJECT
public:
    explicit Tplaque(QWidget* mainWindow);

    QFrame* Shape1; // the frame drawn around the video
    void SetFrameBrush(const QBrush& brush);
    QWidget* videoHolder; // where the video goes while in full screen
    // The window took its size (full screen is granted after it was asked for): the video is
    // fitted again.
    std::function<void()> onResized;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_main;
};
