#include "PreferencesMan.h"

#include "IniFile.h"
#include "RegistryStore.h"

#include <QFile>

bool TPreferencesMan::CloseKey() {
    const qsizetype cut = m_path.lastIndexOf('\\');
    m_path = cut < 0 ? QString() : m_path.left(cut);
    return true;
}

// Stored as the corners of a half-open rectangle: right and bottom lie just outside.
bool WriteRect(TPreferencesMan& man, const QString& name, const QRect& rect) {
    if (!man.OpenKey(name, true))
        return false;
    bool ok = man.WriteInteger(QStringLiteral("Left"), rect.x());
    ok = man.WriteInteger(QStringLiteral("Top"), rect.y()) && ok;
    ok = man.WriteInteger(QStringLiteral("Right"), rect.x() + rect.width()) && ok;
    ok = man.WriteInteger(QStringLiteral("Bottom"), rect.y() + rect.height()) && ok;
    man.CloseKey();
    return ok;
}

bool ReadRect(TPreferencesMan& man, const QString& name, QRect& rect) {
    if (!man.OpenKey(name, false))
        return false;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    const bool ok = man.ReadInteger(QStringLiteral("Top"), top) &&
                    man.ReadInteger(QStringLiteral("Left"), left) &&
                    man.ReadInteger(QStringLiteral("Right"), right) &&
                    man.ReadInteger(QStringLiteral("Bottom"), bottom);
    man.CloseKey();
    if (ok)
        rect = QRect(left, top, right - left, bottom - top);
    return ok;
}

// ---------------------------------------------------------------- registry

TRegPreferencesMan::TRegPreferencesMan(const QString& registryFile, const QString& rootPath)
    : m_registry(std::make_unique<TRegistryFile>(registryFile)),
      m_root(TRegistryFile::normalizedPath(rootPath)) {
    m_registry->createKey(m_root);
}

TRegPreferencesMan::~TRegPreferencesMan() {
    Flush();
}

QString TRegPreferencesMan::fullPath() const {
    return m_path.isEmpty() ? m_root : m_root + '\\' + m_path;
}

bool TRegPreferencesMan::Flush() {
    return m_registry->commit();
}

bool TRegPreferencesMan::GetValueNames(QStringList& names) {
    if (!m_registry->keyExists(fullPath()))
        return false;
    names = m_registry->valueNames(fullPath());
    return true;
}

bool TRegPreferencesMan::GetKeyNames(QStringList& names) {
    if (!m_registry->keyExists(fullPath()))
        return false;
    names = m_registry->subKeyNames(fullPath());
    return true;
}

bool TRegPreferencesMan::OpenKey(const QString& name, bool create) {
    const QString child = childPath(TRegistryFile::normalizedPath(name));
    const QString full = m_root + '\\' + child;
    if (!m_registry->keyExists(full) && !(create && m_registry->createKey(full)))
        return false;
    m_path = child;
    return true;
}

bool TRegPreferencesMan::WriteString(const QString& name, const QString& text) {
    return m_registry->setValue(fullPath(), name, TRegValue::fromString(text));
}

bool TRegPreferencesMan::ReadString(const QString& name, QString& text) {
    const auto v = m_registry->value(fullPath(), name);
    if (!v || v->kind != RegKind::String)
        return false;
    text = v->text;
    return true;
}

bool TRegPreferencesMan::DeleteValue(const QString& name) {
    return m_registry->deleteValue(fullPath(), name);
}

bool TRegPreferencesMan::WriteBool(const QString& name, bool value) {
    return m_registry->setValue(fullPath(), name, TRegValue::fromDword(value ? 1 : 0));
}

bool TRegPreferencesMan::ReadBool(const QString& name, bool& value) {
    const auto v = m_registry->value(fullPath(), name);
    if (!v || v->kind != RegKind::Dword || v->dword > 1)
        return false;
    value = v->dword == 1;
    return true;
}

bool TRegPreferencesMan::WriteInteger(const QString& name, int32_t value) {
    return m_registry->setValue(fullPath(), name, TRegValue::fromDword(quint32(value)));
}

bool TRegPreferencesMan::ReadInteger(const QString& name, int32_t& value) {
    const auto v = m_registry->value(fullPath(), name);
    if (!v || v->kind != RegKind::Dword)
        return false;
    value = int32_t(v->dword);
    return true;
}

bool TRegPreferencesMan::WriteFloat(const QString& name, double value) {
    return m_registry->setValue(fullPath(), name, TRegValue::fromDouble(value));
}

bool TRegPreferencesMan::ReadFloat(const QString& name, double& value) {
    const auto v = m_registry->value(fullPath(), name);
    const auto d = v ? v->toDouble() : std::nullopt;
    if (!d)
        return false;
    value = *d;
    return true;
}

// ---------------------------------------------------------------- INI file

