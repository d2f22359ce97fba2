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
        action.TrueImageIndex = 7;
        action.FalseImageIndex = 8;
        const auto handler = [this](bool state) {
            return [this, state](QObject*) {
                log << QString("%1@%2").arg(state).arg(action.isChecked());
                if (!action.AutoCheck)
                    action.SetChecked(!state);
            };
        };
        action.OnTrueExecute = handler(true);
        action.OnfalseExecute = handler(false);
        action.SetChecked(false);
    }
};

} // namespace

TEST(SuperAction, NamesAreLowerCasedAndImageChangesAreReportedOnce) {
    TSuperAction a;
    a.setSwitch("FS");
    a.setToken("Full_Screen");
    EXPECT_EQ(a.Switch() + a.Token(), "fsfull_screen");
    QList<int> changes;
    QObject::connect(&a, &TCustomSuperAction::OnImageChanged, [&](int i) { changes << i; });
    for (int i : {-1, 3, 3, 4})
        a.setImageindex(i);
    EXPECT_EQ(changes, QList<int>({3, 4}));
}

TEST(SuperAction, InteractiveExecutionPreparesAndAutoChecksBeforeTheHandler) {
    TSuperAction a;
    a.AutoCheck = true;
    QStringList seen;
    bool proceed = true;
    a.Onprepare = [&](QObject*, bool& p) {
        seen << QString("prepare:%1").arg(ActionArguments().size());
        ActionArguments() << "arg";
        p = proceed;
    };
    a.Onexecute = [&](QObject*) {
        seen << QString("run:%1:%2").arg(a.isChecked()).arg(ActionArguments().join(','));
    };
    ActionArguments() = QStringList{"stale"};
    EXPECT_TRUE(a.executeInteractive(&a));
    proceed = false; // cancelled: the state stays
    EXPECT_FALSE(a.executeInteractive(&a));
    a.setEnabled(false); // disabled: not even the preparation runs
    EXPECT_FALSE(a.executeInteractive(&a));
    EXPECT_EQ(seen, QStringList({"prepare:0", "run:1:arg", "prepare:0"}));
    EXPECT_TRUE(a.isChecked());
}

TEST(SuperAction, TogglesBindCaptionsAndHandlersToTheirState) {
    LoggedToggle plain(false);
    EXPECT_EQ(plain.action.imageindex(), 8);
    plain.action.SetChecked(true);
    EXPECT_EQ(plain.action.text() + plain.action.toolTip(), "Enleverhint on");
    EXPECT_EQ(plain.action.imageindex(), 7);
    // Without auto-check the handler of the present state runs and sets the next one.
    plain.action.executeInteractive(&plain.action);
    plain.action.executeInteractive(&plain.action);
    EXPECT_EQ(plain.log, QStringList({"1@1", "0@0"}));

    // Auto-checking: the handler of the state before the click runs while Checked already
    // shows the new one, and the captions are re-bound only at the next execution.
    LoggedToggle autoCheck(true);
    autoCheck.action.executeInteractive(&autoCheck.action);
    EXPECT_EQ(autoCheck.action.text(), "Mettre");
    autoCheck.action.executeInteractive(&autoCheck.action);
    EXPECT_EQ(autoCheck.log, QStringList({"0@1", "1@0"}));
    EXPECT_FALSE(autoCheck.action.isChecked());
}

TEST(SuperAction, MenusAndTriggerTakeTheInteractivePathWithoutQtsOwnToggle) {
    TSuperAction a;
    a.AutoCheck = true;
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
    t.action.setEnabled(false);
    t.action.trigger();
    EXPECT_EQ(t.log, QStringList({"0@0", "1@1"}));
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

    TSuperAction volume; // "Num +" needs the keypad
    volume.ShortCut = QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
    EXPECT_TRUE(volume.matchesKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)));
    EXPECT_FALSE(volume.matchesKey(QKeySequence(Qt::SHIFT | Qt::Key_Plus)));

    TSuperAction back; // a keypad arrow or Enter answers the plain key's shortcut
    back.ShortCut = QKeySequence(Qt::CTRL | Qt::Key_Left);
    back.SecondaryShortcuts = {QKeySequence(Qt::ALT | Qt::Key_Return)};
    EXPECT_TRUE(
        back.matchesKey(QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Left)));
    EXPECT_FALSE(back.matchesKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Left)));
    EXPECT_TRUE(
        back.matchesKey(QKeySequence(Qt::AltModifier | Qt::KeypadModifier | Qt::Key_Enter)));
}
