#include "AppliMan.h"
#include "MornePreferences.h"
#include "QtPrinters.h"
#include "Sandbox.h"

#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

TEST(AppliMan, DeclarationsAndSwitchSyntaxFillVariablesWithTheClassDefault) {
    TKXAppliMan man;
    auto* nope = man.add(new TNopeAction);
    nope->ScriptName = "Quit";
    nope->setSwitch("Q");
    EXPECT_EQ(nope->ScriptDeclaration(), "procedure Quit;");
    EXPECT_EQ(nope->SwitchSyntax(), "/q");

    auto* boolean = man.add(new TBooleanAction);
    boolean->ScriptName = "Mute";
    boolean->setSwitch("mu");
    EXPECT_EQ(boolean->SwitchSyntax(), "/mu=aBoolean");
    EXPECT_EQ(boolean->ScriptDeclaration(), "procedure Mute(const aBoolean:Boolean);");

    auto* check = man.add(new TCheckAction);
    check->ScriptName = "Help";
    check->setSwitch("h");
    EXPECT_EQ(check->ScriptDeclaration(),
              "procedure setHelp(const fisTrue:Boolean);\r\nprocedure Help;");
    EXPECT_EQ(check->SwitchSyntax(), "/h +h -h");

    auto* text = man.add(new TWidestringAction);
    text->ScriptName = "Title";
    text->setSwitch("t");
    text->Variables = "aTitle";
    EXPECT_EQ(text->ScriptDeclaration(), "procedure Title(const aTitle:widestring);");
    EXPECT_EQ(text->SwitchSyntax(), "/t=aTitle");

    // The rectangle's default depends on which text is made first.
    TRectAction declaredFirst, switchFirst;
    declaredFirst.ScriptName = switchFirst.ScriptName = "FormSave";
    declaredFirst.setSwitch("fsave");
    switchFirst.setSwitch("fsave");
    EXPECT_EQ(declaredFirst.ScriptDeclaration(),
              "procedure FormSave(const left,right,top,bottom:integer);");
    EXPECT_EQ(declaredFirst.SwitchSyntax(), "/fsave=left,right,top,bottom");
    EXPECT_EQ(switchFirst.SwitchSyntax(), "/fsave=aRect");
    EXPECT_EQ(switchFirst.ScriptDeclaration(), "procedure FormSave(const aRect:integer);");

    EXPECT_EQ(nope->Category, "internal");
    check->Clear();
    EXPECT_TRUE(check->ScriptName.isEmpty());
    EXPECT_TRUE(check->Category.isEmpty());
}

TEST(AppliMan, BooleanTexts) {
    for (const char* yes : {"true", " VRAI ", "t", "V", "1", "-3", "  42\t"})
        EXPECT_TRUE(TBooleanAction::textToBool(yes)) << yes;
    for (const char* no : {"", "false", "0", "faux", "yes", "1.5", "tr ue", "99999999999999999999"})
        EXPECT_FALSE(TBooleanAction::textToBool(no)) << no;
}

TEST(AppliMan, RectangleText) {
    QRect r;
    ASSERT_TRUE(TRectAction::parseRectText("  (10, 20, 110, 220) ", r));
    EXPECT_EQ(r, QRect(10, 20, 100, 200));
    EXPECT_EQ(TRectAction::rectText(r), "(10, 20, 110, 220)");
    // Written by hand without blanks, or with odd values.
    ASSERT_TRUE(TRectAction::parseRectText("(1,2,3,4)", r));
    EXPECT_EQ(r, QRect(1, 2, 2, 2));
    ASSERT_TRUE(TRectAction::parseRectText("(-5, x, 5,  )", r));
    EXPECT_EQ(r, QRect(-5, 0, 10, 0));

    TRectAction action;
    action.Value = QRect(1, 2, 3, 4);
    int applied = 0;
    action.OnAfterApply = [&] { ++applied; };
    for (const char* bad : {"", "()", "(1, 2, 3)", "(1, 2, 3, 4, 5)", "1, 2, 3, 4", "(1, 2, 3, 4",
                            "[1, 2, 3, 4]", "(-2147483648, 0, 2147483647, 0)"}) {
        action.ApplyText(bad);
        EXPECT_EQ(action.Value, QRect(1, 2, 3, 4)) << bad;
    }
    EXPECT_EQ(applied, 0);
    action.ApplyText("(0, 0, 568, 132)");
    EXPECT_EQ(action.Value, QRect(0, 0, 568, 132));
    EXPECT_EQ(applied, 1);
}

