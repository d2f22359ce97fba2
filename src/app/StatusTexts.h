#pragma once

#include <QObject>
#include <QString>
#include <array>

// The four texts of the status bar and the red words after the second, as the session says
// them; the window's status bar draws what this holds.
class TStatusTexts : public QObject {
    Q_OBJECT
public:
    static constexpr int kPanels = 4;
    // How a text is drawn: plainly, as a fault (red) or as a note on the deck (dark blue).
    enum class Tone { Plain, Fault, Deck };

    using QObject::QObject;

    void setText(int panel, const QString& text, Tone tone = Tone::Plain);
    void setRedSuffix(const QString& suffix);
    QString text(int panel) const;
    Tone tone(int panel) const;
    QString redSuffix() const { return m_suffix; }

signals:
    void textChanged(int panel);
    void redSuffixChanged();

private:
    std::array<QString, kPanels> m_texts;
    std::array<Tone, kPanels> m_tones{};
    QString m_suffix;
};
