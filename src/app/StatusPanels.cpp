#include "StatusPanels.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

TStatusPanels::TStatusPanels(QWidget* parent) : QWidget(parent) {
    m_colours.fill(Qt::black);
    setMinimumWidth(kPanelWidth * kPanels);
}

void TStatusPanels::setText(int panel, const QString& text, const QColor& colour) {
    if (panel < 0 || panel >= kPanels)
        return;
    m_texts[size_t(panel)] = text;
    m_colours[size_t(panel)] = colour;
    update();
}

void TStatusPanels::setRedSuffix(const QString& suffix) {
    m_suffix = suffix;
    update();
}

QSize TStatusPanels::sizeHint() const {
    return QSize(kPanelWidth * kPanels, fontMetrics().height() + 6);
}

void TStatusPanels::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < kPanels; ++i) {
        const QRect cell(i * kPanelWidth, 0, kPanelWidth - 2, height() - 1);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(cell);
        const QRect textRect = cell.adjusted(4, 0, -2, 0);
        p.setPen(m_colours[size_t(i)]);
        // The free space names a folder: too long, it loses its middle, not its end.
        const QString text = i == 3 ? p.fontMetrics().elidedText(m_texts[size_t(i)],
                                                                 Qt::ElideMiddle, textRect.width())
                                    : m_texts[size_t(i)];
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
        if (i == 1 && !m_suffix.isEmpty()) {
            const int x = textRect.left() + p.fontMetrics().horizontalAdvance(m_texts[1]);
            p.setPen(Qt::red);
            p.drawText(QRect(x, textRect.top(), textRect.right() - x, textRect.height()),
                       Qt::AlignVCenter | Qt::AlignLeft, m_suffix);
        }
    }
}