TEST(AppliMan, ApplyRunsItsEventsAndCheckActionsFollowTheirState) {
    QStringList log;
    TBooleanAction boolean;
    boolean.OnBeforeApply = [&] { log << "before"; };
    boolean.OnAfterApply = [&] { log << QString("after %1").arg(boolean.Value); };
    boolean.ApplyText("vrai");
    EXPECT_EQ(log, QStringList({"before", "after 1"}));

    TCheckAction check;
    check.TrueCaption = "Masquer";
    check.FalseCaption = "Afficher";
    check.TrueImageIndex = 4;
    check.OnBeforeTrueApply = [&] { log << "before true"; };
    check.OnAfterTrueApply = [&] { log << "after true"; };
    check.OnBeforeFalseApply = [&] { log << "before false"; };
    check.OnAfterFalseApply = [&] { log << "after false"; };
    log.clear();
    check.Execute(); // inverts
    EXPECT_TRUE(check.Value);
    EXPECT_EQ(check.text(), "Masquer");
    EXPECT_EQ(check.imageindex(), 4);
    EXPECT_TRUE(check.isChecked());
    // Through the interactive path, as a shortcut or a menu does.
    check.executeInteractive(&check);
    EXPECT_FALSE(check.Value);
    EXPECT_EQ(check.text(), "Afficher");
    EXPECT_EQ(log, QStringList({"before true", "after true", "before false", "after false"}));

    log.clear();
    check.OnPrepare = [] { return false; };
    check.Execute();
    EXPECT_FALSE(check.Value);
    EXPECT_TRUE(log.isEmpty());
}

TEST(AppliMan, RecordingWritesOneLinePerOutermostApplication) {
    TKXAppliMan man;
    auto* quit = man.add(new TNopeAction);
    quit->ScriptName = "Quit";
    auto* help = man.add(new TCheckAction);
    help->ScriptName = "Help";
    auto* script = man.add(new TCheckAction);
    script->ScriptName = "Script";
    auto* title = man.add(new TWidestringAction);
    title->ScriptName = "Title";
    auto* cam = man.add(new TRectAction);
    cam->ScriptName = "raCam1";
    // Applying the camera rectangle applies the title too: only the outer one is recorded.
    cam->OnAfterApply = [&] { title->ApplyText("nested"); };

    quit->Apply(); // not recording yet
    man.recording = true;
    QStringList signalled;
    QObject::connect(&man, &TKXAppliMan::lineRecorded, [&](const QString& l) { signalled << l; });
    quit->Execute();
    help->Execute();
    script->Execute();
    title->ApplyText("l'été");
    cam->ApplyText("(10, 20, 30, 40)");
    EXPECT_EQ(man.recordedLines, QStringList({"    Quit;", "    setHelp(True);",
                                              "    Title('l''été');", "    raCam1(10,20,30,40);"}));
    EXPECT_EQ(signalled, man.recordedLines);
    EXPECT_FALSE(man.applying());
}

namespace {

struct Persisted {
    TKXAppliMan man;
    TBooleanAction* boolean = man.add(new TBooleanAction);
    TCheckAction* check = man.add(new TCheckAction);
    TWidestringAction* text = man.add(new TWidestringAction);
    TRectAction* rect = man.add(new TRectAction);
    TRectAction* excluded = man.add(new TRectAction);
    TNopeAction* nope = man.add(new TNopeAction);
    int rectApplied = 0;
    Persisted() {
        boolean->ScriptName = "Notify";
        check->ScriptName = "Help";
        text->ScriptName = "Titre";
        text->DefaultValue = "défaut";
        rect->ScriptName = "FormSave";
        rect->ApplyWhenLoad = true;
        rect->OnDefault = [this] { rect->Value = QRect(5, 5, 700, 459); };
        rect->OnAfterApply = [this] { ++rectApplied; };
        excluded->ScriptName = "Cam2";
        excluded->IncludePrefs = false;
        nope->ScriptName = "Quit";
    }
};

} // namespace

