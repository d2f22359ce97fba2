#include "TextGauge.h"

#include "Prompts.h"

#include <QPainter>

#include <algorithm>
#include <limits>

TTextGauge::TTextGauge(QWidget* parent) : QWidget(parent) {
    setMinimumSize(40, 40);
}

void TTextGauge::setKind(Kind kind) {
    const Look before = look();
    m_kind = kind;
    changed(before);
}

void TTextGauge::setTextFormat(const QString& format) {
    const Look before = look();
    m_format = format;
    changed(before);
}

QString TTextGauge::RangeMessage(int lo, int hi) {
    return QString::asprintf("La valeur doit être comprise entre %d et %d", lo, hi);
}

bool TTextGauge::setMaxValue(int value) {
    if (value == m_max)
        return true;
    if (value < m_min && !m_loading) {
        prompts().error(this, RangeMessage(m_min, std::numeric_limits<int>::max()));
        return false;
    }
    const Look before = look();
    m_max = value;
    if (m_progress > m_max)
        m_progress = m_max;
    changed(before);
    return true;
}

bool TTextGauge::setMinValue(int value) {
    if (value == m_min)
        return true;
    if (value > m_max && !m_loading) {
        prompts().error(this, RangeMessage(std::numeric_limits<int>::min(), m_max));
        return false;
    }
    const Look before = look();
    m_min = value;
    if (m_progress < m_min)
        m_progress = m_min;
    changed(before);
    return true;
}

void TTextGauge::setProgress(int value) {
    const Look before = look();
    // While loading the range may still be upside down: the progress sits at the minimum.
    m_progress = m_max < m_min ? m_min : std::clamp(value, m_min, m_max);
    changed(before);
}

void TTextGauge::setAlertValue(int value) {
    const Look before = look();
    m_alertValue = value;
    changed(before);
}

void TTextGauge::setForeColor(const QColor& colour) {
    m_fore = colour;
    update();
}

void TTextGauge::setAlertColor(const QColor& colour) {
    m_alertColour = colour;
    update();
}

int TTextGauge::percentDone() const {
    const qint64 span = qint64(m_max) - m_min;
    if (span <= 0)
        return 0;
    return int((qint64(m_progress) - m_min) * 100 / span);
}

QString TTextGauge::text() const {
    switch (m_kind) {
    case Kind::Percent:
        return QStringLiteral("%1%").arg(percentDone());
    case Kind::Value:
        return QString::number(m_progress);
    case Kind::Text:
        break;
    }
    return QString(m_format).replace(QLatin1String("%d"),
                                     QString::number(qint64(m_max) - m_progress));
}

bool TTextGauge::alerted() const {
    if (m_kind == Kind::Text)
        return qint64(m_max) - m_progress < m_alertValue; // little left
    return m_progress > m_alertValue;
}

void TTextGauge::changed(const Look& before) {
    if (look() != before)
        update();
}

void TTextGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(QColor(96, 96, 96));
    p.drawEllipse(circle);
    const int percent = percentDone();
    if (percent > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(alerted() ? m_alertColour : m_fore);
        // Clockwise from twelve o'clock, in sixteenths of a degree.
        p.drawPie(circle, 90 * 16, -percent * 360 * 16 / 100);
    }
    p.setPen(Qt::white);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(rect(), Qt::AlignCenter, text());
}
