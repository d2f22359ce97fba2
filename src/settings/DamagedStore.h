#pragma once

#include <QString>
#include <QStringList>

// A settings file that cannot be read whole (bytes that are no text, lines of no known
// form, a file cut short) or that is far larger than any the program writes would be
// replaced by the next save with only what was understood of it. Before that, the
// original is copied beside it, "<file>.illisible" (then "<file>.2.illisible" … for other
// damaged contents), and the user is told once.
namespace DamagedStore {

// Larger than this, a settings file is not read: the program starts from its defaults.
// What the program writes itself stays far below (a few dozen kilobytes).
constexpr qint64 kLargestStore = 8 * 1024 * 1024;

enum class Damage { Unreadable, TooLarge };

// Copies path aside (unless a copy of the same content is already there) and gives the
// user a notice (addUserNotice) once per file and run. False when no copy could be made:
// the file must then not be overwritten.
bool keep(const QString& path, Damage damage);

} // namespace DamagedStore
