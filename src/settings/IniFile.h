#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// The portable INI file: UTF-16 LE with a byte-order mark, CR LF after every line. Read
// with the encoding its first bytes announce (UTF-16 LE or BE, UTF-8; UTF-8 without a
// mark, and Latin-1 when that is not valid UTF-8).
namespace IniFile {

QStringList decode(const QByteArray& bytes);
QByteArray encode(const QStringList& lines);

// Lines of the file; false (and no lines) when it does not exist or cannot be read. A
// damaged file is copied aside first (see DamagedStore) and its unreadable lines left out;
// false when no copy could be made, the lines then holding all that was read. A file far
// too large gives no lines.
bool load(const QString& path, QStringList& lines);

// A line of no form a settings file has (section, name=value, comment, blank), or holding
// bytes that are no text.
bool unreadableLine(const QString& line);
// The lines without the unreadable ones, and without the sections whose header is one.
QStringList readableLines(const QStringList& lines);
// Unreadable lines, or UTF-16 cut in the middle of a character.
bool damaged(const QByteArray& bytes, const QStringList& lines);
// Writes the lines atomically.
bool save(const QString& path, const QStringList& lines);

// A line that opens a section: its trimmed text starts with "[" and ends with "]".
bool isSectionHeader(const QString& line);

// The INI file has two writers, each holding an image of the whole file: the parameter
// store owns its one section, the preference component every other one. Before writing,
// a writer re-reads the file and replaces only the sections it owns (those whose trimmed
// header the predicate accepts) with its own, keeping everything else as found on disk.
using SectionOwnership = std::function<bool(const QString& trimmedHeader)>;
QStringList mergeOwnedSections(const QStringList& disk, const QStringList& mine,
                               const SectionOwnership& owns);

// Re-reads path, merges, writes atomically.
bool saveOwnedSections(const QString& path, const QStringList& mine, const SectionOwnership& owns);

} // namespace IniFile
