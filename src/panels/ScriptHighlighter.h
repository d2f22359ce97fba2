#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

// Colours of the script editor: comments green italic, numbers navy, strings purple,
// symbols blue, reserved words bold maroon. Block comments run across lines (the block
// state says which kind is open).
class TScriptHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit TScriptHighlighter(QTextDocument* document);

    static bool isReservedWord(const QString& word);

protected:
    void highlightBlock(const QString& text) override;

private:
    enum BlockState { Plain = 0, InBrace = 1, InParenStar = 2 };
    QTextCharFormat m_comment, m_number, m_string, m_symbol, m_reserved;
};
