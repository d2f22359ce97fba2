// The graph module's recording branches.
#include "Dm.h"

bool Tdm::BuildRecording(uint8_t format, const QString&, GstElement*) {
    if (format == 0 || format == 10)
        return true;
    m_lastError = QStringLiteral("Ce format d'enregistrement n'est pas encore disponible.");
    return false;
}

bool Tdm::EndRecordingPart() { return true; }
bool Tdm::SplitRecording(const QString&) { return false; }
bool Tdm::hasRecordingBranch() const { return false; }
QString Tdm::recordingFileName() const { return {}; }
void Tdm::SetCaptureFrozen(bool) {}
void Tdm::GrantFrame() {}
quint64 Tdm::recordedFrames() const { return 0; }
quint64 Tdm::droppedFrames() const { return 0; }
