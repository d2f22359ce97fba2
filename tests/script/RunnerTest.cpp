// What the program gives scripts, seen from outside: texts holding #0 handed out whole or
// refused, and script files that are not UTF-8.
#include "KXScript.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The whole literal, its NULs included.
template <size_t N> QByteArray raw(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
}

struct Output {
    int code = -1;
    QByteArray out, err;
};

Output runFile(const QTemporaryDir& dir, const QByteArray& source) {
    const QString path = dir.filePath("script.pas");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(source) != source.size())
        return {};
    f.close();
    QProcess p;
    p.start(QStringLiteral(VIDORRA_SCRIPT_EXE), {path});
    if (!p.waitForFinished(30000))
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

// A #0 is a character as any other: showmessage, an action's text and an error message
// carry the whole text to the standard output and error, as Free Pascal does.
TEST(ScriptRunner, TextsHoldingNulComeOutWhole) {
    QTemporaryDir dir;
    const Output o = runFile(dir, "begin\n  showmessage('a'#0'b');\n  Decalage(#0'j');\n"
                                  "  raise Exception.Create('x'#0'y');\nend.\n");
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, QByteArray("a\0b\nappel Decalage \0j\n", 22));
    EXPECT_EQ(o.err, QByteArray("x\0y (4:3)\n", 10));
}

// In the program's message box the #0 shows as a sign and what follows it stays; a file name
// holding #0 would reach the system cut short, naming another file: it is refused.
TEST(ScriptRunner, MessageBoxShowsNulAndFileNamesWithNulAreRefused) {
    QTemporaryDir dir;
    const QString kept = dir.filePath("a");
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TKXScript script;
    QStringList shown;
    script.showMessage = [&shown](const QString& text) { shown << text; };
    const QString folder = dir.path();
    script.Script =
        QStringList{"procedure Essai(n: Integer);",
                    "begin",
                    "  try",
                    "    case n of",
                    "      0: deletefiletorecyclebin('" + folder + "/a'#0'.txt');",
                    "      1: renamefile('" + folder + "/a'#0'z', '" + folder + "/b');",
                    "      2: renamefile('" + folder + "/a', '" + folder + "/b'#0'z');",
                    "      3: forcedirectories('" + folder + "/c'#0'd');",
                    "      4: showmessage(findfirst('" + folder + "'#0'/x', '*'));",
                    "      5: showmessage(findfirst('" + folder + "', 'a'#0'*'));",
                    "    end;",
                    "  except",
                    "    on E: Exception do showmessage(IntToStr(n) + ' ' + E.Message);",
                    "  end;",
                    "end;",
                    "var n: Integer;",
                    "begin",
                    "  showmessage('a'#0'b');",
                    "  for n := 0 to 5 do Essai(n);",
                    "end."};
    ASSERT_TRUE(script.Compile()) << script.Messages.join('\n').toStdString();
    ASSERT_TRUE(script.Run()) << script.Messages.join('\n').toStdString();
    QStringList expected{QStringLiteral("a\u2400b")};
    for (int n = 0; n <= 5; ++n)
        expected << QString::number(n) +
                        QStringLiteral(" nom de fichier incorrect : il contient le caractère #0");
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"a"});
}

// Old scripts were written in Windows-1252: a file that is not UTF-8 is read so, and a
// warning names its first line that is not; a BOM, a NUL or a cut sequence does no harm.
TEST(ScriptRunner, FilesThatAreNotUtf8AreReadAsWindows1252WithAWarning) {
    QTemporaryDir dir;
    const QString warning = "Attention : le fichier n'est pas en UTF-8 (ligne %1) : il est lu en "
                            "Windows-1252\n";
    Output o = runFile(dir, "begin\n  showmessage('\xC3\xA9t\xC3\xA9');\n"
                            "  showmessage('caf\xE9 \x80 \x9F');\n  showmessage('fin');\nend.\n");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(QString::fromUtf8(o.out), QStringLiteral("été\ncafé € Ÿ\nfin\n"));
    EXPECT_EQ(QString::fromUtf8(o.err), warning.arg(3));

    o = runFile(dir, raw("begin\n  showmessage('a\0b');\nend.\n// \xC3"));
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, QByteArray("a\0b\n", 4));
    EXPECT_EQ(QString::fromUtf8(o.err), warning.arg(4));

    o = runFile(dir, raw("begin\n \0 showmessage('a');\nend.\n"));
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "Erreur (2:2) : caract\xC3\xA8re inattendu #0\n");

    o = runFile(dir, "\xEF\xBB\xBF"
                     "begin showmessage('\xE2\x82\xAC'); end.");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(QString::fromUtf8(o.out), QStringLiteral("€\n"));
    EXPECT_TRUE(o.err.isEmpty());
}

// What is not well-formed UTF-8 is found, wherever it lies in the line.
TEST(ScriptRunner, MalformedUtf8IsFound) {
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xBF",
                            "\xF8\x88\x80\x80\x80", "\xE2\x28\xA1"}) {
        QString warning;
        const QString text =
            TKXScript::DecodeSource(QByteArray("ok\n\xC3\xA9") + bad + "\nok", &warning);
        EXPECT_TRUE(warning.contains("(ligne 2)")) << bad;
        EXPECT_TRUE(text.startsWith(QStringLiteral("ok\n\u00C3\u00A9"))) << bad;
        EXPECT_TRUE(text.endsWith("\nok")) << bad;
    }
    QString warning = "x";
    EXPECT_EQ(TKXScript::DecodeSource("\xF0\x9F\x98\x80\n\xF4\x8F\xBF\xBF", &warning),
              QString::fromUtf8("\xF0\x9F\x98\x80\n\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(warning.isEmpty());
}
