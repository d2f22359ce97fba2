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
        for (QWidget* w : fields())
            layout->addWidget(w);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        router.lists = {{freeze, help, cut, back}, {helpMan}};
        router.windows = {&window};
        router.install();
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowExposed(&window);
    }
    QList<QWidget*> fields() const { return {edit, spin, combo, browser}; }
    void press(QWidget* focus, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        focus->setFocus();
        QCoreApplication::processEvents();
        QTest::keyClick(focus, Qt::Key(key), mods);
    }
};

} // namespace

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

TEST(ShortcutRouter, TextFieldsOtherWindowsAndForwardedKeys) {
    Window w;
    for (QWidget* field : w.fields()) {
        w.log.clear();
        w.press(field, Qt::Key_Space);
        w.press(field, Qt::Key_Left);
        w.press(field, Qt::Key_F1);                        // not typing
        w.press(field, Qt::Key_Left, Qt::ControlModifier); // a command
        // A read-only text types nothing: Space is the freeze command there.
        const bool typing = field != w.browser;
        EXPECT_EQ(w.log, typing ? QStringList({"acHelp", "cam_ReculeLent"})
                                : QStringList({"taFreezeCapture", "acHelp", "cam_ReculeLent"}))
            << field->metaObject()->className();
    }
    w.edit->setText("ab");
    w.press(w.edit, Qt::Key_Space);
    EXPECT_EQ(w.edit->text(), "ab ");

    // The main list wins; a disabled action passes the key on to the manager's list.
    w.log.clear();
    w.help->setEnabled(false);
    w.press(w.button, Qt::Key_F1);
    QWidget other;
    auto* otherButton = new QPushButton("autre", &other);
    other.show();
    (void)QTest::qWaitForWindowExposed(&other);
    w.press(otherButton, Qt::Key_F1); // not a routed window
    // What the full-screen window forwards.
    QKeyEvent forwarded(QEvent::KeyPress, Qt::Key_F7, Qt::NoModifier);
    EXPECT_TRUE(w.router.routeKeyEvent(&forwarded));
    QKeyEvent sent(QEvent::KeyPress, Qt::Key_X, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w.window, &sent);
    EXPECT_EQ(w.log, QStringList({"caHelp", "acCouper", "acCouper"}));
}

TEST(RaccourcisForm, GridListsCaptionedActionsSortedByTheChosenColumn) {
    QStringList log;
    QObject owner;
    const auto add = [&](const char* name, const char* caption, QKeySequence key, const char* sw,
                         const char* token) {
        TSuperAction* a = makeAction(&owner, name, caption, key, log);
        a->setSwitch(sw);
        a->setToken(token);
        return a;
    };
    const QList<TCustomSuperAction*> actions = {
        add("acQuitter", "Quitter", Qt::ALT | Qt::Key_F4, "q", "quit"),
        add("acShowVideoPilotDV", "", {}, "pv", "pilot_video"),
        add("acSourcesFrame", "Panneau Sources", Qt::Key_F2, "sf", "sources_frame"),
        add("saGrab", "Grab!", Qt::Key_F5, "g", "grab"),
        add("acCouper", "Couper", Qt::Key_F7, "k", "cut")};

    TRaccourcisForm form;
    EXPECT_EQ(form.windowTitle(), QString("Les commandes de Vidorra 6.0.6 fr"));
    QTableWidget* grid = form.grid();
    const QStringList headers = {"Fonctions", "Touches", "Switches", "Script"};
    const int widths[] = {238, 80, 60, 100};
    ASSERT_EQ(grid->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]);
    }
    const auto captions = [&](int sortColumn) {
        form.FillShortcutTable(actions, sortColumn);
        QStringList cells;
        for (int r = 0; r < grid->rowCount(); ++r)
            cells << grid->item(r, 0)->text();
        return cells.join(',');
    };
    EXPECT_EQ(captions(0), "Couper,Grab!,Panneau Sources,Quitter");
    EXPECT_EQ(captions(1), "Quitter,Panneau Sources,Grab!,Couper"); // Alt+F4, F2, F5, F7
    EXPECT_EQ(captions(2), "Grab!,Couper,Quitter,Panneau Sources");
    EXPECT_EQ(captions(3), "Couper,Grab!,Quitter,Panneau Sources");
    EXPECT_EQ(captions(99), captions(0)); // a stored value out of range
    EXPECT_EQ(grid->item(1, 1)->text(),
              QKeySequence(Qt::Key_F5).toString(QKeySequence::NativeText));

    int chosen = -1, closed = 0;
    form.onSortColumnChosen = [&](int c) { chosen = c; };
    form.onClosed = [&] { ++closed; };
    emit grid->horizontalHeader()->sectionClicked(2);
    emit grid->cellDoubleClicked(3, 1);
    form.show();
    form.close();
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(log, QStringList({"acQuitter"}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(closed, 1);
}
