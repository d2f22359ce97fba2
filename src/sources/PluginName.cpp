#include "PluginName.h"

#include <QList>

#include <cstring>

QString PluginNameKey(const QString& name) {
    const QList<uint> chars = name.toUcs4();
    if (chars.size() <= kPluginNameMax)
        return name;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), kPluginNameMax);
}

QString PluginName(const char* buffer, size_t size) {
    if (!buffer)
        return {};
    const size_t length = strnlen(buffer, size);
    return PluginNameKey(QString::fromUtf8(buffer, qsizetype(length)));
}
