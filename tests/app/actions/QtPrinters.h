#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure messages: gtest would otherwise print QStrings as 2-byte objects.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (const QString& s : list) {
        PrintTo(s, os);
        *os << ' ';
    }
    *os << '}';
}
