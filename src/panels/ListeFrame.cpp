#include "ListeFrame.h"

#include "ParameterTable.h"
#include "TextGauge.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>

namespace {

TTextGauge* gauge(const char* name, QWidget* parent) {
    auto* g = new TTextGauge(parent);
    g->setObjectName(QLatin1String(name));
    g->setFixedSize(64, 64);
    return g;
}

QByteArray readProcStat() {
    QFile f(QStringLiteral("/proc/stat"));
    // A pseudo-file: its size reads as 0, so read until the end.
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int megabytes(qint64 mb) {
    return int(std::min<qint64>(mb, std::numeric_limits<int>::max()));
}

} // namespace

TListeFrame::TListeFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ListeFrame"));
    QFont small = font();
    if (small.pointSizeF() > 8)
        small.setPointSizeF(8);
    setFont(small);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(3);
    col->addWidget(new QLabel(QStringLiteral("<b>Liste</b>"), this));
    col->addWidget(new QLabel(QStringLiteral("Vidéos enregistrées lors de la session:"), this));
    fl = new TFichierListbox(this);
    fl->setToolTip(QStringLiteral("Liste des fichiers enregistrés pendant la présente session."));
    col->addWidget(fl, 1);
    labselect = new QLabel(this);
    labselect->setObjectName(QStringLiteral("labselect"));
    col->addWidget(labselect);

    auto* gauges = new QGridLayout;
    tgCPU = gauge("tgCPU", this);
    tgCPU->setKind(TTextGauge::Kind::Percent);
    tgCPU->setAlertValue(81);
    tgCPU->setToolTip(QStringLiteral(
        "Utilisation du CPU le plus chargé. \nIl est conseillé de rester en-dessous de 80%"));
    auto* cpuLabel = new QLabel(QStringLiteral("Utilisation du CPU le plus chargé:"), this);
    cpuLabel->setWordWrap(true);
    gauges->addWidget(cpuLabel, 0, 0);
    gauges->addWidget(tgCPU, 0, 1);
    col->addLayout(gauges);

    gbEspace = new QGroupBox(QStringLiteral("Espace libre"), this);
    auto* space = new QGridLayout(gbEspace);
    space->setContentsMargins(4, 2, 4, 2);
    tgVideo = gauge("tgVideo", gbEspace);
    tgVideo->setToolTip(
        QStringLiteral("Espace libre sur le disque où sont enregistrées les vidéos."));
    tgVideo->setAlertValue(500);
    tgImage = gauge("tgImage", gbEspace);
    tgImage->setToolTip(
        QStringLiteral("Espace libre sur le disque où sont enregistrées les images."));
    tgImage->setAlertValue(100);
    for (TTextGauge* g : {tgVideo, tgImage}) {
        g->setKind(TTextGauge::Kind::Text);
        g->setTextFormat(QStringLiteral("%d Mo"));
        g->setMinValue(0);
        g->setMaxValue(0);
    }
    space->addWidget(new QLabel(QStringLiteral("Vidéos:"), gbEspace), 0, 0, Qt::AlignHCenter);
    space->addWidget(new QLabel(QStringLiteral("Images:"), gbEspace), 0, 1, Qt::AlignHCenter);
    space->addWidget(tgVideo, 1, 0, Qt::AlignHCenter);
    space->addWidget(tgImage, 1, 1, Qt::AlignHCenter);
    col->addWidget(gbEspace);

    buildMenu();
    connect(fl, &TFichierListbox::countsChanged, this, &TListeFrame::countsChanged);
    connect(fl, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
        if (const QString file = fl->actedOn(); !file.isEmpty())
            emit openRequested(file);
    });
    countsChanged(0, 0);

    m_cpuTimer = new QTimer(this);
    m_cpuTimer->setInterval(500);
    connect(m_cpuTimer, &QTimer::timeout, this, &TListeFrame::cpuTick);
    m_lastCpu = CpuLoad::Parse(readProcStat());
    m_cpuTimer->start();

    m_freeSpaceTimer = new QTimer(this);
    m_freeSpaceTimer->setInterval(2000);
    connect(m_freeSpaceTimer, &QTimer::timeout, this, &TListeFrame::freeSpaceTick);
    // The watcher lives on the window's thread: the result arrives there, queued.
    connect(&m_space, &QFutureWatcherBase::finished, this, [this] {
        const auto [video, image] = m_space.result();
        showFreeSpace(video, image);
        if (std::exchange(m_askAgain, false))
            freeSpaceTick();
    });
    m_freeSpaceTimer->start();
}

// A query stuck on a dead mount is not waited for: it holds copies of the folders only, and
// the watcher's end cuts it off from the panel.
TListeFrame::~TListeFrame() = default;