TEST(AppliMan, PersistedActionsRoundTripThroughThePortableStore) {
    Sandbox box;
    QWidget owner;
    {
        TMornePreferences prefs(&owner);
        prefs.titre = "Vidorra";
        prefs.SetMode(spPortable);
        Persisted p;
        p.man.LoadFromPrefs(prefs); // nothing stored: defaults
        EXPECT_FALSE(p.boolean->Value);
        EXPECT_EQ(p.text->Value, "défaut");
        EXPECT_EQ(p.rect->Value, QRect(5, 5, 700, 459));
        EXPECT_EQ(p.rectApplied, 1);

        p.boolean->Value = true;
        p.check->Value = true;
        p.text->Value = "Ma \"caméra\" = 1; [x]";
        p.rect->BeforeSave = [&] { p.rect->Value = QRect(-10, 20, 640, 480); };
        p.excluded->Value = QRect(1, 1, 1, 1);
        EXPECT_TRUE(p.man.SaveToPrefs(prefs));
        p.man.OnSave = [] { return false; };
        EXPECT_FALSE(p.man.SaveToPrefs(prefs));
    }
    ASSERT_TRUE(QFile::exists(box.path("bin/Vidorra.ini")));
    const QByteArray ini = Sandbox::read(box.path("bin/Vidorra.ini"));
    const QString iniText =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(ini.constData()), ini.size() / 2);
    EXPECT_TRUE(iniText.contains("FormSave"));
    EXPECT_FALSE(iniText.contains("Cam2"));

    TMornePreferences prefs(&owner);
    prefs.titre = "Vidorra";
    prefs.SetMode(spPortable);
    Persisted p;
    p.man.LoadFromPrefs(prefs);
    EXPECT_TRUE(p.boolean->Value);
    EXPECT_TRUE(p.check->Value);
    EXPECT_EQ(p.text->Value, "Ma \"caméra\" = 1; [x]");
    EXPECT_EQ(p.rect->Value, QRect(-10, 20, 640, 480));
    EXPECT_EQ(p.rectApplied, 1);
    EXPECT_EQ(p.excluded->Value, QRect());

    // Without a store every write fails and the manager says so.
    prefs.SetMode(spNone);
    EXPECT_FALSE(p.man.SaveToPrefs(prefs));
}

TEST(AppliMan, ManagerCommandLineSetsChecksAndAppliesTexts) {
    TKXAppliMan man;
    auto* help = man.add(new TCheckAction);
    help->setSwitch("H");
    auto* about = man.add(new TCheckAction);
    about->setSwitch("a");
    about->Value = true;
    auto* options = man.add(new TCheckAction);
    options->setSwitch("o");
    auto* cam = man.add(new TRectAction);
    cam->setSwitch("cam1");
    auto* title = man.add(new TWidestringAction);
    title->setSwitch("t");
    title->setEnabled(false);
    auto* fallback = man.add(new TWidestringAction);

    TKXSwitch sw(man);
    sw.DefaultAction = fallback;
    QStringList log;
    sw.closeMainWindow = [&] { log << QString("close %1").arg(cam->Value.width()); };
    sw.run({"/quit", "+h", "-a", "/o", "/CAM1=(0, 0, 568, 132)", "/t=x", "/mystery=fell back",
            "cam1=(1, 1, 2, 2)"});
    EXPECT_TRUE(help->Value);
    EXPECT_FALSE(about->Value);
    EXPECT_TRUE(options->Value);
    EXPECT_EQ(cam->Value, QRect(0, 0, 568, 132));
    EXPECT_TRUE(title->Value.isEmpty());
    EXPECT_EQ(fallback->Value, "fell back");
    EXPECT_TRUE(sw.quitRequested());
    EXPECT_EQ(log, QStringList({"close 568"}));

    sw.run({"-h"}); // runs once
    EXPECT_TRUE(help->Value);
}
