#include "ScriptHighlighter.h"

#include <QSet>

namespace {

const QSet<QString>& reservedWords() {
    static const QSet<QString> words = {
        "and",         "array",      "as",        "begin",  "case",      "class",    "const",
        "constructor", "destructor", "div",       "do",     "downto",    "else",     "end",
        "except",      "exit",       "finally",   "for",    "forward",   "function", "goto",
        "if",          "in",         "inherited", "is",     "label",     "mod",      "nil",
        "not",         "object",     "of",        "or",     "out",       "private",  "procedure",
        "program",     "property",   "protected", "public", "published", "raise",    "record",
        "repeat",      "set",        "shl",       "shr",    "string",    "then",     "to",
        "try",         "type",       "unit",      "until",  "uses",      "var",      "while",
        "with",        "xor"};
    return words;
}

} // namespace

TScriptHighlighter::TScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    m_comment.setForeground(QColor(0, 128, 0));
    m_comment.setFontItalic(true);
    m_number.setForeground(QColor(0, 0, 128));
    m_string.setForeground(QColor(128, 0, 128));
    m_symbol.setForeground(QColor(0, 0, 255));
    m_reserved.setForeground(QColor(128, 0, 0));
    m_reserved.setFontWeight(QFont::Bold);
}

bool TScriptHighlighter::isReservedWord(const QString& word) {
    return reservedWords().contains(word.toLower());
}

void TScriptHighlighter::highlightBlock(const QString& text) {
    const int n = int(text.size());
    int i = 0;
    int state = previousBlockState() < 0 ? Plain : previousBlockState();
    setCurrentBlockState(Plain);
    // A comment left open on the previous line goes on here.
    if (state != Plain) {
        const QString close = state == InBrace ? QStringLiteral("}") : QStringLiteral("*)");
        const int end = int(text.indexOf(close));
        if (end < 0) {
            setFormat(0, n, m_comment);
            setCurrentBlockState(state);
            return;
        }
        i = end + int(close.size());
        setFormat(0, i, m_comment);
    }
    while (i < n) {
        const QChar c = text[i];
        if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            setFormat(i, n - i, m_comment);
            return;
        }
        if (c == '{' || (c == '(' && i + 1 < n && text[i + 1] == '*')) {
            const bool brace = c == '{';
            const QString close = brace ? QStringLiteral("}") : QStringLiteral("*)");
            const int end = int(text.indexOf(close, i + (brace ? 1 : 2)));
            if (end < 0) {
                setFormat(i, n - i, m_comment);
                setCurrentBlockState(brace ? InBrace : InParenStar);
                return;
            }
            setFormat(i, end + int(close.size()) - i, m_comment);
            i = end + int(close.size());
            continue;
        }
        if (c == '\'') {
            int j = i + 1;
            while (j < n) {
                if (text[j] == '\'') {
                    if (j + 1 < n && text[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            setFormat(i, std::min(j + 1, n) - i, m_string);
            i = j + 1;
            continue;
        }
        if (c == '#' || c.isDigit() || (c == '$' && i + 1 < n && text[i + 1].isLetterOrNumber())) {
            int j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == '.' || text[j] == '$'))
                ++j;
            setFormat(i, j - i, c == '#' ? m_string : m_number);
            i = j;
            continue;
        }
        if (c.isLetter() || c == '_') {
            int j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == '_'))
                ++j;
            if (isReservedWord(text.mid(i, j - i)))
                setFormat(i, j - i, m_reserved);
            i = j;
            continue;
        }
        if (!c.isSpace())
            setFormat(i, 1, m_symbol);
        ++i;
    }
}
