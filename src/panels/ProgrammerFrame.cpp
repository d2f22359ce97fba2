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

    // The start and the end: a date and the hour, minute and second of that day.
    auto group = [&](const QString& title, const QString& dateHint, const QString& which,
                     QDateEdit*& date, QSpinBox*& h, QSpinBox*& m, QSpinBox*& s) {
        const QString hint = QStringLiteral("Saisir les %1 dans l'heure ") + which +
                             QStringLiteral(" l'enregistrement programmé.");
        auto* box = new QGroupBox(title, gbProgrammer);
        auto* grid = new QGridLayout(box);
        date = new QDateEdit(box);
        date->setToolTip(dateHint);
        h = spin(23, hint.arg(QStringLiteral("heures")), box);
        m = spin(59, hint.arg(QStringLiteral("minutes")), box);
        s = spin(59, hint.arg(QStringLiteral("secondes")), box);
        grid->addWidget(date, 0, 0, 1, 3);
        grid->addWidget(h, 1, 0);
        grid->addWidget(m, 1, 1);
        grid->addWidget(s, 1, 2);
        layout->addWidget(box);
        return box;
    };
    gbDebut =
        group(QStringLiteral("Début"), QStringLiteral("date du début de la capture programmée."),
              QStringLiteral("de début de"), DateEdit1, RxSpinEdit1, RxSpinEdit2, RxSpinEdit3);
    gbFin = group(QStringLiteral("Fin"),
                  QStringLiteral("Saisir la date de fin de l'enregistrement programmé."),
                  QStringLiteral("de fin de"), DateEdit2, RxSpinEdit4, RxSpinEdit5, RxSpinEdit6);
    DateEdit1->setObjectName(QStringLiteral("DateEdit1"));
    DateEdit2->setObjectName(QStringLiteral("DateEdit2"));

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
