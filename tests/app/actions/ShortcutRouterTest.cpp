#include "ShortcutRouter.h"
#include "QtPrinters.h"
#include "RaccourcisForm.h"
#include "SuperAction.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

TSuperAction* makeAction(QObject* parent, const QString& name, const QString& caption,
                         const QKeySequence& key, QStringList& log) {
    auto* a = new TSuperAction(parent);
    a->setObjectName(name);
    a->setText(caption);
    a->ShortCut = key;
    a->Onexecute = [&log, name](QObject*) { log << name; };
    return a;
}

// A main window with a button, text fields and a list of actions, keys routed to it.
struct Window {
    QStringList log;
    QWidget window;
    QPushButton* button = new QPushButton("bouton", &window);
    QLineEdit* edit = new QLineEdit(&window);
    QSpinBox* spin = new QSpinBox(&window);
    QComboBox* combo = new QComboBox(&window);
    QTextBrowser* browser = new QTextBrowser(&window);
    QObject owner;
    TSuperAction* freeze = makeAction(&owner, "taFreezeCapture", "Geler", Qt::Key_Space, log);
    TSuperAction* help = makeAction(&owner, "acHelp", "Aide", Qt::Key_F1, log);
    TSuperAction* helpMan = makeAction(&owner, "caHelp", "Aide KX", Qt::Key_F1, log);
    TSuperAction* cut = makeAction(&owner, "acCouper", "Couper", Qt::Key_F7, log);
    TSuperAction* back =
        makeAction(&owner, "cam_ReculeLent", "Recule", Qt::CTRL | Qt::Key_Left, log);
    ShortcutRouter router;
    int clicks = 0;

    Window() {
        cut->SecondaryShortcuts = {QKeySequence("Ctrl+X")};
        combo->setEditable(true);
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : {static_cast<QWidget*>(button), static_cast<QWidget*>(edit),
                           static_cast<QWidget*>(spin), static_cast<QWidget*>(combo),
                           static_cast<QWidget*>(browser)})
            layout->addWidget(w);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        router.lists = {{freeze, help, cut, back}, {helpMan}};
        router.windows = {&window};
        router.install();
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowExposed(&window);
    }
    void press(QWidget* focus, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        focus->setFocus();
        QCoreApplication::processEvents();
        QTest::keyClick(focus, Qt::Key(key), mods);
    }
};

} // namespace

TEST(ShortcutRouter, TheFirstEnabledMatchOfTheListsInOrderTakesTheKey) {
    QStringList log;
    QObject owner;
    auto* main = makeAction(&owner, "acHelp", "Aide", Qt::Key_F1, log);
    auto* manager = makeAction(&owner, "caHelp", "Aide KX", Qt::Key_F1, log);
    ShortcutRouter router;
    router.lists = {{main}, {manager}};
    EXPECT_TRUE(router.route(QKeySequence(Qt::Key_F1)));
    main->setEnabled(false);
    EXPECT_TRUE(router.route(QKeySequence(Qt::Key_F1)));
    manager->setEnabled(false);
    EXPECT_FALSE(router.route(QKeySequence(Qt::Key_F1)));
    EXPECT_FALSE(router.route(QKeySequence(Qt::Key_F2)));
    EXPECT_EQ(log, QStringList({"acHelp", "caHelp"}));
}

