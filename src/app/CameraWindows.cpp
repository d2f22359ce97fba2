#include "CameraWindows.h"

#include "CamForm.h"
#include "CaptureDevice.h"
#include "GstRef.h"
#include "ParameterTable.h"
#include "SceneDetect.h"
#include "Sources.h"

#include <QCheckBox>
#include <QWidget>

TCameraWindows::TCameraWindows(QWidget* mainWindow) : QObject(mainWindow) {
    for (size_t i = 0; i < 2; ++i) {
        m_windows[i] = new TcamForm(mainWindow);
        m_windows[i]->setObjectName(QStringLiteral("camForm%1").arg(i + 1));
        m_windows[i]->hide();
    }
    SetKeyboardCamera(0);
}

void TCameraWindows::Bind(TavFlux& source, const TavFlux* other) {
    const std::shared_ptr<IDvTransport> transport =
        source.Device ? source.Device->Moniker.transport : nullptr;
    source.HasTransport = transport != nullptr;
    source.IsVcr = transport && transport->isVcr();
    source.IsCamera = transport && transport->isCamera();
    if (!transport)
        return;
    TcamForm* w = nullptr;
    if (other && other->Device == source.Device && other->CameraWindow)
        w = other->CameraWindow;
    // One window per deck: a window still holding this deck is its window.
    for (TcamForm* candidate : m_windows)
        if (!w && candidate->nav_captureframe1->transport() == transport.get())
            w = candidate;
    if (!w)
        w = m_windows[0]->nav_captureframe1->hasTransport() ? m_windows[1] : m_windows[0];
    w->setWindowTitle(source.Device->FriendlyName);
    w->setVisible(w->showFlag);
    w->nav_captureframe1->SetTransport(transport);
    source.CameraWindow = w;
    // The keys go to a window with a deck.
    const int index = w == m_windows[1] ? 1 : 0;
    if (!m_windows[size_t(m_keyboard)]->nav_captureframe1->hasTransport())
        SetKeyboardCamera(index);
    // A deck this program stopped when its source was left plays again as it did.
    bool stoppedByUs = false;
    std::erase_if(m_stoppedOnLeaving, [&](const std::weak_ptr<IDvTransport>& t) {
        const auto held = t.lock();
        stoppedByUs |= held == transport;
        return !held || held == transport;
    });
    if (stoppedByUs && transport->mode() == IDvTransport::ED_MODE_STOP)
        w->nav_captureframe1->Play();
}

void TCameraWindows::Release(TavFlux& source) {
    TcamForm* w = source.CameraWindow;
    source.CameraWindow = nullptr;
    source.HasTransport = false;
    if (!w)
        return;
    if (w->cbStopQuittant->isChecked()) {
        const std::shared_ptr<IDvTransport> transport =
            source.Device ? source.Device->Moniker.transport : nullptr;
        if (transport && transport.get() == w->nav_captureframe1->transport() &&
            transport->mode() != IDvTransport::ED_MODE_STOP)
            m_stoppedOnLeaving.push_back(transport);
        w->nav_captureframe1->Stop();
    }
    w->nav_captureframe1->SetTransport(nullptr);
    w->hide();
    if (w == m_windows[size_t(m_keyboard)])
        SetKeyboardCamera(1 - m_keyboard);
}

void TCameraWindows::SetKeyboardCamera(int i) {
    m_keyboard = i & 1;
    m_windows[0]->SetKeyboardCamera(m_keyboard == 0);
    m_windows[1]->SetKeyboardCamera(m_keyboard == 1);
}

Tnav_captureframe* TCameraWindows::keyboardBar() const {
    return m_windows[size_t(m_keyboard)]->nav_captureframe1;
}

void TCameraWindows::Toggle() {
    const int other = 1 - m_keyboard;
    if (m_windows[size_t(other)]->isVisible())
        SetKeyboardCamera(other);
}

void TCameraWindows::ShowPilot(TavFlux* source) {
    if (!source || !source->Connected || !source->HasTransport || !source->IsVcr ||
        !source->CameraWindow)
        return;
    TcamForm* w = source->CameraWindow;
    w->setVisible(!w->isVisible());
    w->showFlag = w->isVisible();
}

void TCameraWindows::refresh(TavFlux& source) {
    TcamForm* w = source.CameraWindow;
    IDvTransport* transport = w ? w->nav_captureframe1->transport() : nullptr;
    if (!source.HasTransport || !transport)
        return;
    w->ShowTimecode(transport->timecode());
    w->ShowMode(transport->mode());
    TDVFrameInfo* newest = nullptr;
    if (GstElement* detector = source.SceneDetector())
        g_object_get(detector, "current-frame", &newest, nullptr);
    const TGstRef<TDVFrameInfo> info(newest);
    w->ShowRecordingDate(info && info->DateValid ? info->RecDate : 0.0);
}

void TCameraWindows::Refresh(TavFlux* video, TavFlux* audio) {
    if (video)
        refresh(*video);
    if (audio && (!video || audio->CameraWindow != video->CameraWindow))
        refresh(*audio);
}

void TCameraWindows::LoadParameters() {
    if (!Prm.stopperCameraDV1)
        return;
    m_windows[0]->cbStopQuittant->setChecked(Prm.stopperCameraDV1->Value);
    m_windows[1]->cbStopQuittant->setChecked(Prm.stopperCameraDV2->Value);
    m_windows[0]->showFlag = Prm.showVideoPilotDV->Value;
    m_windows[1]->showFlag = Prm.showAudioPilotDV->Value;
}

void TCameraWindows::SaveParameters() {
    if (!Prm.stopperCameraDV1)
        return;
    Prm.stopperCameraDV1->Value = m_windows[0]->cbStopQuittant->isChecked();
    Prm.stopperCameraDV2->Value = m_windows[1]->cbStopQuittant->isChecked();
    Prm.showVideoPilotDV->Value = m_windows[0]->showFlag;
    Prm.showAudioPilotDV->Value = m_windows[1]->showFlag;
}
