// The script window on its own: its file states, its recent files, the recorder, the colours.
#include "ScriptForm.h"
#include "KXScript.h"
#include "ScriptHighlighter.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

QString state(const TScriptForm& form) {
    return form.StateLabel->text();
}

// The colour the highlighter gave the character at column of the editor's first line.
QColor colourAt(TScriptForm& form, int line, int column) {
    const QTextBlock block = form.Editor->document()->findBlockByNumber(line);
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (column >= r.start && column < r.start + r.length)
            return r.format.foreground().color();
    return {};
}

} // namespace

TEST(ScriptForm, FileStatesAndRecentFiles) {
    TKXScript script;
    TScriptForm form(script);
    EXPECT_EQ(state(form), "Nouveau");
    EXPECT_EQ(form.fileName(), "script.txt");
    EXPECT_EQ(form.Editor->toPlainText(),
              "//Ecrivez un script entre begin et end.\n"
              "//N'oubliez pas de finir chaque commande par ;\nbegin\n\nend.");
    form.Editor->appendPlainText("// une ligne");
    EXPECT_EQ(state(form), "Modifié");
    EXPECT_TRUE(form.modified());

    QTemporaryDir dir;
    const QString first = dir.filePath("premier.txt");
    ASSERT_TRUE(form.SaveFile(first));
    EXPECT_EQ(state(form), "Enregistré");
    EXPECT_FALSE(form.modified());
    EXPECT_TRUE(QFile(first).exists());
    form.NewFile();
    EXPECT_EQ(state(form), "Nouveau");
    ASSERT_TRUE(form.OpenFile(first));
    EXPECT_EQ(state(form), "Ouvert");
    EXPECT_TRUE(form.Editor->toPlainText().endsWith("// une ligne"));
    EXPECT_FALSE(form.OpenFile(dir.filePath("absent.txt")));
    EXPECT_EQ(form.fileName(), first);

    // Discarding changes is asked; a refusal keeps the text.
    form.Editor->appendPlainText("x");
    int asked = 0;
    form.confirmDiscard = [&] {
        ++asked;
        return false;
    };
    form.acNew->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form.fileName(), first);

    // The 50 newest files, the newest first, each once.
    QStringList many;
    for (int i = 0; i < 60; ++i)
        many << dir.filePath(QString("f%1.txt").arg(i));
    form.setRecentFiles(many);
    EXPECT_EQ(form.recentFiles().size(), TScriptForm::kRecentCount);
    form.confirmDiscard = [] { return true; };
    ASSERT_TRUE(form.SaveFile(many[10]));
    EXPECT_EQ(form.recentFiles().first(), many[10]);
    EXPECT_EQ(form.recentFiles().count(many[10]), 1);
    EXPECT_EQ(form.recentFiles().size(), TScriptForm::kRecentCount);
}

// A script written in Windows-1252 opens as it was written, with a warning under the
// editor; once saved it is UTF-8 and opens without one.
TEST(ScriptForm, OldWindows1252ScriptsOpenWithAWarning) {
    TKXScript script;
    TScriptForm form(script);
    QTemporaryDir dir;
    const QString name = dir.filePath("ancien.txt");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("begin\r\n  showmessage('\xC9t\xE9 \x80');\r\nend.\r\n");
    file.close();
    ASSERT_TRUE(form.OpenFile(name));
    EXPECT_EQ(form.Editor->toPlainText(), QStringLiteral("begin\n  showmessage('Été €');\nend.\n"));
    EXPECT_EQ(form.Memo->toPlainText(),
              QStringLiteral("Attention : le fichier n'est pas en UTF-8 (ligne 2) : il est lu en "
                             "Windows-1252 ; il sera enregistré en UTF-8."));
    ASSERT_TRUE(form.SaveFile(name));
    ASSERT_TRUE(form.OpenFile(name));
    EXPECT_TRUE(form.Editor->toPlainText().contains(QStringLiteral("'Été €'")));
    EXPECT_TRUE(form.Memo->toPlainText().isEmpty());
}

TEST(ScriptForm, RecorderWritesAWholeProgram) {
    TKXScript script;
    TScriptForm form(script);
    form.AppendRecordedLine("    perdu;"); // not recording: nothing
    form.StopMacro();                      // stop without start: nothing
    EXPECT_FALSE(form.Editor->toPlainText().contains("perdu"));
    form.StartMacro();
    form.AppendRecordedLine("    setAbout(True);");
    form.StopMacro();
    const QStringList lines = form.Editor->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("//Macro enregistrée le ")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" à ")));
    EXPECT_EQ(lines.mid(1), (QStringList{"", "begin", "    setAbout(True);", "end."}));
}

TEST(ScriptForm, Colours) {
    TKXScript script;
    TScriptForm form(script);
    form.Editor->setPlainText("begin x := 'a' + 12; // fin\n{ long\ncomment } end.");
    const QColor maroon(128, 0, 0), purple(128, 0, 128), navy(0, 0, 128), green(0, 128, 0),
        blue(0, 0, 255);
    EXPECT_EQ(colourAt(form, 0, 0), maroon);  // begin
    EXPECT_EQ(colourAt(form, 0, 8), blue);    // :=
    EXPECT_EQ(colourAt(form, 0, 11), purple); // 'a'
    EXPECT_EQ(colourAt(form, 0, 17), navy);   // 12
    EXPECT_EQ(colourAt(form, 0, 22), green);  // // fin
    EXPECT_EQ(colourAt(form, 1, 2), green);   // a comment over two lines
    EXPECT_EQ(colourAt(form, 2, 0), green);
    EXPECT_EQ(colourAt(form, 2, 10), maroon); // end
    EXPECT_TRUE(TScriptHighlighter::isReservedWord("BEGIN"));
    EXPECT_FALSE(TScriptHighlighter::isReservedWord("showmessage"));
}
