#pragma once

#include <QString>
#include <QStringList>

namespace vscript {

struct Pos {
    int line = 1;
    int col = 1;
};

// Compilation messages, each with its place in the source.
class Diagnostics {
public:
    void error(Pos pos, const QString& text) {
        // One message per place: later ones are usually echoes of the first.
        if (!m_messages.isEmpty() && pos.line == m_lastLine && pos.col == m_lastCol)
            return;
        m_lastLine = pos.line;
        m_lastCol = pos.col;
        m_messages << QStringLiteral("Erreur (%1:%2) : %3").arg(pos.line).arg(pos.col).arg(text);
    }
    bool hasErrors() const { return !m_messages.isEmpty(); }
    const QStringList& messages() const { return m_messages; }
    int count() const { return int(m_messages.size()); }

private:
    QStringList m_messages;
    int m_lastLine = 0;
    int m_lastCol = 0;
};

} // namespace vscript
