#pragma once

#include "DeviceDescriptor.h"
#include "Parameters.h"
#include "ScreenSaver.h"
#include "Session.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QSize>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class TLevelMeterWidget;
class TPartArea;
class QSlider;
class QToolBar;
class QToolButton;
class ShortcutRouter;
class TCheckAction;
class TRecordingController;
class TDossiersFrame;
class TErreurFrame;
class THelpFrame;
class TAproposFrame;
class TOptionsFrame;
class TIncrusterFrame;
class TListeFrame;
class TProgrammerFrame;
class TExtraireFrame;
class TStillsController;
class TCameraWindows;
class TScheduler;
class ISleepInhibitor;
class TSourcesController;
class TSourcesFrame;
class TSourcesPanel;
class TVideoWidget;
class TCustomSuperAction;
class TKXAppliMan;
class TKXSwitch;
class TMornePreferences;
class TRaccourcisForm;
class TRectAction;
class TScript;
class TStatusPanels;
class TSwitch;
class Tdm;
class Tplaque;
class IDeviceEnumerator;

// What the window needs to know of the current video source to size the preview.
struct TVideoSourceInfo {
    bool present = false;
    QSize nativeSize;
    bool hasSceneDetector = false;
};

// The main window: it shows the session and sends it the user's commands. It wires the
// panels and the actions to the session; the start-up sequence, the layout commands and the
// shutdown live here.
class TCaptureForm : public QMainWindow, private ISessionView {
    Q_OBJECT
public:
    explicit TCaptureForm(QWidget* parent = nullptr);
    ~TCaptureForm() override;

    // The other windows created at process entry, in that order, after this one.
    void attachModules(Tdm* dm, Tplaque* plaque, TRaccourcisForm* raccourcis);
    // Devices to use instead of the system's (tests); before the window is shown.
    void setDeviceEnumerator(std::unique_ptr<IDeviceEnumerator> enumerator) {
        m_deviceEnumerator = std::move(enumerator);
    }
    // The process arguments after the program name, run once start-up has finished.
    void setCommandLine(const QStringList& arguments);
    // The command line of a later start of the program, run as this one's own once start-up
    // and the command lines before it have run; an empty one brings the window forward.
    void receiveCommandLine(const QStringList& arguments);

    // Components.
    TMornePreferences* gp;
    TKXAppliMan* am;
    TSwitch* Switch1;
    TScript* Script1;
    ShortcutRouter* router;
    TparameterList& parameters() { return m_session->parameters(); }
    // What this window shows.
    TSession& session() { return *m_session; }

    // Actions of the main list, in table order, and by name.
    QList<TCustomSuperAction*> al;
    TCustomSuperAction* action(const QString& name) const;
    // The script window of the manager's "Script" action.
    class TScriptForm* scriptForm = nullptr;
    TCheckAction* scriptWindowAction = nullptr; // shows and hides it
    // The one action of the main list that scripts call too.
    static const QString kDecalageDeclaration;
    // Scripts run command lines and wait with these.
    static const QString kCommandeDeclaration;
    static const QString kAttendreDeclaration;
    static const QString kScriptRecent;
    // The options panel's "Utiliser le thème d'icônes du bureau", kept with the preferences.
    static const QString kDesktopIcons;

    // Start-up and shutdown.
    void ApplyPreferences();
    void FinishStartup();
    bool SaveControlsToParameters(); // false when the parameter store could not be written
    // Start-up is over and the command line it was given has run.
    bool startupFinished() const;

    // Layout commands.
    void LayoutPanels();
    // The side panels' common size: the design's, or more where their captions need it.
    QSize panelSize() const;
    void ShowPanel(int panel);
    void HidePanel();
    void ApplyAspectRatio();
    void FitVideoWindow(int w, int h);
    void ApplyVolume();
    void setVolume(int volume); // moves the slider, writes the parameter, applies

