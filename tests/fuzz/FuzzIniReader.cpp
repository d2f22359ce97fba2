// The portable INI file beside the executable, as a user or another program may have edited
// it: its decoding, the parameters loaded from it and saved back, and the preference
// component's sections read through their manager.
#include "IniFile.h"
#include "SettingsFuzz.h"

#include <QHash>

namespace {

const QString kParameterSection = '[' + kStorePath + ']';

// The readable lines of the sections other than the parameters', each with how often it
// occurs. Unreadable ones are dropped by a save, the original being kept beside the file.
QHash<QString, int> OtherLines(const QStringList& lines) {
    QHash<QString, int> out;
    bool inParameters = false;
    for (const QString& line : IniFile::readableLines(lines)) {
        if (IniFile::isSectionHeader(line))
            inParameters = line.trimmed() == kParameterSection;
        if (!inParameters)
            ++out[line];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    fuzz::SettingsSetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024 * 1024)
        return 0;
    const QByteArray bytes = fuzz::Bytes(data, size);
    const QStringList lines = IniFile::decode(bytes);
    FUZZ_CHECK(IniFile::decode(IniFile::encode(lines)) == lines);

    // The preference component's manager, on a copy: its sections read, none lost when it
    // writes the file back.
    const QString copy = fuzz::WorkFile(QStringLiteral("preferences.ini"));
    FUZZ_CHECK(fuzz::WriteWhole(copy, bytes));
    {
        TIniPreferencesMan man(copy);
        fuzz::WalkKeys(man);
    }
    QStringList written;
    FUZZ_CHECK(IniFile::load(copy, written));
    if (IniFile::damaged(bytes, lines))
        FUZZ_CHECK(fuzz::ReadWhole(copy + ".illisible") == bytes);
    QFile::remove(copy + ".illisible");
    const QHash<QString, int> before = OtherLines(lines);
    const QHash<QString, int> after = OtherLines(written);
    for (auto it = before.begin(); it != before.end(); ++it)
        FUZZ_CHECK(after.value(it.key()) >= it.value());

    // The parameters: loaded, saved, loaded again; the other sections survive the save.
    QFile::remove(AppPaths::registryFilePath());
    FUZZ_CHECK(fuzz::WriteWhole(AppPaths::iniFilePath(), bytes));
    fuzz::LoadSaveLoad(spPortable);
    QStringList saved;
    FUZZ_CHECK(IniFile::load(AppPaths::iniFilePath(), saved));
    if (OtherLines(saved) != before) {
        std::fprintf(stderr, "a save of the parameters changed the other sections\n");
        std::abort();
    }
    return 0;
}
