#pragma once

#include "CpuLoad.h"
#include "DriveSpace.h"
#include "FichierListbox.h"

#include <QFrame>
#include <QFutureWatcher>

#include <utility>

class QLabel;
class QGroupBox;
class QMenu;
class QTimer;
class TTextGauge;

// Side panel 6: the files recorded during this run (recording parts and still images), and
// three gauges: the load of the busiest processor and the free space where the videos and
// the still images go. The window adds the files as they are made and tells the folders.
class TListeFrame : public QFrame {
    Q_OBJECT
public:
    explicit TListeFrame(QWidget* parent = nullptr);
    ~TListeFrame() override;

    void AddFile(const QString& path);
    void RemoveFile(const QString& path); // a recording that ended up deleted
    void Sort(TFichierListbox::SortOrder order);
    // Before the panel is shown: sizes and dates may have changed since the last sort.
    void Refresh();
    // At start-up: the free-space gauges count from 0, and the list is sorted afresh.
    void ResetGauges();
    // The folders whose drives the free-space gauges show; asked again at once.
    void SetVideoFolder(const QString& folder);
    void SetImageFolder(const QString& folder);
    // "Ouvrir dans Datorix": the program named by the parameter, when it exists, with
    // +F= and the acted-on file. False when nothing was started.
    bool OpenInDatorix();

    // The argument that hands one file to Datorix.
    static QString DatorixArgument(const QString& file);

    TFichierListbox* fl;
    QLabel* labselect;
    TTextGauge* tgCPU;
    QGroupBox* gbEspace; // "Espace libre"
    TTextGauge* tgVideo;
    TTextGauge* tgImage;
    QMenu* pmListe; // the list's pop-up menu

signals:
    // The window opens these with the desktop: the file's folder with the file selected,
    // and the file itself in the application associated with it.
    void parentFolderRequested(const QString& file);
    void openRequested(const QString& file);

private:
    void buildMenu();
    void countsChanged(int selected, int total);
    void cpuTick();
    void freeSpaceTick();
    void showFreeSpace(const DriveSpace& video, const DriveSpace& image);

    QTimer* m_cpuTimer;
    QTimer* m_freeSpaceTimer;
    std::vector<CpuLoad::Times> m_lastCpu;
    QString m_videoFolder, m_imageFolder;
    // The drives are asked on a worker thread: a dead network mount may block statvfs.
    QFutureWatcher<std::pair<DriveSpace, DriveSpace>> m_space;
    bool m_askAgain = false; // the folders changed while a query was running
};
