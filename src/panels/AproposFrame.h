#pragma once

#include <QFrame>
#include <QStringList>

class QLabel;
class QListWidget;

// Side panel 8: the program, its version, the libraries it runs on, its licence and its
// own GStreamer elements.
class TAproposFrame : public QFrame {
    Q_OBJECT
public:
    static inline const QString kWebPage = QStringLiteral("https://ardoval.example/vidorra");

    explicit TAproposFrame(QWidget* parent = nullptr);

    // Reads the versions and the element list again (the elements are registered after the
    // window is built).
    void Refresh();
    // The elements of the program's own plug-in "vidorra", by name.
    static QStringList OwnElements();

    QLabel* lbTitre;
    QLabel* lbVersions;
    QLabel* lbLicence;
    QListWidget* lbElements;

protected:
    void showEvent(QShowEvent* event) override;
};