TIniPreferencesMan::TIniPreferencesMan(const QString& iniFile) : m_file(iniFile) {
    if (!IniFile::load(m_file, m_lines) && m_lines.isEmpty())
        m_lines = QStringList{QStringLiteral("[]")};
}

TIniPreferencesMan::~TIniPreferencesMan() {
    Flush();
}

bool TIniPreferencesMan::Flush() {
    if (!m_dirty && QFile::exists(m_file))
        return true;
    const QString parameterSection = '[' + kStorePath + ']';
    const bool ok = IniFile::saveOwnedSections(
        m_file, m_lines, [&](const QString& header) { return header != parameterSection; });
    if (ok)
        m_dirty = false;
    return ok;
}

qsizetype TIniPreferencesMan::sectionHeader(const QString& path) const {
    const QString header = '[' + path + ']';
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].compare(header, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

qsizetype TIniPreferencesMan::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < m_lines.size() && !m_lines[i].isEmpty() && !IniFile::isSectionHeader(m_lines[i]))
        ++i;
    return i;
}

qsizetype TIniPreferencesMan::ensureSection(const QString& path) {
    qsizetype header = sectionHeader(path);
    if (header < 0) {
        m_lines << QString() << '[' + path + ']';
        header = m_lines.size() - 1;
        m_dirty = true;
    }
    return header;
}

qsizetype TIniPreferencesMan::findValue(const QString& name) const {
    const qsizetype header = sectionHeader(m_path);
    if (header < 0)
        return -1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const qsizetype eq = m_lines[i].indexOf('=');
        if (eq >= 0 && QStringView(m_lines[i]).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TIniPreferencesMan::readRaw(const QString& name, QString& text) const {
    const qsizetype at = findValue(name);
    if (at < 0)
        return false;
    text = m_lines[at].mid(m_lines[at].indexOf('=') + 1);
    return true;
}

bool TIniPreferencesMan::GetValueNames(QStringList& names) {
    const qsizetype header = sectionHeader(m_path);
    if (header < 0)
        return false;
    names.clear();
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const qsizetype eq = m_lines[i].indexOf('=');
        if (eq >= 0)
            names << m_lines[i].left(eq);
    }
    return true;
}

bool TIniPreferencesMan::GetKeyNames(QStringList& names) {
    names.clear();
    const QString prefix = m_path.isEmpty() ? QString() : m_path + '\\';
    for (const QString& line : m_lines) {
        if (!IniFile::isSectionHeader(line))
            continue;
        const QString path = line.trimmed().mid(1).chopped(1);
        if (!path.startsWith(prefix, Qt::CaseInsensitive) || path.size() == prefix.size())
            continue;
        const QString name = path.mid(prefix.size()).section('\\', 0, 0);
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return true;
}

bool TIniPreferencesMan::OpenKey(const QString& name, bool) {
    const QString child = childPath(name);
    ensureSection(child);
    m_path = child;
    return true;
}

bool TIniPreferencesMan::WriteString(const QString& name, const QString& text) {
    const QString line = name + '=' + IniText::escapeLineBreaks(text);
    const qsizetype at = findValue(name);
    if (at >= 0) {
        m_lines[at] = line;
    } else {
        const qsizetype header = ensureSection(m_path);
        m_lines.insert(sectionEnd(header), line);
    }
    m_dirty = true;
    return true;
}

bool TIniPreferencesMan::ReadString(const QString& name, QString& text) {
    if (!readRaw(name, text))
        return false;
    text = IniText::unescapeLineBreaks(text);
    return true;
}

bool TIniPreferencesMan::DeleteValue(const QString& name) {
    const qsizetype at = findValue(name);
    if (at < 0)
        return false;
    m_lines.removeAt(at);
    m_dirty = true;
    return true;
}

bool TIniPreferencesMan::WriteBool(const QString& name, bool value) {
    return WriteString(name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

bool TIniPreferencesMan::ReadBool(const QString& name, bool& value) {
    QString text;
    if (!readRaw(name, text))
        return false;
    if (text == QLatin1String("True"))
        value = true;
    else if (text == QLatin1String("False"))
        value = false;
    else
        return false;
    return true;
}

bool TIniPreferencesMan::WriteInteger(const QString& name, int32_t value) {
    return WriteString(name, IniText::fromInteger(value));
}

bool TIniPreferencesMan::ReadInteger(const QString& name, int32_t& value) {
    QString text;
    if (!readRaw(name, text))
        return false;
    value = IniText::toInteger(text);
    return true;
}

bool TIniPreferencesMan::WriteFloat(const QString& name, double value) {
    return WriteString(name, IniText::fromReal(value));
}

bool TIniPreferencesMan::ReadFloat(const QString& name, double& value) {
    QString text;
    if (!readRaw(name, text))
        return false;
    value = IniText::toReal(text);
    return true;
}
