#include "Preferences.h"

#include "AppPaths.h"
#include "IncrustRecFields.h"
#include "IniFile.h"
#include "RegistryStore.h"

#include <QLocale>
#include <cmath>
#include <type_traits>

namespace IniText {

QString fromInteger(int32_t v) {
    return QString::number(v);
}

int32_t toInteger(const QString& text) {
    bool ok = false;
    const int32_t v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

QString fromBool(bool v) {
    return v ? QStringLiteral("1") : QStringLiteral("0");
}

bool toBool(const QString& text) {
    return text.trimmed() != QLatin1String("0");
}

QString fromReal(double v) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(v, 'g', 15);
}

double toReal(const QString& text) {
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString escapeLineBreaks(const QString& text) {
    if (!text.contains('\r') && !text.contains('\n'))
        return text;
    QString out = text;
    out.replace(QLatin1String("\r\n"), kLineBreakMarker);
    out.replace('\r', kLineBreakMarker);
    out.replace('\n', kLineBreakMarker);
    return out;
}

QString unescapeLineBreaks(const QString& text) {
    if (!text.contains(kLineBreakMarker))
        return text;
    QString out = text;
    return out.replace(kLineBreakMarker, QLatin1String("\r\n"));
}

} // namespace IniText

namespace {

QString sectionOf(const QString& storePath) {
    return '[' + storePath + ']';
}

QString subPath(const QString& path, const char* group) {
    return *group ? path + '\\' + QLatin1String(group) : path;
}

} // namespace

// ---------------------------------------------------------------- reader

TReadPreferences::TReadPreferences(const QString& storePath, TSavePreferences mode)
    : m_section(sectionOf(storePath)), m_path(storePath), m_mode(mode) {
    if (mode == spRegistre)
        m_registry = std::make_unique<TRegistryFile>(AppPaths::registryFilePath());
    else if (mode == spPortable)
        IniFile::load(AppPaths::iniFilePath(), m_lines);
}

TReadPreferences::~TReadPreferences() = default;

std::optional<QString> TReadPreferences::iniValue(const QString& key) const {
    QString section;
    for (const QString& line : m_lines) {
        if (IniFile::isSectionHeader(line)) {
            section = line.trimmed();
            continue;
        }
        if (section != m_section)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0 && QStringView(line).left(eq) == key)
            return line.mid(eq + 1);
    }
    return std::nullopt;
}

int32_t TReadPreferences::regInteger(const QString& path, const QString& name, int32_t def) const {
    const auto v = m_registry->value(path, name);
    return v && v->kind == RegKind::Dword ? int32_t(v->dword) : def;
}

bool TReadPreferences::regBool(const QString& path, const QString& name, bool def) const {
    const auto v = m_registry->value(path, name);
    return v && v->kind == RegKind::Dword ? v->dword != 0 : def;
}

double TReadPreferences::regReal(const QString& path, const QString& name, double def) const {
    const auto v = m_registry->value(path, name);
    const auto d = v ? v->toDouble() : std::nullopt;
    return d && std::isfinite(*d) ? *d : def;
}

QString TReadPreferences::regText(const QString& path, const QString& name,
                                  const QString& def) const {
    const auto v = m_registry->value(path, name);
    return v && v->kind == RegKind::String ? v->text : def;
}

bool TReadPreferences::GetBool(const QString& key, bool def) const {
    switch (m_mode) {
    case spRegistre:
        return regBool(m_path, key, def);
    case spPortable:
        return IniText::toBool(iniValue(key).value_or(IniText::fromBool(def)));
    default:
        return def;
    }
}

int32_t TReadPreferences::GetInteger(const QString& key, int32_t def) const {
    switch (m_mode) {
    case spRegistre:
        return regInteger(m_path, key, def);
    case spPortable:
        return IniText::toInteger(iniValue(key).value_or(IniText::fromInteger(def)));
    default:
        return def;
    }
}

double TReadPreferences::GetReal(const QString& key, double def) const {
    switch (m_mode) {
    case spRegistre:
        return regReal(m_path, key, def);
    case spPortable:
        return IniText::toReal(iniValue(key).value_or(IniText::fromReal(def)));
    default:
        return def;
    }
}

