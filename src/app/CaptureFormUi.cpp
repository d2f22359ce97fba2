// Construction of the main window's widgets. Geometry is in pixels at 96 dpi; Qt scales it
// on high-density screens.
#include "CaptureForm.h"

#include "AppliMan.h"

#include "AproposFrame.h"
#include "DossiersFrame.h"
#include "ErreurFrame.h"
#include "ExtraireFrame.h"
#include "HelpFrame.h"
#include "ImageList.h"
#include "IncrusterFrame.h"
#include "LevelMeterWidget.h"
#include "ListeFrame.h"
#include "MornePreferences.h"
#include "OptionsFrame.h"
#include "PartArea.h"
#include "ProgrammerFrame.h"
#include "SourcesFrame.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "VideoWidget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

namespace {

const char* const kPanelTitles[9] = {"Sources", "Dossiers", "Programmer", "Extraire", "Incruster",
                                     "Options", "Liste",    "Aide",       "A propos"};
const char* const kPanelObjects[9] = {"SourcesFrame",   "DossiersFrame1",  "ProgrammerFrame1",
                                      "ExtraireFrame1", "IncrusterFrame1", "OptionsFrame",
                                      "ListeFrame",     "HelpFrame1",      "AproposFrame1"};

// Buttons under the preview: the design's size, wider where the caption needs it (the
// window's layout grows them).
QToolButton* makeButton(QWidget* parent, const QSize& size) {
    auto* b = new QToolButton(parent);
    b->setMinimumSize(size);
    b->resize(size);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIconSize(QSize(20, 20));
    return b;
}

// Has the window fit its captions again, once the events in hand are done, when a panel or a
// button under the preview asks for another size or the fonts change.
class CaptionWatcher : public QObject {
public:
    CaptionWatcher(std::function<void()> fit, QObject* parent)
        : QObject(parent), m_fit(std::move(fit)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::LayoutRequest || type == QEvent::FontChange ||
             type == QEvent::StyleChange) &&
            !m_pending) {
            m_pending = true;
            QTimer::singleShot(0, this, [this] {
                m_pending = false;
                m_fit();
            });
        }
        return false;
    }

private:
    std::function<void()> m_fit;
    bool m_pending = false;
};

} // namespace

void TCaptureForm::buildWidgets() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(10, 40, 410, 330);
    Panel1->setAutoFillBackground(true);
    QPalette dark = Panel1->palette();
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    Panel1->setPalette(dark);

    Shape2 = new QFrame(Panel1);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setAutoFillBackground(true);
    QPalette back = Shape2->palette();
    back.setColor(QPalette::Window, Qt::black);
    Shape2->setPalette(back);

    videoWidget = new TVideoWidget(Panel1);
    vwEcran = videoWidget;
    vwEcran->setObjectName(QStringLiteral("vwEcran"));
    vwEcran->hide(); // shown with a video source
    Shape2->hide();

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(12, 12, 386, 306);
    Panel2->setFrameShape(QFrame::StyledPanel);
    Panel2->setAutoFillBackground(true);
    QPalette hintPalette = dark;
    hintPalette.setColor(QPalette::WindowText, QColor(220, 220, 220));
    Panel2->setPalette(hintPalette);
    Panel2->setToolTip(QStringLiteral("Aucune source vidéo n'a été sélectionnée"));
    auto* noVideo = new QVBoxLayout(Panel2);
    auto* picture = new QLabel(Panel2);
    picture->setObjectName(QStringLiteral("noVideoPicture"));
    picture->setPixmap(ImageList::icon(ImageList::imNoVideo).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto* hint = new QLabel(QStringLiteral("Aucune source vidéo n'a été sélectionnée"), Panel2);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    noVideo->addStretch();
    noVideo->addWidget(picture);
    noVideo->addWidget(hint);
    noVideo->addStretch();

    // The position of the inlaid text, in thousandths of the picture: the vertical slider's
    // top is its maximum, so its value is 930 - Ypos.
    Yslider = new QSlider(Qt::Vertical, Panel1);
    Xslider = new QSlider(Qt::Horizontal, Panel1);
    Xslider->setObjectName(QStringLiteral("Xslider"));
    Yslider->setObjectName(QStringLiteral("Yslider"));
    Xslider->setRange(0, 970);
    Yslider->setRange(0, 930);
    Xslider->setToolTip(QStringLiteral("Faire glisser le curseur pour modifier la position "
                                       "horizontale des incrustations"));
    Yslider->setToolTip(QStringLiteral("Faire glisser le curseur pour modifier la position "
                                       "verticale des incrustations"));
    for (QSlider* s : {Yslider, Xslider})
        s->hide();
    Shape1 = new QFrame(Panel1);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setFixedSize(12, 12);
    Shape1->hide();

    btnCouper = makeButton(central, QSize(36, 32));
    btnCapture = makeButton(central, QSize(100, 32));
    btnGrab = makeButton(central, QSize(100, 32));
    btnCouper->setToolButtonStyle(Qt::ToolButtonIconOnly);

    lblVolume = new QLabel(QStringLiteral("Volume"), central);
    tb = new QSlider(Qt::Horizontal, central);
    tb->setObjectName(QStringLiteral("tb"));
    tb->setRange(0, 10000);
    tb->setSingleStep(100);
    tb->setPageStep(1000);
    tb->setFixedWidth(145);
    gaugeVolume = new QProgressBar(central);
    gaugeVolume->setRange(0, 100);
    gaugeVolume->setFixedSize(110, 16);
    gaugeVolume->setTextVisible(true);
    levelMeter = new TLevelMeterWidget(central);
    partArea = new TPartArea(central);
    chronoLab = new QLabel(central);
    chronoLab->setObjectName(QStringLiteral("chronoLab"));
    chronoLab->setMinimumWidth(40);

    buildPanels();

    statusPanels = new TStatusPanels(this);
    statusPanels->installEventFilter(this);
    videoWidget->installEventFilter(this); // a left click on the picture grabs it
    statusBar()->addWidget(statusPanels, 1);
    statusBar()->setSizeGripEnabled(true);

    resize(700, 459);
}

