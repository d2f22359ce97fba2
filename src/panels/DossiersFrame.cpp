#include "DossiersFrame.h"

#include "AppPaths.h"
#include "OutputNaming.h"
#include "ParameterTable.h"
#include "Prompts.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLineEdit* lineEdit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QToolButton* browseButton(const char* name, const QString& hint, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QStringLiteral("..."));
    b->setToolTip(hint);
    return b;
}

QGridLayout* compactGrid(QWidget* parent) {
    auto* g = new QGridLayout(parent);
    g->setContentsMargins(4, 2, 4, 2);
    g->setSpacing(2);
    g->setColumnStretch(1, 1);
    return g;
}

QString defaultOf(const TWideStringParameter* p, const QString& fallback) {
    return p ? p->Default() : fallback;
}

} // namespace

TDossiersFrame::TDossiersFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("DossiersFrame1"));
    QFont small = font();
    if (small.pointSizeF() > 8)
        small.setPointSizeF(8);
    setFont(small);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(3);
    col->addWidget(new QLabel(QStringLiteral("<b>Dossiers</b>"), this));

    gbVideo = new QGroupBox(QStringLiteral("Fichiers vidéo"), this);
    auto* video = compactGrid(gbVideo);
    VideoDirEdit = lineEdit("VideoDirEdit", gbVideo);
    sbVideoDir =
        browseButton("sbVideoDir", QStringLiteral("Choisir le dossier des vidéos"), gbVideo);
    VideoRacineEdit = lineEdit("VideoRacineEdit", gbVideo);
    cbVideoDate = new QCheckBox(QStringLiteral("Inclure date"), gbVideo);
    cbVideoDate->setObjectName(QStringLiteral("cbVideoDate"));
    LabelVideo = new QLabel(gbVideo);
    LabelVideo->setObjectName(QStringLiteral("LabelVideo"));
    video->addWidget(new QLabel(QStringLiteral("Dossier"), gbVideo), 0, 0);
    video->addWidget(VideoDirEdit, 0, 1);
    video->addWidget(sbVideoDir, 0, 2);
    video->addWidget(new QLabel(QStringLiteral("Nom"), gbVideo), 1, 0);
    video->addWidget(VideoRacineEdit, 1, 1);
    video->addWidget(cbVideoDate, 2, 1, 1, 2);
    video->addWidget(new QLabel(QStringLiteral("Prochain"), gbVideo), 3, 0);
    video->addWidget(LabelVideo, 3, 1, 1, 2);
    col->addWidget(gbVideo);

    gbImage = new QGroupBox(QStringLiteral("Fichiers images"), this);
    auto* image = compactGrid(gbImage);
    ImageDirEdit = lineEdit("ImageDirEdit", gbImage);
    sbImageDir =
        browseButton("sbImageDir", QStringLiteral("Choisir le dossier des images"), gbImage);
    ImageRacineEdit = lineEdit("ImageRacineEdit", gbImage);
    cbImageDate = new QCheckBox(QStringLiteral("Inclure date"), gbImage);
    cbImageDate->setObjectName(QStringLiteral("cbImageDate"));
    LabelImage = new QLabel(gbImage);
    LabelImage->setObjectName(QStringLiteral("LabelImage"));
    LabelImage->setCursor(Qt::PointingHandCursor);
    LabelImage->installEventFilter(this);
    sbImage = new QToolButton(gbImage);
    sbImage->setObjectName(QStringLiteral("sbImage"));
    sbImage->setText(QStringLiteral("Ouvrir"));
    sbImage->setToolTip(QStringLiteral("Ouvrir le dossier des images"));
    image->addWidget(new QLabel(QStringLiteral("Dossier"), gbImage), 0, 0);
    image->addWidget(ImageDirEdit, 0, 1);
    image->addWidget(sbImageDir, 0, 2);
    image->addWidget(new QLabel(QStringLiteral("Nom"), gbImage), 1, 0);
    image->addWidget(ImageRacineEdit, 1, 1);
    image->addWidget(cbImageDate, 2, 1);
    image->addWidget(sbImage, 2, 2);
    image->addWidget(new QLabel(QStringLiteral("Prochaine"), gbImage), 3, 0);
    image->addWidget(LabelImage, 3, 1, 1, 2);
    col->addWidget(gbImage);

    auto* gbOther = new QGroupBox(QStringLiteral("Programmes"), this);
    auto* other = compactGrid(gbOther);
    PlugInDirEdit = lineEdit("PlugInDirEdit", gbOther);
    sbPlugInDir =
        browseButton("sbPlugInDir", QStringLiteral("Choisir le dossier des plug-ins"), gbOther);
    feDatorix = lineEdit("feDatorix", gbOther);
    sbDatorix = browseButton("sbDatorix", QStringLiteral("Choisir le programme Datorix"), gbOther);
    other->addWidget(new QLabel(QStringLiteral("Plug-ins"), gbOther), 0, 0);
    other->addWidget(PlugInDirEdit, 0, 1);
    other->addWidget(sbPlugInDir, 0, 2);
    other->addWidget(new QLabel(QStringLiteral("Datorix"), gbOther), 1, 0);
    other->addWidget(feDatorix, 1, 1);
    other->addWidget(sbDatorix, 1, 2);
    col->addWidget(gbOther);
    col->addStretch();
    connectControls();
}

