#include "DateTimeFormatQt.h"

namespace vrdate::qt {

QString formatDateTime(const QString& pattern, double dateTime) {
    const QByteArray utf8 = pattern.toUtf8();
    return QString::fromStdString(
        vrdate::formatDateTime(std::string_view(utf8.constData(), size_t(utf8.size())), dateTime));
}

} // namespace vrdate::qt
