#pragma once

#include "OutputNaming.h"
#include "RecordingStateMachine.h"
#include "StallWatch.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QTimer;
class TSession;
class TSceneFile;
class Tdm;
typedef struct _GstElement GstElement;

// The session's recording controller: starts, stops, cuts and freezes recordings, keeps the
// preview equal to what is recorded, and says its state in the status texts and the captions
// of the main list's actions; the window shows the rest from the state.
class TRecordingController : public QObject, public IRecordingOps {
    Q_OBJECT
public:
    TRecordingController(TSession& session, Tdm& dm);
    ~TRecordingController() override;

    // A command is under way (a question box waits for its answer).
    bool busy() const { return m_busy; }

    RecordingState state() const { return m_machine.state(); }
    TRecordingStateMachine& machine() { return m_machine; }

    // Commands (the actions call these).
    // A command that arrives while a start or stop is under way (the end of a recording
    // part keeps the window alive while it waits) runs after it, in order.
    void CaptureCommand() {
        post([this] { m_machine.Handle(RecordingEvent::CaptureCommand); });
    }
    void ScheduleCommand() {
        post([this] { m_machine.Handle(RecordingEvent::ScheduleCommand); });
    }
    void lancerEnregistrement() {
        post([this] { m_machine.Handle(RecordingEvent::StartAlarm); });
    }
    void stopperEnregistrement() {
        post([this] { m_machine.Handle(RecordingEvent::EndAlarm); });
    }
    void CutRecording();
    void HaltGraph();
    // The program is closing: what a part's end has to say is logged, no box waits.
    void SetClosing() { m_closing = true; }
    void GraphDeviceLost(bool sourceChanged = false);
    void SetCaptureFrozen(bool frozen);
    void ApplyPreviewLock();
    // After any change of source or capture format (command line, combo, device change,
    // reselection): the effects allowed for them, then the inlay and both flips again.
    void SourcesOrFormatChanged();
    void UpdateStatusTexts();
    void DroppedActionTimer();
    // A still notification in image-by-image mode: the frame is counted and let into the file.
    bool takeImageByImageFrame();
    bool imageByImage() const { return m_imageByImage; }
    int frameCount() const { return m_frameCount; }

    // The programmed times.
    QTime startTime, endTime; // shown while programmed
    // The run's naming (video and image counters).
    TOutputNaming& naming() { return m_naming; }
    // A file made during this run (a recording part, a still image).
    void AddRecordedFile(const QString& file) { addRecorded(file); }
    // Status panel 0: the image kind and the intervalometer's interval, when it runs.
    void UpdateIntervalometerText();
    // Rewrites the status text of the programmed time ("début à", "capture jusqu'à").
    void ShowProgrammedTimes();

    // Files recorded during this run, most recent last.
    const QStringList& recordedFiles() const { return m_recorded; }
    QString nextVideoFileName() const { return m_nextName; }
    QString currentFile() const { return m_currentFile; }
    // A recording was asked for and waits for its source ("Préparation de la source…").
    bool waitingForSource() const { return m_waitingForSource; }
    void RecomputeNextName(); // after a folder, root name, date or format change
    // "durée h:mm :ss", the hours starting again after 24.
    static QString DurationText(qint64 seconds);

    // IRecordingOps
    bool StartCapture() override;
    bool StopCapture() override;
    bool ArmStartAlarm() override;
    bool ArmEndAlarm() override;
    void DisarmAlarm() override;
    void FallBackToNoVideo() override;
    void EnterState(RecordingState state) override;

    // The video source's stall watch (tests look at it).
    const TStallWatch& stallWatch() const { return m_stall; }

signals:
    void recordedFilesChanged();
    // A recording part or a still image was made (the recorded-files panel lists it).
    void fileRecorded(const QString& file);
    // A recording that ended without a frame was deleted.
    void recordedFileDropped(const QString& file);
    void nextNameChanged(const QString& name);
    // Image-by-image recording began or ended: grabs go into the video, not to still files.
    void imageByImageChanged(bool on);
    // After every state is entered (the scheduler's panel, the sleep inhibitor).
    void stateEntered(RecordingState state);

private:
    void tickStallWatch();
    // A plug-in source's broken pictures and its memory (RecordingPlugInWatch.cpp).
    void tickPlugInWatch();
    quint64 brokenPictures() const; // of the current video device, ever
    // Pictures lost in this part: dropped on the way, and broken at the source.
    quint64 lostPictures() const;
    void setImageByImage(bool on);
    void post(std::function<void()> command);
    void rebuildDvPreview(bool halfSize);
    void settleNextName();
    void uncheckCapture();
    void runAction(const char* name);
    void setCaptureActionLook(bool recording);
    void openSceneFile(const QString& recordingFile);
    QString closeSceneFile(); // returns the closed file's path
    QString sourceSummary(bool withVideo, bool withAudio) const;
    QString freeSpaceText() const;
    QString effectsText() const;
    void addRecorded(const QString& file);
    void stoppedByRecordingSide(const QString& message);
    bool sourcesPreparing() const; // a current source's material is still being made
    void sourceWaitTick();
    bool beginRecordingPart();
    void partFinished(const QString& file, bool complete);
    void partEnded(bool complete);
    bool EffectsPossible() const;
    void ApplyEffects();

    TSession& m_session;
    Tdm& m_dm;
    TRecordingStateMachine m_machine{*this};
    TOutputNaming m_naming{QDateTime::currentDateTime()};
    QString m_nextName;
    QString m_currentFile;
    QStringList m_recorded;
    bool m_closing = false;
    TStallWatch m_stall;
    QElapsedTimer m_stallClock;
    QString m_panel1BeforeStall;          // the text a stall message covers
    quint64 m_brokenAtPart = 0;           // brokenPictures() when the part began
    quint64 m_brokenSaid = 0;             // what the status bar last said of them
    const void* m_memoryDevice = nullptr; // the plug-in device whose memory is watched
    qint64 m_memoryBase = 0;              // resident bytes when it began
    QDateTime m_started;
    bool m_partOpen = false;
    // A part was ended here and its file is being finished; what it leaves behind for then.
    bool m_awaitingEnd = false;
    quint64 m_haltedDropped = 0;
    QString m_haltedScenes;
    bool m_sideEndedComplete = true; // a part that ended by itself got its end in time
    bool m_startFailed = false;      // the part being ended never started: its file goes
    uint8_t m_partFormat = 0;        // the format the recording being made is written in
    bool m_nameStale = false;        // the naming or the format changed while a part was open
    bool m_imageByImage = false;
    int m_frameCount = 0;
    bool m_savedNotifier = true;
    std::unique_ptr<TSceneFile> m_sceneFile;
    GstElement* m_sceneDetector = nullptr; // the detector feeding m_sceneFile
    unsigned long m_sceneHandler = 0;      // its "scene" handler writing into m_sceneFile
    QTimer* m_timer;
    QTimer* m_sourceWait; // polls the sources while a recording waits for them
    bool m_waitingForSource = false;
    bool m_applyingLock = false; // a recording was asked for before its source was ready
    bool m_busy = false;         // a command is under way: the next ones wait for it
    QList<std::function<void()>> m_pending;
};
