#include "SuperAction.h"
#include "QtPrinters.h"

#include <QMenu>
#include <gtest/gtest.h>

namespace {

// A toggle action whose handlers log which one ran and what Checked showed.
struct LoggedToggle {
    TtoggleAction action;
    QStringList log;
    explicit LoggedToggle(bool autoCheck) {
        action.AutoCheck = autoCheck;
        action.TrueCaption = "Enlever";
        action.FalseCaption = "Mettre";
        action.TrueHint = "hint on";
        action.FalseHint = "hint off";
        action.TrueImageIndex = 7;
        action.FalseImageIndex = 8;
        action.OnTrueExecute = [this](QObject*) {
            log << QString("true@%1").arg(action.isChecked());
            if (!action.AutoCheck)
                action.SetChecked(false);
        };
        action.OnfalseExecute = [this](QObject*) {
            log << QString("false@%1").arg(action.isChecked());
            if (!action.AutoCheck)
                action.SetChecked(true);
        };
        action.SetChecked(false);
    }
};

} // namespace

TEST(SuperAction, NamesAreLowerCasedAndImageChangesAreReportedOnce) {
    TSuperAction a;
    a.setSwitch("FS");
    a.setToken("Full_Screen");
    EXPECT_EQ(a.Switch(), "fs");
    EXPECT_EQ(a.Token(), "full_screen");

    QList<int> changes;
    QObject::connect(&a, &TCustomSuperAction::OnImageChanged, [&](int i) { changes << i; });
    a.setImageindex(-1); // the initial value
    a.setImageindex(3);
    a.setImageindex(3);
    a.setImageindex(4);
    EXPECT_EQ(changes, QList<int>({3, 4}));
}

TEST(SuperAction, InteractiveExecutionPreparesAndAutoChecksBeforeTheHandler) {
    TSuperAction a;
    a.AutoCheck = true;
    QStringList seen;
    bool proceed = true;
    a.Onprepare = [&](QObject*, bool& p) {
        seen << QString("prepare:%1").arg(ActionArguments().size());
        ActionArguments() << "from prepare";
        p = proceed;
    };
    a.Onexecute = [&](QObject* sender) {
        seen << QString("run:%1:%2:%3")
                    .arg(a.isChecked())
                    .arg(ActionArguments().join(','))
                    .arg(sender == &a);
    };

    ActionArguments() = QStringList{"stale"};
    EXPECT_TRUE(a.executeInteractive(&a));
    EXPECT_EQ(seen, QStringList({"prepare:0", "run:1:from prepare:1"}));
    EXPECT_TRUE(a.isChecked());

    // A cancelled preparation leaves the state alone and runs nothing.
    seen.clear();
    proceed = false;
    EXPECT_FALSE(a.executeInteractive(&a));
    EXPECT_EQ(seen, QStringList({"prepare:0"}));
    EXPECT_TRUE(a.isChecked());

    // Disabled: not even the preparation runs.
    seen.clear();
    proceed = true;
    a.setEnabled(false);
    EXPECT_FALSE(a.executeInteractive(&a));
    EXPECT_TRUE(seen.isEmpty());
}

TEST(SuperAction, ToggleBindsCaptionsHintImageAndHandlerToItsState) {
    LoggedToggle t(false);
    EXPECT_EQ(t.action.text(), "Mettre");
    EXPECT_EQ(t.action.imageindex(), 8);
    t.action.SetChecked(true);
    EXPECT_EQ(t.action.text(), "Enlever");
    EXPECT_EQ(t.action.toolTip(), "hint on");
    EXPECT_EQ(t.action.imageindex(), 7);
    EXPECT_TRUE(t.action.isChecked());

    // Without auto-check the handler of the present state runs and sets the next state.
    t.action.executeInteractive(&t.action);
    t.action.executeInteractive(&t.action);
    EXPECT_EQ(t.log, QStringList({"true@1", "false@0"}));
    EXPECT_TRUE(t.action.isChecked());
    EXPECT_EQ(t.action.text(), "Enlever");
}

TEST(SuperAction, AutoCheckingToggleRunsTheHandlerOfTheStateBeforeTheClick) {
    LoggedToggle t(true);
    t.action.executeInteractive(&t.action);
    // Checked already shows the new state; the captions were not re-bound.
    EXPECT_EQ(t.log, QStringList({"false@1"}));
    EXPECT_TRUE(t.action.isChecked());
    EXPECT_EQ(t.action.text(), "Mettre");
    // The next execution re-binds from the new state.
    t.action.executeInteractive(&t.action);
    EXPECT_EQ(t.log, QStringList({"false@1", "true@0"}));
    EXPECT_FALSE(t.action.isChecked());
}

TEST(SuperAction, MenusAndTriggerTakeTheInteractivePathWithoutQtsOwnToggle) {
    TSuperAction a;
    a.AutoCheck = true;
    a.SetChecked(false);
    QList<bool> seen;
    a.Onexecute = [&](QObject*) { seen << a.isChecked(); };
    QMenu menu;
    menu.addAction(&a);
    a.trigger();
    a.trigger();
    EXPECT_EQ(seen, QList<bool>({true, false}));

    LoggedToggle t(false);
    t.action.trigger();
    t.action.trigger();
    EXPECT_EQ(t.log, QStringList({"false@0", "true@1"}));
    EXPECT_FALSE(t.action.isChecked());

    t.action.setEnabled(false);
    t.action.trigger();
    EXPECT_EQ(t.log.size(), 2);
}

TEST(SuperAction, KeysMatchMainAndSecondaryShortcutsWithKeypadRules) {
    TSuperAction grab;
    grab.ShortCut = QKeySequence(Qt::Key_F5);
    grab.SecondaryShortcuts = {QKeySequence(), QKeySequence("CTRL+G")};
    EXPECT_TRUE(grab.matchesKey(QKeySequence(Qt::Key_F5)));
    EXPECT_TRUE(grab.matchesKey(QKeySequence(Qt::CTRL | Qt::Key_G)));
    EXPECT_FALSE(grab.matchesKey(QKeySequence(Qt::Key_G)));
    EXPECT_FALSE(grab.matchesKey(QKeySequence(Qt::SHIFT | Qt::Key_F5)));
    EXPECT_FALSE(grab.matchesKey(QKeySequence()));

    TSuperAction none; // an empty entry answers nothing
    none.SecondaryShortcuts = {QKeySequence()};
    EXPECT_FALSE(none.matchesKey(QKeySequence(Qt::Key_Space)));

    TSuperAction volume; // "Num +"
    volume.ShortCut = QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
    EXPECT_TRUE(volume.matchesKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)));
    EXPECT_FALSE(volume.matchesKey(QKeySequence(Qt::Key_Plus)));
    EXPECT_FALSE(volume.matchesKey(QKeySequence(Qt::SHIFT | Qt::Key_Plus)));

    TSuperAction back; // Ctrl+Left answers the keypad's arrow too
    back.ShortCut = QKeySequence(Qt::CTRL | Qt::Key_Left);
    EXPECT_TRUE(
        back.matchesKey(QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Left)));
    EXPECT_FALSE(back.matchesKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Left)));

    TSuperAction full; // Alt+Enter from either Enter key
    full.ShortCut = QKeySequence(Qt::ALT | Qt::Key_Return);
    EXPECT_TRUE(
        full.matchesKey(QKeySequence(Qt::AltModifier | Qt::KeypadModifier | Qt::Key_Enter)));
}
