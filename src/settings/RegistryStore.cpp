#include "RegistryStore.h"

#include "AtomicFile.h"
#include "DamagedStore.h"
#include "Log.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>
#include <cstring>

namespace {

const char kFileHeader[] = "; Registre Ardoval (Vidorra) - fichier UTF-8 géré par le programme";

QString lower(const QString& s) {
    return s.toLower();
}

QString parentOf(const QString& path) {
    const qsizetype cut = path.lastIndexOf('\\');
    return cut < 0 ? QString() : path.left(cut);
}

// Quoted text with backslash escapes, so that any name or value fits on one line.
QString quote(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    out += '"';
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        // Half of a surrogate pair alone has no UTF-8 form: escaped, it reads back as it was.
        if (c.isSurrogate()) {
            const bool pair = c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate();
            if (pair) {
                out += c;
                out += s[++i];
            } else {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
            }
            continue;
        }
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
            else
                out += c;
        }
    }
    out += '"';
    return out;
}

// Reads a quoted text at pos; advances pos past the closing quote.
std::optional<QString> unquote(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return std::nullopt;
        switch (line[pos].unicode()) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            bool ok = false;
            const uint code = line.mid(pos + 1, 4).toUInt(&ok, 16);
            if (!ok || pos + 4 >= line.size())
                return std::nullopt;
            out += QChar(char16_t(code));
            pos += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<TRegValue> parseData(const QString& data) {
    if (data.startsWith('"')) {
        qsizetype pos = 0;
        auto text = unquote(data, pos);
        if (!text || pos != data.size())
            return std::nullopt;
        return TRegValue::fromString(*text);
    }
    if (data.startsWith(QLatin1String("dword:"))) {
        const QString hex = data.mid(6);
        bool ok = false;
        const quint32 v = hex.toUInt(&ok, 16);
        if (!ok || hex.size() != 8)
            return std::nullopt;
        return TRegValue::fromDword(v);
    }
    if (data.startsWith(QLatin1String("hex:"))) {
        const QString body = data.mid(4);
        QByteArray bytes;
        if (!body.isEmpty()) {
            for (const QString& part : body.split(',')) {
                bool ok = false;
                const uint b = part.toUInt(&ok, 16);
                if (!ok || part.size() != 2)
                    return std::nullopt;
                bytes.append(char(b));
            }
        }
        return TRegValue::fromBinary(bytes);
    }
    return std::nullopt;
}

QString formatData(const TRegValue& v) {
    switch (v.kind) {
    case RegKind::String:
        return quote(v.text);
    case RegKind::Dword:
        return QStringLiteral("dword:%1").arg(v.dword, 8, 16, QChar('0'));
    case RegKind::Binary: {
        QStringList parts;
        for (char b : v.binary)
            parts << QStringLiteral("%1").arg(uchar(b), 2, 16, QChar('0'));
        return QStringLiteral("hex:") + parts.join(',');
    }
    }
    return {};
}

// The file is UTF-8; one saved as UTF-16 by an editor (with its byte-order mark) reads too.
QString decodeText(const QByteArray& text) {
    if (text.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(text.mid(2));
    if (text.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(text.mid(2));
    if (text.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(text.mid(3));
    return QString::fromUtf8(text);
}

} // namespace

TRegValue TRegValue::fromDouble(double v) {
    QByteArray bytes(8, '\0');
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    qToLittleEndian(bits, bytes.data());
    return fromBinary(bytes);
}

std::optional<double> TRegValue::toDouble() const {
    if (kind != RegKind::Binary || binary.size() != 8)
        return std::nullopt;
    const quint64 bits = qFromLittleEndian<quint64>(binary.constData());
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

void TRegistryFile::Key::set(const QString& name, const TRegValue& value) {
    const QString folded = name.toCaseFolded();
    const auto at = index.constFind(folded);
    if (at != index.constEnd()) {
        values[*at].second = value;
        return;
    }
    index.insert(folded, int(values.size()));
    values.append({name, value});
}

void TRegistryFile::Key::remove(const QString& name) {
    const int at = find(name);
    if (at < 0)
        return;
    values.removeAt(at);
    index.remove(name.toCaseFolded());
    for (auto it = index.begin(); it != index.end(); ++it)
        if (it.value() > at)
            --it.value();
}

TRegistryFile::TRegistryFile(const QString& filePath) : m_filePath(filePath) {
    reload();
}

QString TRegistryFile::normalizedPath(const QString& path) {
    const QStringList parts = path.split('\\', Qt::SkipEmptyParts);
    return parts.join('\\');
}

TRegistryFile::KeyMap TRegistryFile::parse(const QByteArray& text, int* badLines) {
    KeyMap keys;
    int bad = 0;
    Key* current = nullptr;
    const QStringList lines = decodeText(text).split('\n');
    for (QString line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            const QString path = normalizedPath(line.mid(1, line.size() - 2));
            // The file's own keys always come with their parents; restore any that a
            // damaged file lost so that key enumeration stays consistent.
            for (QString p = path; !p.isEmpty(); p = parentOf(p))
                keys.try_emplace(lower(p), Key{p, {}});
            current = path.isEmpty() ? nullptr : &keys[lower(path)];
            if (!current)
                ++bad;
            continue;
        }
        qsizetype pos = 0;
        const auto name = unquote(line, pos);
        if (!current || !name || pos >= line.size() || line[pos] != '=') {
            ++bad;
            continue;
        }
        const auto value = parseData(line.mid(pos + 1));
        if (!value) {
            ++bad;
            continue;
        }
        current->set(*name, *value);
    }
    if (badLines)
        *badLines = bad;
    return keys;
}

QByteArray TRegistryFile::serialize(const KeyMap& keys) {
    QString out = QString::fromUtf8(kFileHeader) + '\n';
    for (const auto& [lowerPath, key] : keys) {
        out += '\n';
        out += '[' + key.path + "]\n";
        for (const auto& [name, value] : key.values)
            out += quote(name) + '=' + formatData(value) + '\n';
    }
    return out.toUtf8();
}

bool TRegistryFile::loadFrom(KeyMap& keys, int* badLines) const {
    QFile file(m_filePath);
    if (!file.exists()) {
        keys.clear();
        if (badLines)
            *badLines = 0;
        return true;
    }
    if (file.size() > DamagedStore::kLargestStore) {
        keys.clear();
        if (badLines)
            *badLines = 0;
        return DamagedStore::keep(m_filePath, DamagedStore::Damage::TooLarge);
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int bad = 0;
    keys = parse(file.readAll(), &bad);
    if (badLines)
        *badLines = bad;
    // What could not be read is lost at the next write unless the original is kept.
    return bad == 0 || DamagedStore::keep(m_filePath, DamagedStore::Damage::Unreadable);
}

void TRegistryFile::reload() {
    m_journal.clear();
    int bad = 0;
    if (!loadFrom(m_keys, &bad))
        qCWarning(lcVidorra) << "registry file" << m_filePath << "unreadable";
    else if (bad > 0)
        qCWarning(lcVidorra) << "registry file" << m_filePath << ":" << bad
                             << "unreadable lines skipped";
}

void TRegistryFile::apply(KeyMap& keys, const Change& c) {
    const QString lp = lower(c.path);
    switch (c.op) {
    case Op::CreateKey:
        for (QString p = c.path; !p.isEmpty(); p = parentOf(p))
            keys.try_emplace(lower(p), Key{p, {}});
        break;
    case Op::DeleteKey: {
        const QString prefix = lp + '\\';
        for (auto it = keys.begin(); it != keys.end();) {
            if (it->first == lp || it->first.startsWith(prefix))
                it = keys.erase(it);
            else
                ++it;
        }
        break;
    }
    case Op::SetValue: {
        auto it = keys.find(lp);
        if (it == keys.end()) {
            // Another writer removed the key meanwhile: our write recreates it, as the
            // value was written after the key was opened.
            apply(keys, Change{Op::CreateKey, c.path, {}, {}});
            it = keys.find(lp);
        }
        it->second.set(c.name, c.value);
        break;
    }
    case Op::DeleteValue: {
        auto it = keys.find(lp);
        if (it != keys.end()) {
            it->second.remove(c.name);
        }
        break;
    }
    }
}

bool TRegistryFile::keyExists(const QString& path) const {
    const QString p = normalizedPath(path);
    return !p.isEmpty() && m_keys.count(lower(p)) > 0;
}

bool TRegistryFile::createKey(const QString& path) {
    const QString p = normalizedPath(path);
    if (p.isEmpty())
        return false;
    if (keyExists(p))
        return true;
    Change c{Op::CreateKey, p, {}, {}};
    apply(m_keys, c);
    m_journal.push_back(c);
    return true;
}

bool TRegistryFile::deleteKey(const QString& path) {
    const QString p = normalizedPath(path);
    if (!keyExists(p))
        return false;
    Change c{Op::DeleteKey, p, {}, {}};
    apply(m_keys, c);
    m_journal.push_back(c);
    return true;
}

QByteArray TRegistryFile::exportKey(const QString& path) const {
    const QString p = lower(normalizedPath(path));
    if (p.isEmpty() || !keyExists(p))
        return {};
    const QString prefix = p + '\\';
    KeyMap keys;
    for (const auto& [lp, key] : m_keys)
        if (lp == p || lp.startsWith(prefix))
            keys.emplace(lp, key);
    return serialize(keys);
}

QStringList TRegistryFile::subKeyNames(const QString& path) const {
    const QString p = lower(normalizedPath(path));
    const QString prefix = p.isEmpty() ? QString() : p + '\\';
    QStringList names;
    for (const auto& [lp, key] : m_keys) {
        if (!lp.startsWith(prefix) || lp.size() == prefix.size())
            continue;
        if (lp.indexOf('\\', prefix.size()) < 0)
            names << key.path.mid(prefix.size());
    }
    return names;
}

QStringList TRegistryFile::valueNames(const QString& path) const {
    QStringList names;
    auto it = m_keys.find(lower(normalizedPath(path)));
    if (it != m_keys.end())
        for (const auto& v : it->second.values)
            names << v.first;
    return names;
}

std::optional<TRegValue> TRegistryFile::value(const QString& path, const QString& name) const {
    auto it = m_keys.find(lower(normalizedPath(path)));
    if (it == m_keys.end())
        return std::nullopt;
    const int at = it->second.find(name);
    if (at < 0)
        return std::nullopt;
    return it->second.values[at].second;
}

bool TRegistryFile::setValue(const QString& path, const QString& name, const TRegValue& v) {
    const QString p = normalizedPath(path);
    if (!keyExists(p))
        return false;
    Change c{Op::SetValue, p, name, v};
    apply(m_keys, c);
    m_journal.push_back(c);
    return true;
}

bool TRegistryFile::deleteValue(const QString& path, const QString& name) {
    const QString p = normalizedPath(path);
    if (!value(p, name))
        return false;
    Change c{Op::DeleteValue, p, name, {}};
    apply(m_keys, c);
    m_journal.push_back(c);
    return true;
}

bool TRegistryFile::commit() {
    if (m_journal.empty())
        return true;
    KeyMap fresh;
    int bad = 0;
    if (!loadFrom(fresh, &bad))
        return false;
    for (const Change& c : m_journal)
        apply(fresh, c);
    if (!writeFileAtomically(m_filePath, serialize(fresh)))
        return false;
    m_keys = std::move(fresh);
    m_journal.clear();
    return true;
}