QString TDossiersFrame::FolderValue(const QString& text, const QString& fallback) {
    const QString t = text.trimmed();
    // An empty field would put the files at the root of the file system.
    return t.isEmpty() ? fallback : AppPaths::withTrailingSlash(t);
}

QString TDossiersFrame::RacineValue(const QString& text, const QString& fallback) {
    QString t = text.trimmed();
    // A separator in the root name would write into another folder than the one shown.
    t.replace('/', '_');
    t.remove(QChar(0));
    return t.isEmpty() ? fallback : t;
}

// A root name left in its field: stored, or refused with its reason (the field shows the
// stored one again). True when it was stored.
bool TDossiersFrame::takeRacine(QLineEdit* field, TWideStringParameter& racine,
                                const QString& fallback) {
    const QString problem = AppPaths::rootNameProblem(field->text());
    if (!problem.isEmpty()) {
        // The field is given back first: the box takes the focus, which ends the edit.
        const QString typed = field->text().trimmed();
        field->setText(racine.Value);
        prompts().warning(this, QStringLiteral("Le nom « %1 » ne peut pas commencer les noms de "
                                               "fichiers : %2. Le nom reste « %3 ».")
                                    .arg(typed, problem, racine.Value));
        return false;
    }
    const QString value = RacineValue(field->text(), defaultOf(&racine, fallback));
    racine.Value = value;
    if (field->text() != value)
        field->setText(value);
    return true;
}