QString TReadPreferences::GetText(const QString& key, const QString& def) const {
    QString text;
    switch (m_mode) {
    case spRegistre:
        text = regText(m_path, key, def);
        break;
    case spPortable:
        text = IniText::unescapeLineBreaks(iniValue(key).value_or(def));
        break;
    default:
        return def;
    }
    return text == kEmptyMarker ? QString() : text;
}

TincrustRec TReadPreferences::GetIncrustRec(const QString& key, const TincrustRec& def) const {
    if (m_mode == spNone)
        return def;
    TincrustRec rec = def;
    const QString recPath = m_path + '\\' + key;
    if (m_mode == spRegistre && !m_registry->keyExists(recPath))
        return def;
    const bool fontKey =
        m_mode == spRegistre && m_registry->keyExists(subPath(recPath, kFontGroup));
    visitIncrustRec(rec, [&](const char* group, const char* name, auto&& field) {
        using T = std::remove_cvref_t<decltype(field)>;
        const QString n = QLatin1String(name);
        if (m_mode == spRegistre) {
            if (*group && !fontKey)
                return; // no font sub-key: the default font
            const QString p = subPath(recPath, group);
            if constexpr (std::is_same_v<T, QString>)
                field = regText(p, n, field);
            else if constexpr (std::is_same_v<T, double>)
                field = regReal(p, n, field);
            else if constexpr (std::is_same_v<T, bool>)
                field = regBool(p, n, field);
            else if constexpr (std::is_same_v<T, ByteFlag>)
                field.v = regBool(p, n, field.v != 0) ? 1 : 0;
            else if constexpr (std::is_same_v<T, ByteInt>)
                field.v = uint8_t(regInteger(p, n, field.v));
            else
                field = T(regInteger(p, n, int32_t(field)));
        } else {
            const QString iniKey =
                *group ? key + '\\' + QLatin1String(group) + '\\' + n : key + '\\' + n;
            const auto text = iniValue(iniKey);
            if constexpr (std::is_same_v<T, QString>) {
                field = text ? IniText::unescapeLineBreaks(*text) : field;
            } else if constexpr (std::is_same_v<T, double>) {
                field = IniText::toReal(text.value_or(IniText::fromReal(field)));
            } else if constexpr (std::is_same_v<T, bool>) {
                field = IniText::toBool(text.value_or(IniText::fromBool(field)));
            } else if constexpr (std::is_same_v<T, ByteFlag>) {
                field.v = IniText::toBool(text.value_or(IniText::fromBool(field.v))) ? 1 : 0;
            } else if constexpr (std::is_same_v<T, ByteInt>) {
                field.v = uint8_t(IniText::toInteger(text.value_or(IniText::fromInteger(field.v))));
            } else {
                field = T(IniText::toInteger(text.value_or(IniText::fromInteger(int32_t(field)))));
            }
        }
    });
    return rec;
}

TfontRecord TReadPreferences::GetFontRec(const QString& key, const TfontRecord& def) const {
    TincrustRec withFont;
    withFont.FontRec = def;
    return GetIncrustRec(key, withFont).FontRec;
}

// ---------------------------------------------------------------- writer

TWritePreferences::TWritePreferences(const QString& storePath, TSavePreferences mode)
    : m_section(sectionOf(storePath)), m_path(storePath), m_mode(mode) {
    if (mode == spRegistre) {
        m_registry = std::make_unique<TRegistryFile>(AppPaths::registryFilePath());
        m_registry->createKey(m_path);
    } else if (mode == spPortable) {
        IniFile::load(AppPaths::iniFilePath(), m_lines);
    }
}

TWritePreferences::~TWritePreferences() {
    if (!m_committed)
        commit();
}

void TWritePreferences::putIniLine(const QString& key, const QString& value) {
    const QString line = key + '=' + value;
    QString section;
    for (QString& l : m_lines) {
        if (IniFile::isSectionHeader(l)) {
            section = l.trimmed();
            continue;
        }
        const qsizetype eq = l.indexOf('=');
        if (section == m_section && eq >= 0 && QStringView(l).left(eq) == key) {
            l = line;
            return;
        }
    }
    qsizetype header = -1;
    for (qsizetype i = 0; i < m_lines.size() && header < 0; ++i)
        if (m_lines[i].trimmed() == m_section)
            header = i;
    if (header < 0) {
        m_lines << m_section << line;
        return;
    }
    qsizetype next = header + 1;
    while (next < m_lines.size() && !IniFile::isSectionHeader(m_lines[next]))
        ++next;
    m_lines.insert(next, line);
}

