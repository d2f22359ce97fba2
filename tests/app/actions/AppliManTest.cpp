#include "AppliMan.h"
#include "MornePreferences.h"
#include "QtPrinters.h"
#include "Sandbox.h"

#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

TEST(AppliMan, DeclarationsAndSwitchSyntaxFillVariablesWithTheClassDefault) {
    TKXAppliMan man;
    const auto named = [&](auto* a) {
        man.add(a);
        a->ScriptName = "Nom";
        a->setSwitch("N");
        return a;
    };
    TCustomAbstractAction* nope = named(new TNopeAction);
    EXPECT_EQ(nope->ScriptDeclaration() + nope->SwitchSyntax(), "procedure Nom;/n");
    EXPECT_EQ(nope->Category, "internal");
    TCustomAbstractAction* boolean = named(new TBooleanAction);
    EXPECT_EQ(boolean->SwitchSyntax(), "/n=aBoolean");
    EXPECT_EQ(boolean->ScriptDeclaration(), "procedure Nom(const aBoolean:Boolean);");
    TCustomAbstractAction* check = named(new TCheckAction);
    EXPECT_EQ(check->ScriptDeclaration(),
              "procedure setNom(const fisTrue:Boolean);\r\nprocedure Nom;");
    EXPECT_EQ(check->SwitchSyntax(), "/n +n -n");
    TCustomAbstractAction* text = named(new TWidestringAction);
    text->Variables = "aTitle";
    EXPECT_EQ(text->ScriptDeclaration(), "procedure Nom(const aTitle:widestring);");
    EXPECT_EQ(text->SwitchSyntax(), "/n=aTitle");
    // The rectangle's default depends on which text is made first.
    TCustomAbstractAction* declaredFirst = named(new TRectAction);
    TCustomAbstractAction* switchFirst = named(new TRectAction);
    EXPECT_EQ(declaredFirst->ScriptDeclaration(),
              "procedure Nom(const left,right,top,bottom:integer);");
    EXPECT_EQ(declaredFirst->SwitchSyntax(), "/n=left,right,top,bottom");
    EXPECT_EQ(switchFirst->SwitchSyntax(), "/n=aRect");
    EXPECT_EQ(switchFirst->ScriptDeclaration(), "procedure Nom(const aRect:integer);");
}

TEST(AppliMan, BooleanAndRectangleTexts) {
    for (const char* yes : {"true", " VRAI ", "t", "V", "1", "-3", "  42\t"})
        EXPECT_TRUE(TBooleanAction::textToBool(yes)) << yes;
    for (const char* no : {"", "false", "0", "yes", "1.5", "99999999999999999999"})
        EXPECT_FALSE(TBooleanAction::textToBool(no)) << no;

    QRect r;
    ASSERT_TRUE(TRectAction::parseRectText("  (10, 20, 110, 220) ", r));
    EXPECT_EQ(r, QRect(10, 20, 100, 200));
    EXPECT_EQ(TRectAction::rectText(r), "(10, 20, 110, 220)");
    // Written by hand without blanks, or with values that are not integers.
    ASSERT_TRUE(TRectAction::parseRectText("(1,2,3,4)", r));
    EXPECT_EQ(r, QRect(1, 2, 2, 2));
    ASSERT_TRUE(TRectAction::parseRectText("(-5, x, 5,  )", r));
    EXPECT_EQ(r, QRect(-5, 0, 10, 0));

    TRectAction action;
    action.Value = QRect(1, 2, 3, 4);
    int applied = 0;
    action.OnAfterApply = [&] { ++applied; };
    for (const char* bad : {"", "()", "(1, 2, 3)", "(1, 2, 3, 4, 5)", "1, 2, 3, 4", "(1, 2, 3, 4",
                            "(-2147483648, 0, 2147483647, 0)"})
        action.ApplyText(bad);
    EXPECT_EQ(action.Value, QRect(1, 2, 3, 4));
    action.ApplyText("(0, 0, 568, 132)");
    EXPECT_EQ(action.Value, QRect(0, 0, 568, 132));
    EXPECT_EQ(applied, 1);
}

TEST(AppliMan, CheckActionsInvertAndApplyTheEventsOfTheirNewState) {
    QStringList log;
    TCheckAction check;
    check.TrueCaption = "Masquer";
    check.FalseCaption = "Afficher";
    check.OnBeforeTrueApply = [&] { log << "before true"; };
    check.OnAfterTrueApply = [&] { log << "after true"; };
    check.OnAfterFalseApply = [&] { log << "after false"; };
    check.Execute();
    EXPECT_EQ(check.text(), "Masquer");
    EXPECT_TRUE(check.isChecked());
    check.executeInteractive(&check); // as a shortcut or a menu does
    EXPECT_EQ(check.text(), "Afficher");
    check.OnPrepare = [] { return false; };
    check.Execute();
    EXPECT_FALSE(check.Value);
    EXPECT_EQ(log, QStringList({"before true", "after true", "after false"}));
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
    const auto add = [&](auto* action, const char* sw) {
        man.add(action)->setSwitch(sw);
        return action;
    };
    TCheckAction* help = add(new TCheckAction, "H");
    TCheckAction* about = add(new TCheckAction, "a");
    about->Value = true;
    TCheckAction* options = add(new TCheckAction, "o");
    TRectAction* cam = add(new TRectAction, "cam1");
    TWidestringAction* title = add(new TWidestringAction, "t");
    title->setEnabled(false);
    TKXSwitch sw(man);
    sw.DefaultAction = add(new TWidestringAction, "");
    int closedWidth = -1;
    sw.closeMainWindow = [&] { closedWidth = cam->Value.width(); };
    sw.run({"/quit", "+h", "-a", "/o", "/CAM1=(0, 0, 568, 132)", "/t=x", "/mystery=fell back",
            "cam1=(1, 1, 2, 2)"});
    EXPECT_TRUE(help->Value && options->Value && !about->Value);
    EXPECT_EQ(cam->Value, QRect(0, 0, 568, 132));
    EXPECT_TRUE(title->Value.isEmpty());
    EXPECT_EQ(static_cast<TWidestringAction*>(sw.DefaultAction)->Value, "fell back");
    EXPECT_EQ(closedWidth, 568); // quit after the other commands
    sw.run({"-h"});              // runs once
    EXPECT_TRUE(help->Value);
}
