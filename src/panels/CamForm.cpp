#include "CamForm.h"

#include "DateTimeFormatQt.h"
#include "ImageList.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QAction* makeAction(QWidget* owner, const char* name, const QString& caption, const QString& hint,
                    const QKeySequence& shortcut) {
    auto* a = new QAction(caption, owner);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint);
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(a);
    return a;
}

} // namespace

Tnav_captureframe::Tnav_captureframe(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("nav_captureframe1"));
    cam_Play = makeAction(this, "cam_Play", QStringLiteral("caméra Play"),
                          QStringLiteral("Faire jouer le camescope"), QKeySequence("Ctrl+Ins"));
    cam_Pause =
        makeAction(this, "cam_Pause", QStringLiteral("caméra Pause"),
                   QStringLiteral("Mettre le camescope en Pause"), QKeySequence("Ctrl+Del"));
    cam_Stop = makeAction(this, "cam_Stop", QStringLiteral("caméra Stop"),
                          QStringLiteral("Arrêter le camescope (Stop)"), QKeySequence("Ctrl+End"));
    cam_AvanceLent =
        makeAction(this, "cam_AvanceLent", QStringLiteral("caméra Avance Lent"),
                   QStringLiteral("Avancer le camescope lentement"), QKeySequence("Ctrl+Right"));
    cam_ReculeLent =
        makeAction(this, "cam_ReculeLent", QStringLiteral("caméra Recule Lent"),
                   QStringLiteral("Reculer le camescope lentement"), QKeySequence("Ctrl+Left"));
    // The bar's fast keys are the opposite of the main window's.
    cam_AvanceRapide =
        makeAction(this, "cam_AvanceRapide", QStringLiteral("caméra Avance Rapide"),
                   QStringLiteral("Avance rapide du camescope"), QKeySequence("Ctrl+Up"));
    cam_ReculeRapide =
        makeAction(this, "cam_ReculeRapide", QStringLiteral("caméra Recule Rapide"),
                   QStringLiteral("Recul rapide du camescope"), QKeySequence("Ctrl+Down"));
    cam_PlayPause = makeAction(this, "cam_PlayPause", QStringLiteral("Pause"),
                               QStringLiteral("Mettre le camescope en Pause"), QKeySequence("Ins"));
    cam_PlayPause->setCheckable(true);
    connect(cam_Play, &QAction::triggered, this, &Tnav_captureframe::Play);
    connect(cam_Pause, &QAction::triggered, this, &Tnav_captureframe::Pause);
    connect(cam_Stop, &QAction::triggered, this, &Tnav_captureframe::Stop);
    connect(cam_AvanceLent, &QAction::triggered, this, &Tnav_captureframe::SlowForward);
    connect(cam_ReculeLent, &QAction::triggered, this, &Tnav_captureframe::SlowReverse);
    connect(cam_AvanceRapide, &QAction::triggered, this, &Tnav_captureframe::FastForward);
    connect(cam_ReculeRapide, &QAction::triggered, this, &Tnav_captureframe::FastReverse);
    connect(cam_PlayPause, &QAction::triggered, this, [this] { PlayPause(); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    const struct {
        QAction* action;
        int image;
    } buttons[] = {{cam_ReculeRapide, ImageList::imRewind},
                   {cam_ReculeLent, ImageList::imBackward},
                   {cam_Play, ImageList::imPlay},
                   {cam_Pause, ImageList::imPause},
                   {cam_Stop, ImageList::imStop},
                   {cam_AvanceLent, ImageList::imForward},
                   {cam_AvanceRapide, ImageList::imFastForward}};
    for (const auto& b : buttons) {
        b.action->setIcon(ImageList::icon(b.image));
        auto* button = new QToolButton(this);
        button->setDefaultAction(b.action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(20, 20));
        layout->addWidget(button);
    }
}

void Tnav_captureframe::SetTransport(std::shared_ptr<IDvTransport> transport) {
    m_transport = std::move(transport);
}

void Tnav_captureframe::send(IDvTransport::Mode mode) {
    if (m_transport)
        m_transport->setMode(mode);
}

IDvTransport::Mode Tnav_captureframe::readMode() const {
    return m_transport ? m_transport->mode() : IDvTransport::ED_MODE_STOP;
}

void Tnav_captureframe::Play() {
    send(IDvTransport::ED_MODE_PLAY);
}
void Tnav_captureframe::Pause() {
    send(IDvTransport::ED_MODE_FREEZE);
}
void Tnav_captureframe::Stop() {
    send(IDvTransport::ED_MODE_STOP);
}
void Tnav_captureframe::SlowForward() {
    send(IDvTransport::ED_MODE_PLAY_SLOWEST_FWD);
}
void Tnav_captureframe::SlowReverse() {
    send(IDvTransport::ED_MODE_PLAY_SLOWEST_REV);
}

void Tnav_captureframe::FastForward() {
    if (!m_transport)
        return;
    send(readMode() == IDvTransport::ED_MODE_STOP ? IDvTransport::ED_MODE_FF
                                                  : IDvTransport::ED_MODE_PLAY_FASTEST_FWD);
}

void Tnav_captureframe::FastReverse() {
    if (!m_transport)
        return;
    send(readMode() == IDvTransport::ED_MODE_STOP ? IDvTransport::ED_MODE_REW
                                                  : IDvTransport::ED_MODE_PLAY_FASTEST_REV);
}

void Tnav_captureframe::PlayPause() {
    if (!m_transport)
        return;
    const bool playing = readMode() == IDvTransport::ED_MODE_PLAY;
    send(playing ? IDvTransport::ED_MODE_FREEZE : IDvTransport::ED_MODE_PLAY);
    cam_PlayPause->setChecked(!playing);
    cam_PlayPause->setText(playing ? QStringLiteral("Play") : QStringLiteral("Pause"));
    cam_PlayPause->setToolTip(playing ? QStringLiteral("Mettre le camescope en Play")
                                      : QStringLiteral("Mettre le camescope en Pause"));
}

TcamForm::TcamForm(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* top = new QHBoxLayout;
    image1 = new QLabel(QStringLiteral("⌨"), this);
    image1->setObjectName(QStringLiteral("image1"));
    image1->setToolTip(QStringLiteral("Indique que ce camescope reçoit les commandes clavier\r\n"
                                      "telles que CTRL+Ins ou CTRL+Suppr"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(image1);
    top->addWidget(Label1, 1);
    layout->addLayout(top);
    auto* middle = new QHBoxLayout;
    TimecodePanel = new QLabel(QStringLiteral("0:00:00:00"), this);
    TimecodePanel->setObjectName(QStringLiteral("TimecodePanel"));
    TimecodePanel->setToolTip(QStringLiteral("Timecode sur la cassette DV"));
    TimecodePanel->setFrameShape(QFrame::Panel);
    TimecodePanel->setFrameShadow(QFrame::Sunken);
    QFont mono = TimecodePanel->font();
    mono.setFamily(QStringLiteral("monospace"));
    mono.setPointSize(mono.pointSize() + 4);
    TimecodePanel->setFont(mono);
    cbStopQuittant = new QCheckBox(QStringLiteral("Stop en quittant"), this);
    cbStopQuittant->setObjectName(QStringLiteral("cbStopQuittant"));
    cbStopQuittant->setToolTip(QStringLiteral("Cocher pour mettre automatiquement le camescope en "
                                              "mode Stop quand on quitte le programme"));
    ModePanel = new QLabel(this);
    ModePanel->setObjectName(QStringLiteral("ModePanel"));
    ModePanel->setToolTip(QStringLiteral("Ce que fait la cassette"));
    middle->addWidget(TimecodePanel);
    middle->addWidget(ModePanel);
    middle->addStretch(1);
    middle->addWidget(cbStopQuittant);
    layout->addLayout(middle);
    nav_captureframe1 = new Tnav_captureframe(this);
    layout->addWidget(nav_captureframe1);
    // As large as its contents, the recording date and the fonts deciding.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TcamForm::~TcamForm() {
    if (cbStopQuittant->isChecked())
        nav_captureframe1->Stop();
}

void TcamForm::SetKeyboardCamera(bool keyboard) {
    image1->setVisible(keyboard);
}

bool TcamForm::keyboardCamera() const {
    return !image1->isHidden();
}

QString TcamForm::TimecodeText(const IDvTransport::Timecode& t) {
    return QString::asprintf("%d:%02d:%02d:%02d", t.hours, t.minutes, t.seconds, t.frames);
}

void TcamForm::ShowTimecode(const IDvTransport::Timecode& timecode) {
    TimecodePanel->setText(TimecodeText(timecode));
}

QString TcamForm::ModeText(IDvTransport::Mode mode) {
    switch (mode) {
    case IDvTransport::ED_MODE_PLAY:
        return QStringLiteral("▶ Lecture");
    case IDvTransport::ED_MODE_STOP:
        return QStringLiteral("■ Arrêt");
    case IDvTransport::ED_MODE_FREEZE:
        return QStringLiteral("❚❚ Pause");
    case IDvTransport::ED_MODE_FF:
        return QStringLiteral("▶▶ Avance rapide");
    case IDvTransport::ED_MODE_REW:
        return QStringLiteral("◀◀ Retour rapide");
    case IDvTransport::ED_MODE_PLAY_FASTEST_FWD:
        return QStringLiteral("▶▶ Recherche avant");
    case IDvTransport::ED_MODE_PLAY_FASTEST_REV:
        return QStringLiteral("◀◀ Recherche arrière");
    case IDvTransport::ED_MODE_PLAY_SLOWEST_FWD:
        return QStringLiteral("▶ Ralenti avant");
    case IDvTransport::ED_MODE_PLAY_SLOWEST_REV:
        return QStringLiteral("◀ Ralenti arrière");
    }
    return QString(); // a mode the device does not say
}

void TcamForm::ShowMode(IDvTransport::Mode mode) {
    ModePanel->setText(ModeText(mode));
}

void TcamForm::ShowRecordingDate(double recDate) {
    Label1->setText(recDate > 0
                        ? vrdate::qt::formatDateTime(QStringLiteral("dddd ddddd tt"), recDate)
                        : QString());
}
