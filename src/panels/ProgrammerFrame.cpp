#include "ProgrammerFrame.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QSpinBox* spin(int maximum, const QString& hint, QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setRange(0, maximum);
    s->setToolTip(hint);
    s->setWrapping(true);
    return s;
}

QDateTime compose(const QDateEdit* date, const QSpinBox* h, const QSpinBox* m, const QSpinBox* s) {
    return QDateTime(date->date(), QTime(h->value(), m->value(), s->value()));
}

} // namespace

TProgrammerFrame::TProgrammerFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ProgrammerFrame1"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    gbProgrammer = new QGroupBox(QStringLiteral("Programmer (Alt+P)"), this);
    outer->addWidget(gbProgrammer);
    outer->addStretch(1);
    auto* layout = new QVBoxLayout(gbProgrammer);

    RxClock2 = new QLabel(gbProgrammer);
    RxClock2->setObjectName(QStringLiteral("RxClock2"));
    RxClock2->setToolTip(QStringLiteral("heure actuelle sur l'ordinateur"));
    RxClock2->setAlignment(Qt::AlignCenter);
    QFont big = RxClock2->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    RxClock2->setFont(big);
    layout->addWidget(RxClock2);

    const QString startHint = QStringLiteral("Saisir les %1 dans l'heure de début de "
                                             "l'enregistrement programmé.");
    const QString endHint = QStringLiteral("Saisir les %1 dans l'heure de fin de "
                                           "l'enregistrement programmé.");
    gbDebut = new QGroupBox(QStringLiteral("Début"), gbProgrammer);
    auto* debut = new QGridLayout(gbDebut);
    DateEdit1 = new QDateEdit(gbDebut);
    DateEdit1->setObjectName(QStringLiteral("DateEdit1"));
    DateEdit1->setToolTip(QStringLiteral("date du début de la capture programmée."));
    RxSpinEdit1 = spin(23, startHint.arg(QStringLiteral("heures")), gbDebut);
    RxSpinEdit2 = spin(59, startHint.arg(QStringLiteral("minutes")), gbDebut);
    RxSpinEdit3 = spin(59, startHint.arg(QStringLiteral("secondes")), gbDebut);
    debut->addWidget(DateEdit1, 0, 0, 1, 3);
    debut->addWidget(RxSpinEdit1, 1, 0);
    debut->addWidget(RxSpinEdit2, 1, 1);
    debut->addWidget(RxSpinEdit3, 1, 2);
    layout->addWidget(gbDebut);

    gbFin = new QGroupBox(QStringLiteral("Fin"), gbProgrammer);
    auto* fin = new QGridLayout(gbFin);
    DateEdit2 = new QDateEdit(gbFin);
    DateEdit2->setObjectName(QStringLiteral("DateEdit2"));
    DateEdit2->setToolTip(QStringLiteral("Saisir la date de fin de l'enregistrement programmé."));
    RxSpinEdit4 = spin(23, endHint.arg(QStringLiteral("heures")), gbFin);
    RxSpinEdit5 = spin(59, endHint.arg(QStringLiteral("minutes")), gbFin);
    RxSpinEdit6 = spin(59, endHint.arg(QStringLiteral("secondes")), gbFin);
    fin->addWidget(DateEdit2, 0, 0, 1, 3);
    fin->addWidget(RxSpinEdit4, 1, 0);
    fin->addWidget(RxSpinEdit5, 1, 1);
    fin->addWidget(RxSpinEdit6, 1, 2);
    layout->addWidget(gbFin);

    for (QDateEdit* d : {DateEdit1, DateEdit2}) {
        d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        d->setCalendarPopup(true);
    }

    auto* buttons = new QHBoxLayout;
    NowBtn = new QToolButton(gbProgrammer);
    NowBtn->setObjectName(QStringLiteral("NowBtn"));
    NowBtn->setText(QStringLiteral("="));
    NowBtn->setToolTip(QStringLiteral("Met la date et l'heure de fin égale à celle de "
                                      "début.\r\nPermet alors d'ajouter facilement 2 heures "
                                      "etc..."));
    ProgBtn = new QToolButton(gbProgrammer);
    ProgBtn->setObjectName(QStringLiteral("ProgBtn"));
    ProgBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttons->addWidget(NowBtn);
    buttons->addStretch(1);
    buttons->addWidget(ProgBtn);
    layout->addLayout(buttons);

    for (QSpinBox* s : {RxSpinEdit1, RxSpinEdit2, RxSpinEdit3})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            if (!m_filling)
                emit startTimeEdited();
        });
    for (QSpinBox* s : {RxSpinEdit4, RxSpinEdit5, RxSpinEdit6})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            if (!m_filling)
                emit endTimeEdited();
        });
    connect(NowBtn, &QToolButton::clicked, this, [this] {
        setFields(DateEdit2, RxSpinEdit4, RxSpinEdit5, RxSpinEdit6, start());
        emit endCopiedFromStart();
    });
}

void TProgrammerFrame::setFields(QDateEdit* date, QSpinBox* h, QSpinBox* m, QSpinBox* s,
                                 const QDateTime& at) {
    m_filling = true;
    date->setDate(at.date());
    h->setValue(at.time().hour());
    m->setValue(at.time().minute());
    s->setValue(at.time().second());
    m_filling = false;
}

void TProgrammerFrame::PresetFrom(const QDateTime& now) {
    auto minuteOf = [](const QDateTime& t) {
        return QDateTime(t.date(), QTime(t.time().hour(), t.time().minute(), 0));
    };
    setFields(DateEdit1, RxSpinEdit1, RxSpinEdit2, RxSpinEdit3, minuteOf(now.addSecs(60)));
    setFields(DateEdit2, RxSpinEdit4, RxSpinEdit5, RxSpinEdit6, minuteOf(now.addSecs(31 * 60)));
}

QDateTime TProgrammerFrame::start() const {
    return compose(DateEdit1, RxSpinEdit1, RxSpinEdit2, RxSpinEdit3);
}

QDateTime TProgrammerFrame::end() const {
    return compose(DateEdit2, RxSpinEdit4, RxSpinEdit5, RxSpinEdit6);
}

QDate TProgrammerFrame::endDate() const {
    return DateEdit2->date();
}

void TProgrammerFrame::ShowTime(const QDateTime& now) {
    RxClock2->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
}

void TProgrammerFrame::SetRecordingLook(bool programmedRecording) {
    gbDebut->setVisible(!programmedRecording);
    NowBtn->setVisible(!programmedRecording);
}
