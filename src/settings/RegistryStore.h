#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

// Kinds of registry values; reading a value as another kind is a failed read.
enum class RegKind { String, Dword, Binary };

struct TRegValue {
    RegKind kind = RegKind::String;
    QString text;      // String
    quint32 dword = 0; // Dword
    QByteArray binary; // Binary

    static TRegValue fromString(const QString& s) { return {RegKind::String, s, 0, {}}; }
    static TRegValue fromDword(quint32 v) { return {RegKind::Dword, {}, v, {}}; }
    static TRegValue fromBinary(const QByteArray& b) { return {RegKind::Binary, {}, 0, b}; }
    static TRegValue fromDouble(double v);
    std::optional<double> toDouble() const; // 8-byte little-endian IEEE double
    bool operator==(const TRegValue&) const = default;
};

// The per-user registry on Linux: one text file holding keys by their paths
// ("Software\Ardoval\Vidorra"), each value with its kind. Key paths and value names compare
// without regard to case.
//
// Several objects may have the same file open (the parameter store and the preference
// component do): each keeps the changes it made since it last wrote, and commit() re-reads
// the file and applies only those, so neither discards the other's values.
class TRegistryFile {
public:
    explicit TRegistryFile(const QString& filePath);

    const QString& filePath() const { return m_filePath; }

    bool keyExists(const QString& path) const;
    bool createKey(const QString& path);                // with its missing parents
    bool deleteKey(const QString& path);                // with its sub-keys; false when absent
    QStringList subKeyNames(const QString& path) const; // direct children
    QStringList valueNames(const QString& path) const;

    std::optional<TRegValue> value(const QString& path, const QString& name) const;
    bool setValue(const QString& path, const QString& name, const TRegValue& v); // key must exist
    bool deleteValue(const QString& path, const QString& name);

    // The text of a registry file holding only the key at path and its sub-keys (nothing
    // when the key is absent). Appended to a registry file, it brings them back: a key
    // written twice in one file keeps the values of both places.
    QByteArray exportKey(const QString& path) const;

    bool hasPendingChanges() const { return !m_journal.empty(); }
    // Writes this object's changes into the file (atomically). On failure the changes stay
    // pending and the file is untouched.
    bool commit();
    // Forgets pending changes and reloads the file.
    void reload();

    static QString normalizedPath(const QString& path);

    // Parsing and writing the file's text; exposed for tests.
    struct Key {
        QString path;
        QList<QPair<QString, TRegValue>> values; // in insertion order
        // Position of each value in values, by its case-folded name: a key of tens of
        // thousands of values reads in linear time.
        QHash<QString, int> index = {};
        int find(const QString& name) const { return index.value(name.toCaseFolded(), -1); }
        void set(const QString& name, const TRegValue& value);
        void remove(const QString& name);
    };
    using KeyMap = std::map<QString, Key>; // by lower-case path
    static KeyMap parse(const QByteArray& text, int* badLines = nullptr);
    static QByteArray serialize(const KeyMap& keys);

private:
    enum class Op { CreateKey, DeleteKey, SetValue, DeleteValue };
    struct Change {
        Op op;
        QString path;
        QString name;
        TRegValue value;
    };

    static void apply(KeyMap& keys, const Change& c);
    bool loadFrom(KeyMap& keys, int* badLines) const;

    QString m_filePath;
    KeyMap m_keys;
    std::vector<Change> m_journal;
};
