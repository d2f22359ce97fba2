#include "ExtraireFrame.h"

#include "OutputNaming.h"
#include "ParameterTable.h"
#include "StillImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TExtraireFrame::TExtraireFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ExtraireFrame1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    // The thumbnail sits at fixed places, as the grab's geometry says.
    gbExtraire = new QGroupBox(QStringLiteral("Extraire des images (F5)"), this);
    gbExtraire->setFixedHeight(175);
    Bevel3 = new QFrame(gbExtraire);
    Bevel3->setFrameShape(QFrame::Box);
    Bevel3->setToolTip(QStringLiteral("Dernière image saisie et enregistrée sur le disque dur"));
    Bevel3->setGeometry(30, 19, 196, 148);
    Image = new QLabel(gbExtraire);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setGeometry(32, 21, 192, 144);
    Image->setToolTip(Bevel3->toolTip());
    layout->addWidget(gbExtraire);

    gbProchaine = new QGroupBox(QStringLiteral("Prochaine image"), this);
    auto* next = new QVBoxLayout(gbProchaine);
    destlabel = new QLabel(gbProchaine);
    destlabel->setObjectName(QStringLiteral("destlabel"));
    destlabel->setToolTip(QStringLiteral(
        "Nom de la prochaine image saisie.\r\nCliquez dessus pour changer le dossier."));
    destlabel->setCursor(Qt::PointingHandCursor);
    destlabel->installEventFilter(this);
    next->addWidget(destlabel);
    layout->addWidget(gbProchaine);

    gbIntervallo = new QGroupBox(QStringLiteral("Intervallomètre"), this);
    auto* grid = new QGridLayout(gbIntervallo);
    RxSwitch1 = new QToolButton(gbIntervallo);
    RxSwitch1->setObjectName(QStringLiteral("RxSwitch1"));
    RxSwitch1->setCheckable(true);
    RxSwitch1->setText(QStringLiteral("Off"));
    RxSwitch1->setToolTip(QStringLiteral("Basculer l'intervallomètre."));
    RxSwitch1->setMinimumWidth(44);
    chronoLab = new QLabel(gbIntervallo);
    chronoLab->setObjectName(QStringLiteral("chronoLab"));
    chronoLab->setToolTip(
        QStringLiteral("Durée en secondes jusqu'à la prochaine capture d'image."));
    QPalette red = chronoLab->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    chronoLab->setPalette(red);
    QFont big = chronoLab->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    chronoLab->setFont(big);
    chronoLab->hide();
    RxSpinEdit7 = new QSpinBox(gbIntervallo);
    RxSpinEdit7->setObjectName(QStringLiteral("RxSpinEdit7"));
    RxSpinEdit7->setRange(0, 999999);
    RxSpinEdit7->setToolTip(
        QStringLiteral("Valeurs pour définir l'intervalle entre deux saisies d'images"));
    cbUnites = new QComboBox(gbIntervallo);
    cbUnites->setObjectName(QStringLiteral("cbUnites"));
    cbUnites->addItems({"secondes", "frames", "minutes", "heures"});
    cbBeeps = new QCheckBox(QStringLiteral("Bips"), gbIntervallo);
    cbBeeps->setObjectName(QStringLiteral("cbBeeps"));
    grid->addWidget(RxSwitch1, 0, 0);
    grid->addWidget(chronoLab, 0, 1, 1, 2, Qt::AlignCenter);
    grid->addWidget(RxSpinEdit7, 1, 0);
    grid->addWidget(cbUnites, 1, 1);
    grid->addWidget(cbBeeps, 1, 2);
    layout->addWidget(gbIntervallo);
    layout->addStretch(1);

    connect(RxSwitch1, &QToolButton::clicked, this, [this] { emit switchClicked(); });
    connect(RxSwitch1, &QToolButton::toggled, this, [this](bool on) {
        RxSwitch1->setText(on ? QStringLiteral("On") : QStringLiteral("Off"));
    });
    connect(RxSpinEdit7, &QSpinBox::valueChanged, this, [](int value) {
        if (Prm.valeurIntervallometre)
            Prm.valeurIntervallometre->Value = value;
    });
    connect(cbUnites, &QComboBox::currentIndexChanged, this, [](int unit) {
        if (Prm.unitesIntervallometre && unit >= 0)
            Prm.unitesIntervallometre->Value = uint8_t(unit);
    });
    connect(cbBeeps, &QCheckBox::clicked, this, [](bool on) {
        if (Prm.beeps)
            Prm.beeps->Value = on;
    });
}

bool TExtraireFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == destlabel && event->type() == QEvent::MouseButtonRelease)
        emit destinationClicked();
    return QFrame::eventFilter(watched, event);
}

void TExtraireFrame::ShowThumbnail(const TStillImage& image) {
    const QRect place = stills::ThumbnailRect(image.width, image.height);
    if (!place.isValid())
        return;
    const QImage picture(image.pixels.data(), image.width, image.height, image.stride(),
                         QImage::Format_BGR888);
    Image->setGeometry(place);
    Image->setPixmap(QPixmap::fromImage(
        picture.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    Bevel3->setGeometry(place.adjusted(-2, -2, 2, 2));
    Bevel3->show();
}

void TExtraireFrame::HideBevel() {
    Bevel3->hide();
}

void TExtraireFrame::SetNextName(const QString& path) {
    m_nextImage = path;
    if (m_imageByImage)
        return;
    destlabel->setText(FilePart(path));
    destlabel->setToolTip(path);
}

void TExtraireFrame::ShowImageByImage(bool on) {
    m_imageByImage = on;
    if (!on) {
        SetNextName(m_nextImage);
        return;
    }
    destlabel->setText(QStringLiteral("Capture Image/Image dans Vidéo"));
    destlabel->setToolTip({});
}

void TExtraireFrame::ShowCountdown(int seconds) {
    chronoLab->setText(QString::number(seconds));
}

void TExtraireFrame::SetRunning(bool running) {
    RxSwitch1->setChecked(running);
    RxSpinEdit7->setEnabled(!running);
    cbUnites->setEnabled(!running);
    chronoLab->setText(QString());
    chronoLab->setVisible(running);
}

void TExtraireFrame::LoadSettings(int value, int unit, bool beeps) {
    RxSpinEdit7->setValue(value);
    cbUnites->setCurrentIndex(std::clamp(unit, 0, 3));
    cbBeeps->setChecked(beeps);
}
