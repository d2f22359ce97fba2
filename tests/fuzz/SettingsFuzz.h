#pragma once

#include "AppPaths.h"
#include "FuzzSupport.h"
#include "ParameterTable.h"
#include "PreferencesMan.h"

#include <QLocale>
#include <QStringList>

// The settings as the whole program sees them: every parameter, in table order, as text
// (reals to the 15 digits the INI file keeps).
namespace fuzz {

// The executable's folder (where the INI file lives) and the user's config folder (where the
// registry file lives) inside the work folder; the user's locale is French.
inline void SettingsSetup() {
    QDir(WorkDir()).mkpath(QStringLiteral("programme"));
    QDir(WorkDir()).mkpath(QStringLiteral("config/Ardoval"));
    qputenv("XDG_CONFIG_HOME", WorkFile(QStringLiteral("config")).toUtf8());
    AppPaths::setExecutablePathOverride(WorkFile(QStringLiteral("programme/vidorra")));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

inline QString Describe(const TincrustRec& r) {
    const TfontRecord& f = r.FontRec;
    return QStringList{r.Incrust1,
                       r.Incrust2,
                       r.FormatDate1,
                       r.FormatDate2,
                       QString::number(r.Decalage, 'g', 15),
                       f.FontName,
                       QString::number(f.FontSize),
                       QString::number(f.FontColor),
                       QString::number(f.FontBold),
                       QString::number(f.FontItalic),
                       QString::number(f.FontUnderline),
                       QString::number(f.FontStrikeOut),
                       QString::number(r.Autofontsize),
                       QString::number(r.BorderSize),
                       QString::number(r.WhatIncrust),
                       QString::number(r.Alignement),
                       QString::number(r.BorderColor),
                       QString::number(r.Xpos),
                       QString::number(r.Ypos)}
        .join(QChar(0x1F));
}

inline QStringList Describe(const TparameterList& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i) {
        const TParameter* p = list.at(i);
        QString v;
        if (auto q = dynamic_cast<const TIntegerParameter*>(p))
            v = QString::number(q->Value);
        else if (auto q = dynamic_cast<const TRealParameter*>(p))
            v = QString::number(q->Value, 'g', 15);
        else if (auto q = dynamic_cast<const TBooleanParameter*>(p))
            v = QString::number(q->Value);
        else if (auto q = dynamic_cast<const TWideStringParameter*>(p))
            v = q->Value;
        else if (auto q = dynamic_cast<const TincrustRecParameter*>(p))
            v = Describe(q->Value);
        else if (auto q = dynamic_cast<const TByteParameter*>(p))
            v = QString::number(q->Value);
        out << p->key() + '=' + v;
    }
    return out;
}

// Loads the parameters from whatever store the program would choose, saves them, loads them
// again: the second load must give what the first gave, since a save followed by a start is
// what every user does.
inline QStringList LoadSaveLoad(TSavePreferences expectedMode) {
    TparameterList list(QStringLiteral("fuzz"));
    CreateParameters(list);
    FUZZ_CHECK(PrefsMode == expectedMode);
    const QStringList first = Describe(list);
    FUZZ_CHECK(SaveParameters(list));
    TparameterList again(QStringLiteral("fuzz"));
    CreateParameters(again);
    const QStringList second = Describe(again);
    if (first != second) {
        for (qsizetype i = 0; i < first.size() && i < second.size(); ++i)
            if (first[i] != second[i])
                std::fprintf(stderr, "loaded: %s\nafter a save: %s\n", qPrintable(first[i]),
                             qPrintable(second[i]));
        std::abort();
    }
    return first;
}

// Every value the preference component's manager finds, read as each kind, and the keys below
// it down to four levels; a key opened and closed again leaves the manager where it was.
inline void WalkKeys(TPreferencesMan& man, int depth = 0) {
    QStringList values;
    if (man.GetValueNames(values)) {
        for (const QString& name : values.mid(0, 32)) {
            QString text;
            bool b;
            int32_t i;
            double d;
            man.ReadString(name, text);
            man.ReadBool(name, b);
            man.ReadInteger(name, i);
            man.ReadFloat(name, d);
        }
    }
    QStringList keys;
    if (depth >= 4 || !man.GetKeyNames(keys))
        return;
    const QString here = man.currentPath();
    for (const QString& key : keys.mid(0, 8)) {
        if (!man.OpenKey(key, false))
            continue;
        WalkKeys(man, depth + 1);
        man.CloseKey();
        FUZZ_CHECK(man.currentPath() == here);
    }
}

} // namespace fuzz
