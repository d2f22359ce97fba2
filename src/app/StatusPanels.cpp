#include "StatusPanels.h"

#include "LayoutMath.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {
// Between a panel's edge and its text: the border and a margin on each side.
constexpr int kTextPadding = 8;
} // namespace

TStatusPanels::TStatusPanels(QWidget* parent) : QWidget(parent) {
    m_colours.fill(Qt::black);
    setMinimumWidth(kPanelWidth * kPanels);
}

void TStatusPanels::setText(int panel, const QString& text, const QColor& colour) {
    if (panel < 0 || panel >= kPanels)
        return;
    m_texts[size_t(panel)] = text;
    m_colours[size_t(panel)] = colour;
    growToTexts();
    update();
}

void TStatusPanels::setRedSuffix(const QString& suffix) {
    m_suffix = suffix;
    growToTexts();
    update();
}

QList<int> TStatusPanels::neededWidths() const {
    QList<int> needed;
    for (int i = 0; i < kPanels; ++i)
        needed << fontMetrics().horizontalAdvance(m_texts[size_t(i)] +
                                                  (i == 1 ? m_suffix : QString())) +
                      kTextPadding;
    // The free space names a folder, which loses its middle by design: it asks no more than
    // its own width.
    needed[kPanels - 1] = std::min(needed[kPanels - 1], kPanelWidth);
    return needed;
}

// A desktop font larger than the one the panels were drawn for: the bar (and with it the
// window) grows to hold the texts whole. It never shrinks back, so that the window does not
// change its width each time a text changes.
void TStatusPanels::growToTexts() {
    int total = 0;
    for (int n : neededWidths())
        total += std::max(n, kPanelWidth);
    if (total > minimumWidth())
        setMinimumWidth(total);
}

QSize TStatusPanels::sizeHint() const {
    return QSize(kPanelWidth * kPanels, fontMetrics().height() + 6);
}

// The panels are 175 pixels wide where their texts fit so; a font wider than the one they
// were drawn for gives a longer text the room the shorter ones do not need.
QRect TStatusPanels::cellRect(int panel) const {
    const QList<int> widths = LayoutMath::shareWidths(neededWidths(), width(), kPanelWidth);
    int x = 0;
    for (int i = 0; i < panel; ++i)
        x += widths[i];
    return QRect(x, 0, widths[panel] - 2, height() - 1);
}

QRect TStatusPanels::textRect(int panel) const {
    return cellRect(panel).adjusted(4, 0, -2, 0);
}

bool TStatusPanels::event(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        growToTexts();
    // A text too long for its panel shows whole in a tip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (int i = 0; i < kPanels; ++i)
            if (cellRect(i).contains(help->pos())) {
                const QString text = m_texts[size_t(i)] + (i == 1 ? m_suffix : QString());
                if (fontMetrics().horizontalAdvance(text) > textRect(i).width())
                    QToolTip::showText(help->globalPos(), text, this);
                else
                    QToolTip::hideText();
                return true;
            }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void TStatusPanels::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < kPanels; ++i) {
        const QRect cell = cellRect(i);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(cell);
        const QRect textRect = cell.adjusted(4, 0, -2, 0);
        p.setPen(m_colours[size_t(i)]);
        // The free space names a folder: too long, it loses its middle, not its end.
        const QString text = p.fontMetrics().elidedText(
            m_texts[size_t(i)], i == 3 ? Qt::ElideMiddle : Qt::ElideRight, textRect.width());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
        if (i == 1 && !m_suffix.isEmpty()) {
            const int x = textRect.left() + p.fontMetrics().horizontalAdvance(text);
            p.setPen(Qt::red);
            p.drawText(QRect(x, textRect.top(), textRect.right() - x, textRect.height()),
                       Qt::AlignVCenter | Qt::AlignLeft, m_suffix);
        }
    }
}