void TListeFrame::buildMenu() {
    pmListe = new QMenu(this);
    pmListe->setObjectName(QStringLiteral("pmListe"));
    QMenu* trier = pmListe->addMenu(QStringLiteral("Trier"));
    auto* orders = new QActionGroup(this);
    const std::pair<const char*, TFichierListbox::SortOrder> items[] = {
        {"Ordre alphabétique", TFichierListbox::soName},
        {"Taille", TFichierListbox::soSize},
        {"Date", TFichierListbox::soDate},
        {"extension", TFichierListbox::soExtension}};
    for (const auto& [caption, order] : items) {
        QAction* a = trier->addAction(QString::fromUtf8(caption));
        a->setCheckable(true);
        a->setChecked(order == fl->sortOrder());
        a->setData(int(order));
        orders->addAction(a);
        connect(a, &QAction::triggered, this, [this, order] { Sort(order); });
    }
    QAction* parent = pmListe->addAction(QStringLiteral("Dossier parent"));
    connect(parent, &QAction::triggered, this, [this] {
        if (const QString file = fl->actedOn(); !file.isEmpty())
            emit parentFolderRequested(file);
    });
    QAction* open = pmListe->addAction(QStringLiteral("Ouvrir dans l'application associée"));
    connect(open, &QAction::triggered, this, [this] {
        if (const QString file = fl->actedOn(); !file.isEmpty())
            emit openRequested(file);
    });
    QAction* datorix = pmListe->addAction(QStringLiteral("Ouvrir dans Datorix"));
    connect(datorix, &QAction::triggered, this, [this] { OpenInDatorix(); });
    // The file actions need a selected file.
    connect(pmListe, &QMenu::aboutToShow, this, [this, parent, open, datorix] {
        const bool any = !fl->actedOn().isEmpty();
        for (QAction* a : {parent, open, datorix})
            a->setEnabled(any);
    });
    fl->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(fl, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmListe->popup(fl->viewport()->mapToGlobal(at)); });
}

void TListeFrame::AddFile(const QString& path) {
    fl->AddFile(path);
}

void TListeFrame::RemoveFile(const QString& path) {
    fl->RemoveFile(path);
}

void TListeFrame::Sort(TFichierListbox::SortOrder order) {
    fl->Sort(order);
    for (QAction* a : pmListe->findChildren<QAction*>())
        if (a->isCheckable())
            a->setChecked(a->data().toInt() == int(order));
}

void TListeFrame::Refresh() {
    fl->Resort();
}

void TListeFrame::ResetGauges() {
    tgVideo->setMinValue(0);
    tgImage->setMinValue(0);
    Refresh();
}

void TListeFrame::countsChanged(int, int total) {
    labselect->setText(QString::number(total) + QStringLiteral(" fichiers triés ") +
                       TFichierListbox::OrderName(fl->sortOrder()));
}

QString TListeFrame::DatorixArgument(const QString& file) {
    // One argument: the program gets the path whole, blanks included, without quoting.
    return QStringLiteral("+F=") + file;
}

bool TListeFrame::OpenInDatorix() {
    const QString file = fl->actedOn();
    const QString program = Prm.datorix ? Prm.datorix->Value : QString();
    if (file.isEmpty() || program.isEmpty() || !QFileInfo(program).isFile())
        return false;
    return QProcess::startDetached(program, {DatorixArgument(file)});
}

void TListeFrame::cpuTick() {
    std::vector<CpuLoad::Times> now = CpuLoad::Parse(readProcStat());
    tgCPU->setProgress(CpuLoad::Busiest(m_lastCpu, now));
    m_lastCpu = std::move(now);
}

void TListeFrame::SetVideoFolder(const QString& folder) {
    if (std::exchange(m_videoFolder, folder) != folder)
        freeSpaceTick();
}

void TListeFrame::SetImageFolder(const QString& folder) {
    if (std::exchange(m_imageFolder, folder) != folder)
        freeSpaceTick();
}

void TListeFrame::freeSpaceTick() {
    if (m_space.isRunning()) {
        // A drive is slow to answer: no second query piles up behind it.
        m_askAgain = true;
        return;
    }
    m_space.setFuture(QtConcurrent::run([video = m_videoFolder, image = m_imageFolder] {
        return std::make_pair(DriveSpace::Of(video), DriveSpace::Of(image));
    }));
}

void TListeFrame::showFreeSpace(const DriveSpace& video, const DriveSpace& image) {
    const std::pair<TTextGauge*, const DriveSpace*> gauges[] = {{tgVideo, &video},
                                                                {tgImage, &image}};
    for (const auto& [g, d] : gauges) {
        g->setMaxValue(megabytes(d->totalMb)); // a smaller drive brings the progress down
        g->setProgress(megabytes(d->usedMb));
    }
}
