#pragma once

#include "IncrustRec.h"
#include "Preferences.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TparameterList;

// The store mode the parameters are loaded from and saved to.
extern TSavePreferences PrefsMode;

// A persistent setting: a key, a current value and a default. It registers itself with its
// list, which owns it.
class TParameter {
public:
    TParameter(const QString& key, TparameterList& owner);
    virtual ~TParameter() = default;
    TParameter(const TParameter&) = delete;
    TParameter& operator=(const TParameter&) = delete;

    const QString& key() const { return m_key; }

    // Current value from the list's reader; the default where the store has nothing usable.
    virtual void LoadValue() = 0;
    // Current value through the list's writer.
    virtual void SaveValue() = 0;

protected:
    TparameterList& m_owner;

private:
    QString m_key;
};

template <class T> class TTypedParameter : public TParameter {
public:
    TTypedParameter(const QString& key, const T& def, TparameterList& owner)
        : TParameter(key, owner), Value(def), m_default(def) {}

    T Value; // current value, read and written by the whole program
    const T& Default() const { return m_default; }

private:
    T m_default;
};

class TIntegerParameter : public TTypedParameter<int32_t> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

class TRealParameter : public TTypedParameter<double> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

class TBooleanParameter : public TTypedParameter<bool> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

// An empty value always comes back as the default.
class TWideStringParameter : public TTypedParameter<QString> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

class TincrustRecParameter : public TTypedParameter<TincrustRec> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

// One-byte enumerations, stored as integers; a value read back keeps its low 8 bits.
class TByteParameter : public TTypedParameter<uint8_t> {
public:
    using TTypedParameter::TTypedParameter;
    void LoadValue() override;
    void SaveValue() override;
};

class TframeNumberParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TWhenIncrustParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TFormatCaptureParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TstandardDVParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TFrequenceDVParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TRatioDVParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TRaccourcisSortParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};
class TAspectRatioParameter : public TByteParameter {
    using TByteParameter::TByteParameter;
};

// The ordered list of parameters, in registration order, which is also the load and save
// order and so the order of the keys in a new INI file.
class TparameterList {
public:
    explicit TparameterList(const QString& signature);
    ~TparameterList();

    QString StorePath = kStorePath;
    const QString Signature;

    void add(TParameter* p); // takes ownership
    int count() const { return int(m_items.size()); }
    TParameter* at(int i) const { return m_items[size_t(i)].get(); }
    TParameter* find(const QString& key) const; // exact key
    void clear();

    // Load or save every parameter through the store of PrefsMode. SaveAll writes the
    // three header values first; it returns false when the store could not be written.
    void LoadAll();
    bool SaveAll();

    // Exist only while a load or a save runs.
    TReadPreferences* reader() const { return m_reader.get(); }
    TWritePreferences* writer() const { return m_writer.get(); }

private:
    std::vector<std::unique_ptr<TParameter>> m_items;
    std::unique_ptr<TReadPreferences> m_reader;
    std::unique_ptr<TWritePreferences> m_writer;
};