    // What the device layer tells the window (set by the source lists).
    std::function<TVideoSourceInfo()> currentVideoSource;
    std::function<QString()> videoSourceText; // the video-source combo's text
    void ShowVideo();                         // the picture instead of the no-video panel
    void ShowNoVideo();                       // the no-video panel
    Tdm* dm() const { return m_dm; }
    bool detectedWide() const { return m_session->detectedWide(); } // the DV picture is 16:9
    Tplaque* plaque() const { return m_plaque; }
    // Closes as acQuitter does, without the store question (a signal or the session's end):
    // settings are saved when a store mode is chosen, nothing is stored or erased otherwise.
    // Nobody answers on that path: no box is shown or waited for, what the user must read is
    // kept for the next start.
    void closeWithoutQuestion();

    // State read by other parts.
    int PanelsX = 427;
    int PreviewShiftX = 0;
    QString nextVideoFileName; // as the recording controller last named it

    // Widgets other parts fill.
    QWidget* Panel1;  // the preview area
    QFrame* Panel2;   // no-video panel, the box the video is fitted into
    QWidget* vwEcran; // the video window
    QFrame* Shape1;   // corner square where the sliders cross
    QFrame* Shape2;   // background 12 pixels around the video
    QSlider* Yslider;
    QSlider* Xslider;
    QToolButton* btnCapture;
    QToolButton* btnCouper;
    QToolButton* btnGrab;
    QSlider* tb; // monitoring volume
    QProgressBar* gaugeVolume;
    TLevelMeterWidget* levelMeter; // the recorded sound's levels, under the volume
    TPartArea* partArea;           // the part being recorded, under the meter
    QLabel* lblVolume;
    QLabel* chronoLab;
    QToolBar* actionToolBar;
    QToolBar* panelToolBar;
    TStatusPanels* statusPanels;
    std::array<QFrame*, 9> panels{};
    TErreurFrame* ErreurFrame1;
    TSourcesFrame* SourcesFrame;
    TDossiersFrame* DossiersFrame1;
    TOptionsFrame* OptionsFrame;
    TIncrusterFrame* IncrusterFrame1;
    TProgrammerFrame* ProgrammerFrame1;
    TExtraireFrame* ExtraireFrame1;
    TListeFrame* ListeFrame;
    THelpFrame* HelpFrame1;
    TAproposFrame* AproposFrame1;
    TStillsController* stills = nullptr;      // once the graph module is attached
    TCameraWindows* cameras = nullptr;        // the two camcorder windows, from the first show
    TScheduler* scheduler = nullptr;          // once the graph module is attached
    TVideoWidget* videoWidget;                // vwEcran
    TSourcesController* sources = nullptr;    // created at the first idle moment
    TSourcesPanel* sourcesPanel = nullptr;    // shows them, from then on
    TRecordingController* recorder = nullptr; // created with the graph module
    QButtonGroup* rgPrefs;  // "Comment sauver les préférences en quittant" (options panel)
    QLineEdit* leFramerate; // on the sources panel

    static QString windowCaption();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Phases of start-up and shutdown.
    void firstShow();
    bool closeQuery();
    static QList<QRect> availableScreens();
    void runCommandLine();
    void runReceivedCommandLines();

    // Construction, split by concern.
    void buildWidgets();
    void buildPanels();
    void buildToolBars();
    void connectLook(); // icons and captions: the theme choice, what grows with the fonts
    void fitCaptions(); // after a caption or a font changed: lays out again if anything grows
    void createActions();
    void createManagerActions();
    void connectHandlers();
    void connectInlay();
    void connectHelp();         // the help panel's links, sources and report
    void rebuildSystemReport(); // at start-up and after each refresh of the sources
    // Shows what was said to the user since the last look (after start-up).
    void showNotices();
    void placeCameraWindows(); // where raCam1 and raCam2 say
    void loadInlay(); // start-up: the panel, the sliders and the overlay from the parameters
    void pushIncrustRec();
    void setTypingShortcuts(bool typing);
    void bindAction(const QString& name, std::function<void(QObject*)> handler);

