#include "Session.h"

#include "Dm.h"
#include "OverlayRecord.h"
#include "ParameterTable.h"
#include "RecordingController.h"
#include "Scheduler.h"
#include "SourcesController.h"
#include "StillsController.h"
#include "SuperAction.h"

TSession::TSession(const QString& signature, QObject* parent)
    : QObject(parent), m_parameters(std::make_unique<TparameterList>(signature)) {}

// The controllers go before the parameter table they read, in the order they were made.
TSession::~TSession() {
    delete m_recorder;
    delete m_scheduler;
    delete m_stills;
    delete m_sources;
    // The table's references go with it.
    Prm = TParameters{};
}

void TSession::attachGraph(Tdm& dm, ISessionView* view, IScheduleFields* fields) {
    m_dm = &dm;
    m_view = view ? view : &m_noView;
    m_recorder = new TRecordingController(*this, dm);
    m_scheduler = new TScheduler(*m_recorder, fields ? *fields : m_noFields, this);
    m_stills = new TStillsController(*this, dm);
    connect(m_recorder, &TRecordingController::stateEntered, this, &TSession::stateChanged);
}

// The sources tell the recording what changed; a change that takes a recording's source
// away ends the recording first.
void TSession::setSources(TSourcesController* sources) {
    m_sources = sources;
    if (!sources)
        return;
    sources->onFormatChanged = [this] {
        if (!m_recorder)
            return;
        m_recorder->RecomputeNextName();
        m_recorder->SourcesOrFormatChanged();
        if (m_recorder->state() == RecordingState::rsPreview)
            m_recorder->EnterState(RecordingState::rsPreview);
    };
    sources->onSourceChanged = [this] {
        if (m_recorder)
            m_recorder->SourcesOrFormatChanged();
    };
    sources->stopRecording = [this](bool changed) {
        if (m_recorder)
            m_recorder->GraphDeviceLost(changed);
    };
}

TCustomSuperAction* TSession::action(const QString& name) const {
    return m_actions ? m_actions->value(name) : nullptr;
}

void TSession::enableAction(const QString& name, bool on) const {
    if (TCustomSuperAction* a = action(name))
        a->setEnabled(on);
}

RecordingState TSession::state() const {
    return m_recorder ? m_recorder->state() : RecordingState::rsPreview;
}

void TSession::startRecording() {
    if (m_recorder && state() == RecordingState::rsPreview)
        m_recorder->CaptureCommand();
}

void TSession::stopRecording() {
    if (m_recorder && state() == RecordingState::rsRecording)
        m_recorder->CaptureCommand();
}

void TSession::cutRecording() {
    if (m_recorder)
        m_recorder->CutRecording();
}

void TSession::toggleSchedule() {
    if (m_recorder)
        m_recorder->ScheduleCommand();
}

void TSession::setFrozen(bool frozen) {
    if (m_recorder)
        m_recorder->SetCaptureFrozen(frozen);
}

void TSession::setOverlayFlip(bool vertical, bool on) {
    if (GstElement* overlay = m_dm ? m_dm->overlay() : nullptr)
        g_object_set(overlay, vertical ? "vert-flip" : "horz-flip", gboolean(on), nullptr);
}

// The record goes with the switch, so that what the overlay draws is what the settings say
// whatever happened to the overlay since.
void TSession::setOverlayIncrust(bool on) {
    GstElement* overlay = m_dm ? m_dm->overlay() : nullptr;
    if (!overlay)
        return;
    if (on && Prm.incrustRec)
        setOverlayIncrustRec(overlay, Prm.incrustRec->Value);
    g_object_set(overlay, "incrust-active", gboolean(on), nullptr);
}

void TSession::setDetectedWide(bool wide) {
    m_detectedWide = wide;
    m_view->detectedWideChanged(wide);
}

QStringList TSession::recordedFiles() const {
    return m_recorder ? m_recorder->recordedFiles() : QStringList();
}
