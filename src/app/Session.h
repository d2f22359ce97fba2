#pragma once

#include "RecordingStateMachine.h"
#include "Scheduler.h"
#include "StatusTexts.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <memory>

class QWidget;
class TCustomSuperAction;
class TRecordingController;
class TScheduler;
class TSourcesController;
class TStillsController;
class TavFlux;
class Tdm;
class TparameterList;
struct TStillImage;

// What the session asks of the window that shows it. Everything has a default that shows
// nothing, so that a session runs without a window.
class ISessionView {
public:
    virtual ~ISessionView() = default;
    // Where questions and messages are anchored.
    virtual QWidget* dialogParent() { return nullptr; }
    // The picture, or the panel that says there is none; the preview's shape and volume.
    virtual void showVideo() {}
    virtual void showNoVideo() {}
    virtual void applyAspectRatio() {}
    virtual void applyVolume() {}
    // The DV picture became 16:9 (or 4:3 again).
    virtual void detectedWideChanged(bool) {}
    // The recording state's colours, frozen or not, and what cannot change while a file is
    // written.
    virtual void showRecordingState(RecordingState, bool /*frozen*/) {}
    // The aspect-ratio choices of the options panel.
    virtual void setRatioChoicesEnabled(bool) {}
    // The user answered "all" to an overwrite question: the options panel stops asking.
    virtual void stopConfirmingVideo() {}
    virtual void stopConfirmingImage() {}
    // The video window is narrower than 14:9.
    virtual bool videoWindowNarrow() const { return true; }
    // The stills: a grab (the stills panel brought forward when asked), the thumbnail, the
    // intervalometer's countdown.
    virtual void showGrab(bool /*bringPanel*/) {}
    virtual void showThumbnail(const TStillImage&) {}
    virtual void showCountdown(int) {}
    // The intervalometer's choice (unit index, count, unit's caption) and its switch.
    struct Interval {
        int unit = 0;
        int count = 1;
        QString unitText;
    };
    virtual Interval intervalChoice() const { return {}; }
    virtual void showIntervalometer(bool /*running*/) {}
    // A source was connected (the camcorder windows take its tape control; false when there
    // are none) or released.
    virtual bool bindTransport(TavFlux&, const TavFlux* /*other*/) { return false; }
    virtual void releaseTransport(TavFlux&) {}
    // The camcorder windows' time code and date, with every tick of the recording's clock.
    virtual void refreshTransport(TavFlux* /*video*/, TavFlux* /*audio*/) {}
};

// One capture session: the parameter table, the graph module, the recording, the stills, the
// schedule and the current sources. It decides; a window observes it and sends it commands,
// and the tests drive it without one.
class TSession : public QObject {
    Q_OBJECT
public:
    explicit TSession(const QString& signature, QObject* parent = nullptr);
    ~TSession() override;

    // The parameter table of this run, which the preference stores read and write.
    TparameterList& parameters() { return *m_parameters; }

    // The graph module made at process entry; the controllers are made with it. The view and
    // the schedule's fields are the window's, or the session's own without one.
    void attachGraph(Tdm& dm, ISessionView* view = nullptr, IScheduleFields* fields = nullptr);
    Tdm* dm() const { return m_dm; }
    ISessionView& view() { return *m_view; }
    TStatusTexts& status() { return m_status; }
    TRecordingController* recorder() const { return m_recorder; }
    TStillsController* stills() const { return m_stills; }
    TScheduler* scheduler() const { return m_scheduler; }
    // The current sources and their lists, once the window made them (with its panel); the
    // session keeps them from then on.
    TSourcesController* sources() const { return m_sources; }
    void setSources(TSourcesController* sources);

    // The main list's actions by name, where a window made them; null otherwise.
    void setActions(const QHash<QString, TCustomSuperAction*>* actions) { m_actions = actions; }
    TCustomSuperAction* action(const QString& name) const;
    // Enables a main-list action where there is one.
    void enableAction(const QString& name, bool on) const;

    // Commands.
    RecordingState state() const;
    void startRecording(); // as a press of "Capturer" in the preview
    void stopRecording();  // as a press of "Stop Capture" while recording
    void cutRecording();
    void setFrozen(bool frozen);
    // As a press of "Prog": programs a recording from the schedule's fields, or stops the
    // programming.
    void toggleSchedule();

    // The overlay's effects.
    void setOverlayFlip(bool vertical, bool on);
    void setOverlayIncrust(bool on);

    // State shared by the controllers and the window.
    bool videoReady = false;   // the preview can show the effects
    QStringList exclusionList; // devices that failed this run
    bool detectedWide() const { return m_detectedWide; }
    void setDetectedWide(bool wide);
    // Files of this run's recordings and stills, most recent last.
    QStringList recordedFiles() const;

signals:
    void stateChanged(RecordingState state);

private:
    std::unique_ptr<TparameterList> m_parameters;
    ISessionView m_noView;
    TScheduleValues m_noFields;
    ISessionView* m_view = &m_noView;
    TStatusTexts m_status;
    Tdm* m_dm = nullptr;
    TRecordingController* m_recorder = nullptr;
    TStillsController* m_stills = nullptr;
    TScheduler* m_scheduler = nullptr;
    TSourcesController* m_sources = nullptr;
    const QHash<QString, TCustomSuperAction*>* m_actions = nullptr;
    bool m_detectedWide = false;
};