void TDossiersFrame::connectControls() {
    connect(VideoDirEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading || !Prm.videoDirectory)
            return;
        Prm.videoDirectory->Value =
            FolderValue(text, defaultOf(Prm.videoDirectory, AppPaths::userVideoDir()));
        emit videoNameChanged();
    });
    connect(ImageDirEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading || !Prm.imageDirectory)
            return;
        Prm.imageDirectory->Value =
            FolderValue(text, defaultOf(Prm.imageDirectory, AppPaths::userPictureDir()));
        emit imageNameChanged();
    });
    connect(PlugInDirEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading || !Prm.pluginsDir)
            return;
        Prm.pluginsDir->Value =
            FolderValue(text, defaultOf(Prm.pluginsDir, AppPaths::executableDir()));
    });
    // A folder typed in counts when the field is left, as one chosen in the dialog.
    connect(PlugInDirEdit, &QLineEdit::editingFinished, this, [this] {
        if (m_loading || !Prm.pluginsDir || Prm.pluginsDir->Value == m_pluginDirTold)
            return;
        m_pluginDirTold = Prm.pluginsDir->Value;
        emit pluginDirChosen(m_pluginDirTold);
    });
    connect(feDatorix, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_loading && Prm.datorix)
            Prm.datorix->Value = text.trimmed();
    });

    // Root names count when the field is left (or on Enter), not at every key.
    connect(VideoRacineEdit, &QLineEdit::editingFinished, this, [this] {
        if (!m_loading && Prm.videoRacine &&
            takeRacine(VideoRacineEdit, *Prm.videoRacine, QStringLiteral("Video")))
            emit videoNameChanged();
    });
    connect(ImageRacineEdit, &QLineEdit::editingFinished, this, [this] {
        if (!m_loading && Prm.imageRacine &&
            takeRacine(ImageRacineEdit, *Prm.imageRacine, QStringLiteral("Image")))
            emit imageNameChanged();
    });
    connect(cbVideoDate, &QCheckBox::toggled, this, [this](bool on) {
        if (m_loading || !Prm.videoDate)
            return;
        Prm.videoDate->Value = on;
        emit videoNameChanged();
    });
    connect(cbImageDate, &QCheckBox::toggled, this, [this](bool on) {
        if (m_loading || !Prm.imageDate)
            return;
        Prm.imageDate->Value = on;
        emit imageNameChanged();
    });

    connect(sbVideoDir, &QToolButton::clicked, this, [this] {
        const QString dir =
            chooseFolder(QStringLiteral("Dossier des vidéos"), VideoDirEdit->text());
        if (!dir.isEmpty())
            VideoDirEdit->setText(AppPaths::withTrailingSlash(dir));
    });
    connect(sbImageDir, &QToolButton::clicked, this, [this] {
        const QString dir =
            chooseFolder(QStringLiteral("Dossier des images"), ImageDirEdit->text());
        if (!dir.isEmpty())
            ImageDirEdit->setText(AppPaths::withTrailingSlash(dir));
    });
    connect(sbPlugInDir, &QToolButton::clicked, this, [this] {
        const QString dir =
            chooseFolder(QStringLiteral("Dossier des plug-ins"), PlugInDirEdit->text());
        if (dir.isEmpty())
            return;
        PlugInDirEdit->setText(AppPaths::withTrailingSlash(dir));
        m_pluginDirTold = Prm.pluginsDir ? Prm.pluginsDir->Value : QString();
        emit pluginDirChosen(AppPaths::withTrailingSlash(dir));
    });
    connect(sbDatorix, &QToolButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Programme Datorix"),
                                                          feDatorix->text());
        if (!file.isEmpty())
            feDatorix->setText(file);
    });
    connect(sbImage, &QToolButton::clicked, this, [] {
        if (Prm.imageDirectory)
            QDesktopServices::openUrl(QUrl::fromLocalFile(Prm.imageDirectory->Value));
    });
}

QString TDossiersFrame::chooseFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(this, title, start);
}

bool TDossiersFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelImage && event->type() == QEvent::MouseButtonRelease)
        emit imageLabelClicked();
    return QFrame::eventFilter(watched, event);
}

void TDossiersFrame::LoadFromParameters() {
    m_loading = true;
    if (Prm.videoDirectory)
        VideoDirEdit->setText(Prm.videoDirectory->Value);
    if (Prm.videoRacine)
        VideoRacineEdit->setText(Prm.videoRacine->Value);
    if (Prm.videoDate)
        cbVideoDate->setChecked(Prm.videoDate->Value);
    if (Prm.imageDirectory)
        ImageDirEdit->setText(Prm.imageDirectory->Value);
    if (Prm.imageRacine)
        ImageRacineEdit->setText(Prm.imageRacine->Value);
    if (Prm.imageDate)
        cbImageDate->setChecked(Prm.imageDate->Value);
    if (Prm.pluginsDir) {
        PlugInDirEdit->setText(Prm.pluginsDir->Value);
        m_pluginDirTold = Prm.pluginsDir->Value;
    }
    if (Prm.datorix)
        feDatorix->setText(Prm.datorix->Value);
    m_loading = false;
}

void TDossiersFrame::SetVideoFileName(const QString& path) {
    LabelVideo->setText(FilePart(path));
    LabelVideo->setToolTip(path);
}

void TDossiersFrame::SetImageFileName(const QString& path) {
    m_nextImage = path;
    if (m_imageByImage)
        return;
    LabelImage->setText(FilePart(path));
    LabelImage->setToolTip(path);
}

void TDossiersFrame::ShowImageByImage(bool on) {
    m_imageByImage = on;
    if (!on) {
        SetImageFileName(m_nextImage);
        return;
    }
    LabelImage->setText(QStringLiteral("Capture Image/Image dans Vidéo"));
    LabelImage->setToolTip({});
}
