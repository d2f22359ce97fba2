// The registry file in the user's config folder, as a crash, a full disk or a hand edit may
// have left it: its parsing, its rewriting, the parameters loaded from it and saved back, and
// the preference component's keys read through their manager.
#include "RegistryStore.h"
#include "SettingsFuzz.h"

namespace {

// The program finds its parameters in the registry only when they were written by this very
// executable: the input gets that value appended.
// A file saved as UTF-16 gets it in UTF-16, as an editor would have written it.
QByteArray WithOwnExecutable(const QByteArray& bytes) {
    QString value = "\n[" + kStorePath + "]\n\"ExeName\"=\"";
    for (QChar c : AppPaths::executablePath()) {
        if (c == '\\' || c == '"')
            value += '\\';
        value += c;
    }
    value += "\"\n";
    const bool little = bytes.startsWith("\xFF\xFE"), big = bytes.startsWith("\xFE\xFF");
    if (!little && !big)
        return bytes + value.toUtf8();
    QByteArray out = bytes.left(bytes.size() & ~qsizetype(1));
    for (QChar c : value) {
        const char low = char(c.unicode() & 0xff), high = char(c.unicode() >> 8);
        out.append(little ? low : high).append(little ? high : low);
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

    // What the file says survives its rewriting.
    int bad = 0;
    const TRegistryFile::KeyMap keys = TRegistryFile::parse(bytes, &bad);
    FUZZ_CHECK(bad >= 0);
    const QByteArray text = TRegistryFile::serialize(keys);
    int badAgain = 0;
    const TRegistryFile::KeyMap again = TRegistryFile::parse(text, &badAgain);
    FUZZ_CHECK(badAgain == 0);
    if (again.size() != keys.size())
        std::abort();
    for (auto a = keys.begin(), b = again.begin(); a != keys.end(); ++a, ++b) {
        FUZZ_CHECK(a->first == b->first);
        FUZZ_CHECK(a->second.path == b->second.path);
        FUZZ_CHECK(a->second.values == b->second.values);
    }

    const QString file = AppPaths::registryFilePath();
    QFile::remove(AppPaths::iniFilePath());
    FUZZ_CHECK(fuzz::WriteWhole(file, WithOwnExecutable(bytes)));
    {
        TRegPreferencesMan man(file, QStringLiteral("Software\\Ardoval\\Vidorra"));
        fuzz::WalkKeys(man);
    }
    fuzz::LoadSaveLoad(spRegistre);
    return 0;
}
