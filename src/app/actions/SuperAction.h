#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Arguments of the action being executed: executing an action clears it first, then a
// preparation handler or the command runner fills it. One list for the whole process.
QStringList& ActionArguments();

// An action of the main window's list: a QAction that can also be named on the command
// line (Switch) or in a script (Token), with main and secondary shortcuts that the
// program's own shortcut router dispatches (Qt's shortcut map is not used: several actions
// share keys on purpose and the first list wins).
class TCustomSuperAction : public QAction {
    Q_OBJECT
public:
    explicit TCustomSuperAction(QObject* parent = nullptr);

    using Handler = std::function<void(QObject* sender)>;
    // May clear `proceed` to cancel, may add to ActionArguments().
    using PrepareHandler = std::function<void(QObject* sender, bool& proceed)>;

    const QString& Switch() const { return m_switch; }
    void setSwitch(const QString& s) { m_switch = s.toLower(); }
    const QString& Token() const { return m_token; }
    void setToken(const QString& t) { m_token = t.toLower(); }

    QString Category;
    QKeySequence ShortCut;                  // main shortcut (empty = none)
    QList<QKeySequence> SecondaryShortcuts; // e.g. QKeySequence("Ctrl+G")
    bool AutoCheck = false;
    PrepareHandler Onprepare;
    Handler Onexecute; // the execute handler

    int imageindex() const { return m_imageIndex; }
    void setImageindex(int index); // emits OnImageChanged only when it really changes

    // Sets Checked; the toggle class also re-binds captions, hint, image and handler.
    virtual void SetChecked(bool v);

    // The interactive path (shortcut, menu, button, double click): nothing when disabled;
    // clears the arguments, runs Onprepare, then for an auto-checking action inverts
    // Checked, and runs the execute handler. Returns whether the handler ran.
    bool executeInteractive(QObject* sender);
    // Calls the execute handler directly (the command runner's path); false when none.
    bool runHandler(QObject* sender);
    bool hasHandler() const { return bool(currentHandler()); }

    // Whether a key answers this action (main shortcut or any secondary one).
    bool matchesKey(const QKeySequence& key) const;

signals:
    void OnImageChanged(int index);
    // The user ran the action (a key, a button, a menu), not another action's handler nor
    // a command: what a macro records.
    void executedByUser();

protected:
    virtual Handler currentHandler() const { return Onexecute; }
    void setCheckedSilently(bool v); // QAction::setChecked without re-binding

private:
    void onTriggered();
    QString m_switch;
    QString m_token;
    int m_imageIndex = -1;
    bool m_executing = false;
};

class TSuperAction : public TCustomSuperAction {
    Q_OBJECT
public:
    using TCustomSuperAction::TCustomSuperAction;
};

// A two-state action whose caption, hint, image and handler follow its state.
class TtoggleAction : public TCustomSuperAction {
    Q_OBJECT
public:
    using TCustomSuperAction::TCustomSuperAction;

    QString TrueCaption, FalseCaption, TrueHint, FalseHint;
    int TrueImageIndex = -1, FalseImageIndex = -1;
    Handler OnTrueExecute, OnfalseExecute;

    void SetChecked(bool v) override;

protected:
    Handler currentHandler() const override { return m_bound; }

private:
    Handler m_bound;
};
