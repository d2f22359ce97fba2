#pragma once

#include <QFrame>

class QCheckBox;
class TWideStringParameter;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

// Side panel 1: where recordings and still images go and how they are named, the plug-in
// folder and the Datorix program. Every control writes its parameter when it changes; the
// window recomputes the next names on videoNameChanged / imageNameChanged and shows them
// through SetVideoFileName / SetImageFileName.
class TDossiersFrame : public QFrame {
    Q_OBJECT
public:
    explicit TDossiersFrame(QWidget* parent = nullptr);

    // Copies the parameters into the controls without emitting anything.
    void LoadFromParameters();
    // Show the file part of the next names (the full path as tooltip).
    void SetVideoFileName(const QString& path);
    void SetImageFileName(const QString& path);
    // While image-by-image recording runs, grabs become frames of the video, not files.
    void ShowImageByImage(bool on);

    // The text of a folder field as its parameter holds it: with a trailing "/"; an empty
    // field gives `fallback`.
    static QString FolderValue(const QString& text, const QString& fallback);
    // A root name usable inside a folder: no separators; an empty one gives `fallback`.
    static QString RacineValue(const QString& text, const QString& fallback);

    QGroupBox* gbVideo;
    QLineEdit* VideoDirEdit;
    QToolButton* sbVideoDir;
    QLineEdit* VideoRacineEdit;
    QCheckBox* cbVideoDate;
    QLabel* LabelVideo;

    QGroupBox* gbImage; // "Fichiers images"
    QLineEdit* ImageDirEdit;
    QToolButton* sbImageDir;
    QLineEdit* ImageRacineEdit;
    QCheckBox* cbImageDate;
    QLabel* LabelImage;
    QToolButton* sbImage; // opens the image folder

    QLineEdit* PlugInDirEdit;
    QToolButton* sbPlugInDir;
    QLineEdit* feDatorix;
    QToolButton* sbDatorix;

signals:
    // A folder, root-name or date edit: the next name is recomputed without using a number.
    void videoNameChanged();
    void imageNameChanged();
    // The label of a next name was clicked (the window shows the grabbing panel for images).
    void imageLabelClicked();
    // A plug-in folder was chosen in the folder dialog.
    void pluginDirChosen(const QString& folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();
    bool takeRacine(QLineEdit* field, TWideStringParameter& racine, const QString& fallback);
    QString chooseFolder(const QString& title, const QString& start);

    bool m_loading = false;
    QString m_nextImage;
    bool m_imageByImage = false;
    QString m_pluginDirTold; // the plug-in folder last searched (no new search for the same)
};
