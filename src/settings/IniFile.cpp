#include "IniFile.h"

#include "AtomicFile.h"
#include "DamagedStore.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>

namespace IniFile {

namespace {

// Splits like a string list's text: CR LF, LF and CR all end a line; a final line break
// does not start another line.
QStringList splitLines(const QString& text) {
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '\r' || c == '\n') {
            lines << current;
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

struct Block {
    QString header; // trimmed; empty for the lines before the first header
    QStringList lines;
};

QList<Block> splitBlocks(const QStringList& lines) {
    QList<Block> blocks{Block{}};
    for (const QString& line : lines) {
        if (isSectionHeader(line))
            blocks.append(Block{line.trimmed(), {}});
        blocks.last().lines << line;
    }
    return blocks;
}

} // namespace

QStringList decode(const QByteArray& bytes) {
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8.decode(bytes);
        if (utf8.hasError())
            text = QString::fromLatin1(bytes);
    }
    return splitLines(text);
}

QByteArray encode(const QStringList& lines) {
    QByteArray out("\xFF\xFE", 2);
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    for (const QString& line : lines)
        out += utf16.encode(line + QStringLiteral("\r\n"));
    return out;
}

bool unreadableLine(const QString& line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if ((c.unicode() < 0x20 && c != '\t') || c == QChar::ReplacementCharacter ||
            c.isNonCharacter() || c.isSurrogate())
            return true;
    }
    const QString t = line.trimmed();
    return !t.isEmpty() && !t.startsWith(';') && !t.startsWith('#') && !isSectionHeader(t) &&
           !t.contains('=');
}

QStringList readableLines(const QStringList& lines) {
    QStringList out;
    bool skippingSection = false;
    for (const QString& line : lines) {
        const bool header = isSectionHeader(line);
        if (unreadableLine(line)) {
            // A section whose name cannot be read goes with its lines: they belong to no
            // section we know, and would fall into the one above.
            if (header)
                skippingSection = true;
            continue;
        }
        if (header)
            skippingSection = false;
        if (!skippingSection)
            out << line;
    }
    return out;
}

bool damaged(const QByteArray& bytes, const QStringList& lines) {
    // UTF-16 cut in the middle of a character.
    if ((bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) && bytes.size() % 2)
        return true;
    return std::any_of(lines.begin(), lines.end(), unreadableLine);
}

bool load(const QString& path, QStringList& lines) {
    lines.clear();
    QFile file(path);
    if (file.size() > DamagedStore::kLargestStore)
        return DamagedStore::keep(path, DamagedStore::Damage::TooLarge);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    lines = decode(bytes);
    if (!damaged(bytes, lines))
        return true;
    // What could not be read is lost at the next write: the original is kept first, then
    // the unreadable lines are left out, so that the file is written back clean.
    if (!DamagedStore::keep(path, DamagedStore::Damage::Unreadable))
        return false;
    lines = readableLines(lines);
    return true;
}

bool save(const QString& path, const QStringList& lines) {
    return writeFileAtomically(path, encode(lines));
}

bool isSectionHeader(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith('[') && t.endsWith(']');
}

QStringList mergeOwnedSections(const QStringList& disk, const QStringList& mine,
                               const SectionOwnership& owns) {
    QStringList ownBlocks;
    const QList<Block> mineBlocks = splitBlocks(mine);
    for (qsizetype i = 1; i < mineBlocks.size(); ++i)
        if (owns(mineBlocks[i].header))
            ownBlocks << mineBlocks[i].lines;

    const QList<Block> diskBlocks = splitBlocks(disk);
    QStringList out = diskBlocks.first().lines;
    bool placed = false;
    for (qsizetype i = 1; i < diskBlocks.size(); ++i) {
        if (!owns(diskBlocks[i].header)) {
            out << diskBlocks[i].lines;
        } else if (!placed) {
            out << ownBlocks;
            placed = true;
        }
    }
    if (!placed)
        out << ownBlocks;
    return out;
}

bool saveOwnedSections(const QString& path, const QStringList& mine, const SectionOwnership& owns) {
    QStringList disk;
    // A file that exists but cannot be read, or is damaged and could not be copied aside,
    // holds sections we must not drop.
    if (!load(path, disk) && QFile::exists(path))
        return false;
    return save(path, mergeOwnedSections(disk, mine, owns));
}

} // namespace IniFile