    // What the session asks of the window (CaptureFormView.cpp).
    QWidget* dialogParent() override { return this; }
    void showVideo() override { ShowVideo(); }
    void showNoVideo() override { ShowNoVideo(); }
    void applyAspectRatio() override { ApplyAspectRatio(); }
    void applyVolume() override { ApplyVolume(); }
    void detectedWideChanged(bool wide) override;
    void showRecordingState(RecordingState state, bool frozen) override;
    void setRatioChoicesEnabled(bool on) override;
    void stopConfirmingVideo() override;
    void stopConfirmingImage() override;
    bool videoWindowNarrow() const override;
    void showGrab(bool bringPanel) override;
    void showThumbnail(const TStillImage& image) override;
    void showCountdown(int seconds) override;
    Interval intervalChoice() const override;
    void showIntervalometer(bool running) override;
    bool bindTransport(TavFlux& source, const TavFlux* other) override;
    void releaseTransport(TavFlux& source) override;
    void refreshTransport(TavFlux* video, TavFlux* audio) override;
    // The session's status texts drawn in the status bar.
    void followStatusTexts();
    static std::unique_ptr<IScheduleFields> programmerFields(class TProgrammerFrame& panel);
    void updateStatusTexts(); // the preview's texts again, once there is a recorder

    // Handlers.
    void toggleFullScreen(bool on);
    void setReduced(bool reduced);
    void toggleMute(bool on);
    void applyFlip(bool vertical);
    void toggleSliders();
    void swapSides(QObject* sender);
    void openDatorix();
    void openVideoFolder();
    // The list's double click: the desktop's default player; where the file went or no
    // launcher answers, the user is told.
    void openInPlayer(const QString& file);
    void showInFileManager(const QString& file);
    void readFramerateField();
    void showRaccourcis(bool show);
    void refreshCaptureButtons();

    TSession* m_session; // a child, made first: the last to go of what reads the parameters
    std::unique_ptr<IScheduleFields> m_scheduleFields; // the "Programmer" panel's
    QHash<QString, TCustomSuperAction*> m_actions;
    TKXSwitch* m_managerSwitch = nullptr;
    TRectAction* raFormSave = nullptr;
    TRectAction* raScriptFormSave = nullptr;
    TRectAction* raCam1 = nullptr;
    TRectAction* raCam2 = nullptr;
    QList<TCheckAction*> m_managerWindows;
    std::unique_ptr<class TKXScript> m_script; // the script window's component
    QWidget* createScriptWindow();
    void registerScriptCommands(TKXScript& script);
    void runScriptCommand(const QString& line);
    void waitForScript(int ms);
    void recordUserAction(TCustomSuperAction* action);
    QElapsedTimer m_macroClock;      // since the last line a macro recorded
    bool m_closeAfterScript = false; // a close waits for the running script to stop
    bool m_closeByCommand = false;   // a command closes: nothing is asked
    QString managerHelpHtml() const;
    Tdm* m_dm = nullptr;
    Tplaque* m_plaque = nullptr;
    TRaccourcisForm* m_raccourcis = nullptr;
    QStringList m_commandLine;
    QList<QStringList> m_receivedCommandLines; // waiting for start-up or the one before
    bool m_runningReceived = false;
    std::unique_ptr<IDeviceEnumerator> m_deviceEnumerator;
    ScreenSaverInhibitor m_screenSaver;
    bool m_startingUp = true;
    bool m_graphFailureShown = false; // its message box is open
    bool m_finishScheduled = false;
    bool m_commandLineDone = false;
    std::unique_ptr<ISleepInhibitor> m_sleepInhibitor; // made at the first state change
    void closeWhenIdle();
    bool m_slidersVisible = false;
    bool m_fullScreenBeforeQuestion = false;
    QSize m_sizeBeforeReduced; // while reduced: the size to come back to
    QSize m_fittedPanelSize;   // the panels' size at the last layout
    int m_prefsItemIndex = spNone;
};
