#pragma once

#include <QRect>
#include <QString>

// Where the actions keep their values between runs (the preference store implements it):
// values are read with a default for what is not stored, and a write says whether it
// reached the store.
class IActionStore {
public:
    virtual ~IActionStore() = default;
    virtual bool ReadBool(const QString& name, bool def) = 0;
    virtual QString ReadText(const QString& name, const QString& def) = 0;
    virtual QRect ReadRect(const QString& name, const QRect& def) = 0;
    [[nodiscard]] virtual bool WriteBool(const QString& name, bool value) = 0;
    [[nodiscard]] virtual bool WriteText(const QString& name, const QString& value) = 0;
    [[nodiscard]] virtual bool WriteRect(const QString& name, const QRect& value) = 0;
};