TEST(ShortcutRouter, KeysPressedInTheWindowReachTheActionsNotTheFocusedButton) {
    Window w;
    // A shortcut of Qt's own on the same key does not take it first.
    QAction qtShortcut(&w.window);
    qtShortcut.setShortcut(Qt::Key_F1);
    w.window.addAction(&qtShortcut);
    int qtFired = 0;
    QObject::connect(&qtShortcut, &QAction::triggered, [&] { ++qtFired; });
    w.press(w.button, Qt::Key_Space);
    w.press(w.button, Qt::Key_F1);
    w.press(w.button, Qt::Key_Left, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(w.log, QStringList({"taFreezeCapture", "acHelp", "cam_ReculeLent"}));
    EXPECT_EQ(w.clicks, 0);
    EXPECT_EQ(qtFired, 0);
    // A key no action answers still reaches the button.
    w.press(w.button, Qt::Key_Space);
    w.freeze->setEnabled(false);
    w.press(w.button, Qt::Key_Space);
    EXPECT_EQ(w.clicks, 1);
}

TEST(ShortcutRouter, TextFieldsKeepTheKeysTheyType) {
    Window w;
    for (QWidget* field : {static_cast<QWidget*>(w.edit), static_cast<QWidget*>(w.spin),
                           static_cast<QWidget*>(w.combo)}) {
        w.log.clear();
        w.press(field, Qt::Key_Space);
        w.press(field, Qt::Key_Left);
        w.press(field, Qt::Key_F1);                        // not typing
        w.press(field, Qt::Key_Left, Qt::ControlModifier); // a command
        EXPECT_EQ(w.log, QStringList({"acHelp", "cam_ReculeLent"}))
            << field->metaObject()->className();
    }
    w.edit->setText("ab");
    w.press(w.edit, Qt::Key_Space);
    EXPECT_EQ(w.edit->text(), "ab ");
    // A read-only text types nothing: Space is the freeze command there.
    w.log.clear();
    w.press(w.browser, Qt::Key_Space);
    EXPECT_EQ(w.log, QStringList({"taFreezeCapture"}));
}

TEST(ShortcutRouter, OtherWindowsAndForwardedKeys) {
    Window w;
    QWidget other;
    auto* otherButton = new QPushButton("autre", &other);
    other.show();
    (void)QTest::qWaitForWindowExposed(&other);
    otherButton->setFocus();
    QTest::keyClick(otherButton, Qt::Key_F1);
    EXPECT_TRUE(w.log.isEmpty());

    // The full-screen window forwards what it receives.
    QKeyEvent forwarded(QEvent::KeyPress, Qt::Key_F7, Qt::NoModifier);
    EXPECT_TRUE(w.router.routeKeyEvent(&forwarded));
    QKeyEvent sent(QEvent::KeyPress, Qt::Key_X, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w.window, &sent);
    EXPECT_EQ(w.log, QStringList({"acCouper", "acCouper"}));
}

TEST(RaccourcisForm, GridListsCaptionedActionsSortedByTheChosenColumn) {
    QStringList log;
    QObject owner;
    auto* grab = makeAction(&owner, "saGrab", "Grab!", Qt::Key_F5, log);
    grab->setSwitch("g");
    grab->setToken("grab");
    auto* quit = makeAction(&owner, "acQuitter", "Quitter", Qt::ALT | Qt::Key_F4, log);
    quit->setSwitch("q");
    quit->setToken("quit");
    auto* options = makeAction(&owner, "acOptionsFrame", "Panneau Options", Qt::Key_F10, log);
    options->setSwitch("of");
    options->setToken("options_frame");
    auto* pilot = makeAction(&owner, "acShowVideoPilotDV", "", QKeySequence(), log);
    pilot->setSwitch("pv");

    TRaccourcisForm form;
    EXPECT_EQ(form.windowTitle(), QString("Les commandes de Vidorra 6.0.6 fr"));
    QTableWidget* grid = form.grid();
    ASSERT_EQ(grid->columnCount(), 4);
    const QStringList headers = {"Fonctions", "Touches", "Switches", "Script"};
    const int widths[] = {238, 80, 60, 100};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]);
    }

    const QList<TCustomSuperAction*> actions = {quit, pilot, options, grab};
    const auto column = [&](int c) {
        QStringList cells;
        for (int r = 0; r < grid->rowCount(); ++r)
            cells << grid->item(r, c)->text();
        return cells;
    };
    form.FillShortcutTable(actions, 0);
    EXPECT_EQ(column(0), QStringList({"Grab!", "Panneau Options", "Quitter"}));
    EXPECT_EQ(column(1)[0], QKeySequence(Qt::Key_F5).toString(QKeySequence::NativeText));
    form.FillShortcutTable(actions, 2);
    EXPECT_EQ(column(2), QStringList({"g", "of", "q"}));
    form.FillShortcutTable(actions, 3);
    EXPECT_EQ(column(3), QStringList({"grab", "options_frame", "quit"}));
    form.FillShortcutTable(actions, 1);
    EXPECT_EQ(column(1).size(), 3);
    form.FillShortcutTable(actions, 99); // a stored value out of range sorts by caption
    EXPECT_EQ(column(0), QStringList({"Grab!", "Panneau Options", "Quitter"}));

    int chosen = -1, closed = 0;
    form.onSortColumnChosen = [&](int c) { chosen = c; };
    form.onClosed = [&] { ++closed; };
    emit grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(chosen, 2);
    emit grid->cellDoubleClicked(2, 1);
    EXPECT_EQ(log, QStringList({"acQuitter"}));
    form.show();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(closed, 1);
}