void TWritePreferences::PutBool(const QString& key, bool value) {
    if (m_mode == spRegistre)
        m_registry->setValue(m_path, key, TRegValue::fromDword(value ? 1 : 0));
    else if (m_mode == spPortable)
        putIniLine(key, IniText::fromBool(value));
}

void TWritePreferences::PutInteger(const QString& key, int32_t value) {
    if (m_mode == spRegistre)
        m_registry->setValue(m_path, key, TRegValue::fromDword(quint32(value)));
    else if (m_mode == spPortable)
        putIniLine(key, IniText::fromInteger(value));
}

void TWritePreferences::PutReal(const QString& key, double value) {
    if (m_mode == spRegistre)
        m_registry->setValue(m_path, key, TRegValue::fromDouble(value));
    else if (m_mode == spPortable)
        putIniLine(key, IniText::fromReal(value));
}

void TWritePreferences::PutText(const QString& key, const QString& value) {
    const QString text = value.isEmpty() ? kEmptyMarker : value;
    if (m_mode == spRegistre)
        m_registry->setValue(m_path, key, TRegValue::fromString(text));
    else if (m_mode == spPortable)
        putIniLine(key, IniText::escapeLineBreaks(text));
}

void TWritePreferences::PutIncrustRec(const QString& key, const TincrustRec& value) {
    putRecord(key, value, false);
}

void TWritePreferences::putRecord(const QString& key, const TincrustRec& value, bool fontOnly) {
    if (m_mode == spNone)
        return;
    TincrustRec rec = value;
    const QString recPath = m_path + '\\' + key;
    if (m_mode == spRegistre) {
        m_registry->createKey(recPath);
        m_registry->createKey(subPath(recPath, kFontGroup));
    }
    visitIncrustRec(rec, [&](const char* group, const char* name, auto&& field) {
        using T = std::remove_cvref_t<decltype(field)>;
        if (fontOnly && !*group)
            return;
        const QString n = QLatin1String(name);
        if (m_mode == spRegistre) {
            const QString p = subPath(recPath, group);
            TRegValue v;
            if constexpr (std::is_same_v<T, QString>)
                v = TRegValue::fromString(field);
            else if constexpr (std::is_same_v<T, double>)
                v = TRegValue::fromDouble(field);
            else if constexpr (std::is_same_v<T, bool>)
                v = TRegValue::fromDword(field ? 1 : 0);
            else if constexpr (std::is_same_v<T, ByteFlag>)
                v = TRegValue::fromDword(field.v ? 1 : 0);
            else if constexpr (std::is_same_v<T, ByteInt>)
                v = TRegValue::fromDword(field.v);
            else
                v = TRegValue::fromDword(quint32(field));
            m_registry->setValue(p, n, v);
        } else {
            const QString iniKey =
                *group ? key + '\\' + QLatin1String(group) + '\\' + n : key + '\\' + n;
            QString text;
            if constexpr (std::is_same_v<T, QString>)
                text = IniText::escapeLineBreaks(field);
            else if constexpr (std::is_same_v<T, double>)
                text = IniText::fromReal(field);
            else if constexpr (std::is_same_v<T, bool>)
                text = IniText::fromBool(field);
            else if constexpr (std::is_same_v<T, ByteFlag>)
                text = IniText::fromBool(field.v != 0);
            else if constexpr (std::is_same_v<T, ByteInt>)
                text = IniText::fromInteger(field.v);
            else
                text = IniText::fromInteger(int32_t(field));
            putIniLine(iniKey, text);
        }
    });
}

void TWritePreferences::PutFontRec(const QString& key, const TfontRecord& value) {
    TincrustRec rec;
    rec.FontRec = value;
    putRecord(key, rec, true);
}

bool TWritePreferences::commit() {
    m_committed = true;
    switch (m_mode) {
    case spRegistre:
        return m_registry->commit();
    case spPortable:
        return IniFile::saveOwnedSections(AppPaths::iniFilePath(), m_lines,
                                          [this](const QString& h) { return h == m_section; });
    default:
        return true;
    }
}
