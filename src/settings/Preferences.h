#pragma once

#include "IncrustRec.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

class TRegistryFile;

// Where the settings live.
enum TSavePreferences : uint8_t {
    spRegistre = 0, // the per-user registry
    spPortable = 1, // the INI file beside the executable
    spNone = 2,     // nowhere
};

// Marker for an empty text in the stores (an empty value reads as "use the default").
inline const QString kEmptyMarker = QStringLiteral("#@vide§#");
// Marker of a line break inside an INI value.
inline const QString kLineBreakMarker = QStringLiteral("#@crlf§#");

// The section (INI) or key path (registry) of the parameter store.
inline const QString kStorePath = QStringLiteral("\\Software\\Ardoval\\Vidorra");

// Reads the parameter store; lives for one load. Every read returns the default where the
// store has nothing usable.
class TReadPreferences {
public:
    TReadPreferences(const QString& storePath, TSavePreferences mode);
    ~TReadPreferences();

    bool GetBool(const QString& key, bool def) const;
    int32_t GetInteger(const QString& key, int32_t def) const;
    double GetReal(const QString& key, double def) const;
    QString GetText(const QString& key, const QString& def) const;
    TincrustRec GetIncrustRec(const QString& key, const TincrustRec& def) const;
    TfontRecord GetFontRec(const QString& key, const TfontRecord& def) const;

private:
    // Raw text of a key in the parameter section (INI mode); nullopt when missing.
    std::optional<QString> iniValue(const QString& key) const;
    int32_t regInteger(const QString& path, const QString& name, int32_t def) const;
    bool regBool(const QString& path, const QString& name, bool def) const;
    double regReal(const QString& path, const QString& name, double def) const;
    QString regText(const QString& path, const QString& name, const QString& def) const;

    QString m_section; // "[" + store path + "]"
    QString m_path;    // registry key path
    TSavePreferences m_mode;
    std::unique_ptr<TRegistryFile> m_registry; // mode 0
    QStringList m_lines;                       // mode 1
};

// Writes the parameter store; lives for one save. commit() (or the destructor) writes the
// registry changes or the INI file; a failed write leaves the old store as it was.
class TWritePreferences {
public:
    TWritePreferences(const QString& storePath, TSavePreferences mode);
    ~TWritePreferences();

    void PutBool(const QString& key, bool value);
    void PutInteger(const QString& key, int32_t value);
    void PutReal(const QString& key, double value);
    void PutText(const QString& key, const QString& value);
    void PutIncrustRec(const QString& key, const TincrustRec& value);
    void PutFontRec(const QString& key, const TfontRecord& value);

    bool commit();

private:
    void putIniLine(const QString& key, const QString& value);
    void putRecord(const QString& key, const TincrustRec& value, bool fontOnly);

    QString m_section;
    QString m_path;
    TSavePreferences m_mode;
    std::unique_ptr<TRegistryFile> m_registry;
    QStringList m_lines;
    bool m_committed = false;
};

// Conversions of the INI medium, in the user's locale; exposed for tests.
namespace IniText {
QString fromInteger(int32_t v);
int32_t toInteger(const QString& text); // 0 for a text that is not an integer
QString fromBool(bool v);
bool toBool(const QString& text); // "0" is false, anything else true
QString fromReal(double v);
double toReal(const QString& text); // 0 for a text that is not a number
// A value is one line of the file: line breaks inside a text are stored as a marker and
// come back as CR LF.
QString escapeLineBreaks(const QString& text);
QString unescapeLineBreaks(const QString& text);
} // namespace IniText
