#pragma once

#include "Preferences.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

class TRegistryFile;

// A store of named values under a current key path (relative to the manager's root), lent
// by the preference component to the action list. Every operation reports success; a failed
// read leaves the caller's default in place.
class TPreferencesMan {
public:
    virtual ~TPreferencesMan() = default;

    virtual bool GetValueNames(QStringList& names) = 0;
    virtual bool GetKeyNames(QStringList& names) = 0;
    virtual bool OpenKey(const QString& name, bool create) = 0;
    virtual bool CloseKey();
    virtual bool WriteString(const QString& name, const QString& text) = 0;
    virtual bool ReadString(const QString& name, QString& text) = 0;
    virtual bool DeleteValue(const QString& name) = 0;
    virtual bool WriteBool(const QString& name, bool value) = 0;
    virtual bool ReadBool(const QString& name, bool& value) = 0;
    virtual bool WriteInteger(const QString& name, int32_t value) = 0;
    virtual bool ReadInteger(const QString& name, int32_t& value) = 0;
    virtual bool WriteFloat(const QString& name, double value) = 0;
    virtual bool ReadFloat(const QString& name, double& value) = 0;

    // Writes pending changes to disk (also done when the manager is destroyed).
    virtual bool Flush() { return true; }

    const QString& currentPath() const { return m_path; }

protected:
    QString childPath(const QString& name) const {
        return m_path.isEmpty() ? name : m_path + '\\' + name;
    }
    QString m_path; // empty = the root
};

// Rectangles as four integers in a sub-key named after them.
bool WriteRect(TPreferencesMan& man, const QString& name, const QRect& rect);
// Succeeds only when all four values are read; rect is untouched otherwise.
bool ReadRect(TPreferencesMan& man, const QString& name, QRect& rect);

// The product key of the registry and its sub-keys.
class TRegPreferencesMan : public TPreferencesMan {
public:
    // rootPath e.g. "Software\Ardoval\Vidorra"; the root is created.
    TRegPreferencesMan(const QString& registryFile, const QString& rootPath);
    ~TRegPreferencesMan() override;

    bool GetValueNames(QStringList& names) override;
    bool GetKeyNames(QStringList& names) override;
    bool OpenKey(const QString& name, bool create) override;
    bool WriteString(const QString& name, const QString& text) override;
    bool ReadString(const QString& name, QString& text) override;
    bool DeleteValue(const QString& name) override;
    bool WriteBool(const QString& name, bool value) override;
    bool ReadBool(const QString& name, bool& value) override;
    bool WriteInteger(const QString& name, int32_t value) override;
    bool ReadInteger(const QString& name, int32_t& value) override;
    bool WriteFloat(const QString& name, double value) override;
    bool ReadFloat(const QString& name, double& value) override;
    bool Flush() override;

private:
    QString fullPath() const;
    std::unique_ptr<TRegistryFile> m_registry;
    QString m_root;
};

// The INI file: section "[]" for the root, "[path]" for a sub-key. The whole file is held in
// memory and written back (only this manager's sections) by Flush or destruction.
class TIniPreferencesMan : public TPreferencesMan {
public:
    explicit TIniPreferencesMan(const QString& iniFile);
    ~TIniPreferencesMan() override;

    bool GetValueNames(QStringList& names) override;
    bool GetKeyNames(QStringList& names) override;
    bool OpenKey(const QString& name, bool create) override;
    bool WriteString(const QString& name, const QString& text) override;
    bool ReadString(const QString& name, QString& text) override;
    bool DeleteValue(const QString& name) override;
    bool WriteBool(const QString& name, bool value) override;
    bool ReadBool(const QString& name, bool& value) override;
    bool WriteInteger(const QString& name, int32_t value) override;
    bool ReadInteger(const QString& name, int32_t& value) override;
    bool WriteFloat(const QString& name, double value) override;
    bool ReadFloat(const QString& name, double& value) override;
    bool Flush() override;

    const QStringList& lines() const { return m_lines; }

private:
    qsizetype sectionHeader(const QString& path) const; // -1 when missing
    qsizetype sectionEnd(qsizetype header) const;       // first line after the section
    qsizetype ensureSection(const QString& path);
    qsizetype findValue(const QString& name) const; // line index, -1 when missing
    bool readRaw(const QString& name, QString& text) const;

    QString m_file;
    QStringList m_lines;
    bool m_dirty = false;
};

// Stores nothing: reads fail, opening and writing succeed and do nothing.
class TNonePreferencesMan : public TPreferencesMan {
public:
    bool GetValueNames(QStringList&) override { return false; }
    bool GetKeyNames(QStringList&) override { return false; }
    bool OpenKey(const QString&, bool) override { return true; }
    bool CloseKey() override { return true; }
    bool WriteString(const QString&, const QString&) override { return true; }
    bool ReadString(const QString&, QString&) override { return false; }
    bool DeleteValue(const QString&) override { return false; }
    bool WriteBool(const QString&, bool) override { return true; }
    bool ReadBool(const QString&, bool&) override { return false; }
    bool WriteInteger(const QString&, int32_t) override { return true; }
    bool ReadInteger(const QString&, int32_t&) override { return false; }
    bool WriteFloat(const QString&, double) override { return true; }
    bool ReadFloat(const QString&, double&) override { return false; }
};