void TCaptureForm::buildPanels() {
    QWidget* central = centralWidget();
    SourcesFrame = new TSourcesFrame(central);
    DossiersFrame1 = new TDossiersFrame(central);
    OptionsFrame = new TOptionsFrame(central);
    IncrusterFrame1 = new TIncrusterFrame(central);
    ProgrammerFrame1 = new TProgrammerFrame(central);
    ExtraireFrame1 = new TExtraireFrame(central);
    ListeFrame = new TListeFrame(central);
    HelpFrame1 = new THelpFrame(central);
    AproposFrame1 = new TAproposFrame(central);
    for (int i = 0; i < 9; ++i) {
        QFrame* frame = i == 0   ? SourcesFrame
                        : i == 1 ? static_cast<QFrame*>(DossiersFrame1)
                        : i == 2 ? static_cast<QFrame*>(ProgrammerFrame1)
                        : i == 3 ? static_cast<QFrame*>(ExtraireFrame1)
                        : i == 4 ? static_cast<QFrame*>(IncrusterFrame1)
                        : i == 5 ? static_cast<QFrame*>(OptionsFrame)
                        : i == 6 ? static_cast<QFrame*>(ListeFrame)
                        : i == 7 ? static_cast<QFrame*>(HelpFrame1)
                        : i == 8 ? static_cast<QFrame*>(AproposFrame1)
                                 : nullptr;
        if (!frame) {
            // Panels whose contents come with their own parts of the program.
            frame = new QFrame(central);
            frame->setObjectName(QLatin1String(kPanelObjects[i]));
            auto* layout = new QVBoxLayout(frame);
            layout->addWidget(new QLabel(
                QStringLiteral("<b>%1</b>").arg(QString::fromUtf8(kPanelTitles[i])), frame));
            layout->addStretch();
        }
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setGeometry(PanelsX, 33, 275, 400);
        frame->hide();
        panels[size_t(i)] = frame;
    }
    rgPrefs = OptionsFrame->rgPrefs;
    leFramerate = SourcesFrame->leFramerate;
    ErreurFrame1 = new TErreurFrame(this);
    connectLook();
}

const QString TCaptureForm::kDesktopIcons = QStringLiteral("Icones du bureau");

void TCaptureForm::connectLook() {
    auto* watcher = new CaptionWatcher([this] { fitCaptions(); }, this);
    centralWidget()->installEventFilter(watcher);
    for (QFrame* panel : panels)
        panel->installEventFilter(watcher);

    connect(OptionsFrame, &TOptionsFrame::desktopIconsChanged, this, [this](bool on) {
        ImageList::setUseDesktopTheme(on);
        // The no-video picture is a pixmap: it is drawn again.
        if (auto* picture = Panel2->findChild<QLabel*>(QStringLiteral("noVideoPicture")))
            picture->setPixmap(ImageList::icon(ImageList::imNoVideo).pixmap(64, 64));
    });
    connect(gp, &TMornePreferences::OnLoadPrefs, this, [this](TMornePreferences* prefs) {
        OptionsFrame->cbIconesBureau->setChecked(prefs->ReadBool(kDesktopIcons, false));
    });
    connect(gp, &TMornePreferences::OnSavePrefs, this, [this](TMornePreferences* prefs) {
        prefs->WriteBool(kDesktopIcons, OptionsFrame->cbIconesBureau->isChecked());
    });
}

void TCaptureForm::buildToolBars() {
    QWidget* central = centralWidget();
    actionToolBar = new QToolBar(central);
    actionToolBar->setObjectName(QStringLiteral("actionToolBar"));
    actionToolBar->setIconSize(QSize(20, 20));
    for (const char* name : {"tafullscreen", "acReduire", "acBasculerPanneau", "acVertFlip",
                             "acHorzFlip", "taMute", "taraccourcis", "acQuitter"})
        actionToolBar->addAction(action(QLatin1String(name)));
    if (scriptWindowAction)
        actionToolBar->insertAction(action("acQuitter"), scriptWindowAction);
    actionToolBar->adjustSize();

    panelToolBar = new QToolBar(central);
    panelToolBar->setObjectName(QStringLiteral("panelToolBar"));
    panelToolBar->setIconSize(QSize(20, 20));
    for (const char* name :
         {"acSourcesFrame", "acDossiersFrame", "acProgrammerFrame", "acExtraireFrame",
          "acIncrusterFrame", "acOptionsFrame", "saListeFrame", "acHelp", "acApropos"})
        panelToolBar->addAction(action(QLatin1String(name)));
    panelToolBar->adjustSize();

    btnCapture->setDefaultAction(action("saCapturerBascule"));
    btnCouper->setDefaultAction(action("acCouper"));
    btnGrab->setDefaultAction(action("saGrab"));
    ProgrammerFrame1->ProgBtn->setDefaultAction(action("acProgrammerBascule"));
}
