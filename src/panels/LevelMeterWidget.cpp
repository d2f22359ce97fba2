#include "LevelMeterWidget.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>

namespace {
const QString kMute = QStringLiteral("MUET");
const QString kClip = QStringLiteral("SAT");
const QString kNoSound = QStringLiteral("Pas de son");

const QString kTip = QStringLiteral(
    "Niveau du son enregistré, par canal, en dB pleine échelle (dBFS) : barre pleine = "
    "niveau moyen (RMS), trait clair = crête, trait blanc = crête maximale récente.\n"
    "Il est mesuré avant le volume d'écoute et le gel de l'aperçu.\n"
    "SAT : un échantillon a atteint la pleine échelle (reste allumé 2 secondes).\n"
    "MUET : l'écoute est coupée, l'enregistrement ne l'est pas.\n"
    "Pas de son : aucun son ne parvient de la source depuis une seconde (un silence, lui, "
    "laisse la barre vide).");
const QString kIdleTip = QStringLiteral("Niveau du son enregistré : aucune source audio.");

// The zones of the scale.
constexpr double kYellowDb = -18.0;
constexpr double kRedDb = -6.0;
} // namespace

TLevelMeterWidget::TLevelMeterWidget(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("levelMeter"));
    m_elapsed.start();
    // About as often as the levels come: the marks go out in time, the window stays idle.
    m_timer->setInterval(66);
    connect(m_timer, &QTimer::timeout, this, &TLevelMeterWidget::refresh);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateToolTip();
}

int64_t TLevelMeterWidget::now() const {
    return m_clock ? m_clock() : m_elapsed.elapsed();
}

void TLevelMeterWidget::setActive(bool active) {
    m_meter.setActive(active, now());
    if (active)
        m_timer->start();
    else
        m_timer->stop();
    updateToolTip();
    update();
}

void TLevelMeterWidget::setMuted(bool muted) {
    if (m_meter.muted() == muted)
        return;
    m_meter.setMuted(muted);
    update();
}

void TLevelMeterWidget::setLevels(const std::vector<double>& peakDb,
                                  const std::vector<double>& rmsDb) {
    m_meter.feed(now(), peakDb, rmsDb);
    update();
}

void TLevelMeterWidget::refresh() {
    m_meter.tick(now());
    updateToolTip();
    update();
}

void TLevelMeterWidget::updateToolTip() {
    const QString tip = m_meter.active() ? kTip : kIdleTip;
    if (tip != m_shownTip) {
        m_shownTip = tip;
        setToolTip(tip);
    }
}

int TLevelMeterWidget::marksWidth() const {
    const QFontMetrics fm = fontMetrics();
    // Room for the widest of what may show at once: the mute and clip marks, or "Pas de son".
    return std::max(fm.horizontalAdvance(kMute + u' ' + kClip), fm.horizontalAdvance(kNoSound)) + 8;
}

QSize TLevelMeterWidget::sizeHint() const {
    return {marksWidth() + 160, std::max(14, fontMetrics().height() + 2)};
}

void TLevelMeterWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void TLevelMeterWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int64_t t = now();
    const QRect bars(0, 0, std::max(10, width() - marksWidth()), height());
    p.fillRect(bars, QColor(32, 32, 32));
    const bool noSound = m_meter.noSound(t);
    const auto& channels = m_meter.channels();
    const int count = noSound ? 0 : int(channels.size());
    const int gap = 1;
    const int inner = bars.width() - 2;
    auto xOf = [&](double db) { return bars.left() + 1 + int(TLevelMeter::fraction(db) * inner); };
    const int yellowX = xOf(kYellowDb), redX = xOf(kRedDb);
    for (int i = 0; i < count; ++i) {
        const int top = 1 + i * (bars.height() - 2) / count;
        const int bottom = 1 + (i + 1) * (bars.height() - 2) / count;
        const QRect row(bars.left() + 1, top, inner, std::max(1, bottom - top - gap));
        const TLevelMeter::Channel& c = channels[size_t(i)];
        const int rmsX = xOf(c.rmsDb);
        auto fill = [&](int from, int to, const QColor& colour) {
            if (to > from)
                p.fillRect(QRect(from, row.top(), to - from, row.height()), colour);
        };
        fill(row.left(), std::min(rmsX, yellowX), QColor(40, 190, 60));
        fill(yellowX, std::min(rmsX, redX), QColor(230, 200, 40));
        fill(redX, rmsX, QColor(220, 50, 40));
        const int peakX = xOf(c.peakDb);
        if (peakX > row.left())
            p.fillRect(QRect(peakX - 1, row.top(), 2, row.height()), QColor(170, 230, 170));
        const int holdX = xOf(c.holdDb);
        if (holdX > row.left())
            p.fillRect(QRect(holdX - 1, row.top(), 2, row.height()), Qt::white);
    }
    if (!m_meter.active() || noSound)
        p.fillRect(bars.adjusted(1, 1, -1, -1), QColor(90, 90, 90));

    // The marks, right of the bars.
    QRect marks(bars.right() + 5, 0, width() - bars.width() - 5, height());
    const QFontMetrics fm = fontMetrics();
    if (noSound) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(marks, Qt::AlignLeft | Qt::AlignVCenter, kNoSound);
        return;
    }
    if (m_meter.muted()) {
        p.setPen(QColor(200, 120, 0));
        p.drawText(marks, Qt::AlignLeft | Qt::AlignVCenter, kMute);
    }
    marks.setLeft(marks.left() + fm.horizontalAdvance(kMute + u' '));
    if (m_meter.clipLit(t)) {
        const QRect box(marks.left() - 2, 0, fm.horizontalAdvance(kClip) + 4, height());
        p.fillRect(box, QColor(220, 30, 30));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, kClip);
    }
}
