#pragma once

#include "DateTimeFormat.h"

#include <QString>

// The date formatter of the elements (plain C++, UTF-8) for the program's QString texts:
// the script's functions, the panels and the stills.
namespace vrdate::qt {

// As vrdate::formatDateTime, pattern and text in UTF-16; empty for an invalid date-time.
QString formatDateTime(const QString& pattern, double dateTime);

} // namespace vrdate::qt
