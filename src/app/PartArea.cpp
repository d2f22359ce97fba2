#include "PartArea.h"

#include "RecoveryJournal.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TPartArea::TPartArea(QWidget* parent)
    : QFrame(parent), m_name(new QLabel(this)), m_time(new QLabel(this)),
      m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("partArea"));
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(0);
    for (QLabel* label : {m_name, m_time}) {
        label->setTextFormat(Qt::PlainText);
        label->setText(QStringLiteral("—"));
        layout->addWidget(label);
    }
    m_name->setObjectName(QStringLiteral("partName"));
    m_time->setObjectName(QStringLiteral("partTime"));
    // Its place is kept while nothing records, so that the window does not move.
    QSizePolicy keep = sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    setSizePolicy(keep);
    hide();
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TPartArea::refresh);
    m_timer->start();
}

void TPartArea::refresh() {
    const QString file = currentFile ? currentFile() : QString();
    if (file.isEmpty()) {
        m_file.clear();
        setWarning(false);
        hide();
        return;
    }
    if (file != m_file) {
        m_file = file;
        m_since.start();
        m_left.restart(knownRate ? knownRate() : 0);
    }
    const QFileInfo info(file);
    const qint64 size = info.size();
    m_left.addSample(m_since.elapsed(), size, FreeSpaceFor(file));
    // A long name gives up its middle rather than the size.
    const QString tail = QStringLiteral(" — ") + RecordingTimeLeft::sizeText(size);
    const QFontMetrics fm(m_name->font());
    // The frame's width, not the label's: a label of a hidden frame is not laid out yet.
    const QMargins margins = layout()->contentsMargins();
    const int room =
        contentsRect().width() - margins.left() - margins.right() - fm.horizontalAdvance(tail);
    m_name->setText(fm.elidedText(info.fileName(), Qt::ElideMiddle, std::max(0, room)) + tail);
    const qint64 left = m_left.secondsLeft();
    m_time->setText(
        QStringLiteral("%1   %2").arg(RecordingTimeLeft::elapsedText(m_since.elapsed() / 1000),
                                      RecordingTimeLeft::textFor(left)));
    setWarning(left >= 0 && left < RecordingTimeLeft::kWarningSeconds);
    // Not raised: the picture of the reduced window covers it.
    if (isHidden())
        show();
}

QString TPartArea::nameText() const {
    return m_name->text();
}

QString TPartArea::timeText() const {
    return m_time->text();
}

void TPartArea::setWarning(bool on) {
    if (on == m_warning)
        return;
    m_warning = on;
    QPalette palette = m_time->palette();
    if (on)
        palette.setColor(QPalette::WindowText, QColor(214, 64, 0));
    else
        palette = m_name->palette();
    m_time->setPalette(palette);
}
