#include "StatusTexts.h"

void TStatusTexts::setText(int panel, const QString& text, Tone tone) {
    if (panel < 0 || panel >= kPanels)
        return;
    const auto i = size_t(panel);
    if (m_texts[i] == text && m_tones[i] == tone)
        return;
    m_texts[i] = text;
    m_tones[i] = tone;
    emit textChanged(panel);
}

void TStatusTexts::setRedSuffix(const QString& suffix) {
    if (m_suffix == suffix)
        return;
    m_suffix = suffix;
    emit redSuffixChanged();
}

QString TStatusTexts::text(int panel) const {
    return panel >= 0 && panel < kPanels ? m_texts[size_t(panel)] : QString();
}

TStatusTexts::Tone TStatusTexts::tone(int panel) const {
    return panel >= 0 && panel < kPanels ? m_tones[size_t(panel)] : Tone::Plain;
}
