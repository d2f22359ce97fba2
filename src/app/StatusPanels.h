#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>
#include <array>

// The four owner-drawn panels of the status bar, 175 pixels each where their texts fit so;
// a larger font widens the bar.
// Panel 1 may end in a red suffix; each panel's text has its own colour.
class TStatusPanels : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanelWidth = 175;
    static constexpr int kPanels = 4;

    explicit TStatusPanels(QWidget* parent = nullptr);

    void setText(int panel, const QString& text, const QColor& colour = Qt::black);
    void setRedSuffix(const QString& suffix); // drawn in red after panel 1's text
    QString text(int panel) const { return m_texts.at(size_t(panel)); }
    QString redSuffix() const { return m_suffix; }
    // Where a panel's text is drawn.
    QRect textRect(int panel) const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect cellRect(int panel) const;
    QList<int> neededWidths() const;
    void growToTexts();

    std::array<QString, kPanels> m_texts;
    std::array<QColor, kPanels> m_colours;
    QString m_suffix;
};
