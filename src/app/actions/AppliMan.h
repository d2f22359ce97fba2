#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "SuperAction.h"

class IActionStore;
class TKXAppliMan;
class TKXScript;

// Actions of the application manager: they persist their value through the preference
// component, can be named on the command line, and are offered to the script language.
class TCustomAbstractAction : public TCustomSuperAction {
    Q_OBJECT
public:
    explicit TCustomAbstractAction(QObject* parent = nullptr);

    QString ScriptName;
    bool ApplyWhenLoad = false;
    QStringList Comments;
    QString Variables; // parameter names used in the script declaration
    int InternalId = 0;
    bool IncludePrefs = true;

    // Events shared by the family.
    std::function<bool()> OnPrepare; // false cancels
    std::function<void()> OnBeforeApply, OnAfterApply;
    std::function<void()> BeforeSave; // may refresh the value from the window
    std::function<void()> OnDefault;  // sets the default value

    virtual void Execute();
    virtual QString ScriptDeclaration();
    virtual QString SwitchSyntax();
    virtual void Clear();
    virtual void ApplyText(const QString& text) = 0;
    virtual void Apply();
    virtual void LoadFromPrefs(IActionStore& prefs) = 0;
    virtual bool SaveToPrefs(IActionStore& prefs) = 0;
    // The line a script recording gets when this action is applied; empty for none.
    virtual QString RecordingLine() const = 0;
    // Declares the action's procedures to a script being compiled, bound to its setter
    // (calling one applies the value as if the user had executed the action). Nothing for
    // an action without a script name.
    virtual void RegisterInScript(TKXScript& script);

protected:
    virtual void applyValue() {} // the class's own application, between the events
    // Notes the application for the recording, then runs body as one applied action.
    void applyRecorded(const std::function<void()>& body);
    TKXAppliMan* appliMan() const; // the manager that owns this action, if any
};

class TNopeAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    using TCustomAbstractAction::TCustomAbstractAction;
    QString ScriptDeclaration() override;
    QString SwitchSyntax() override;
    void ApplyText(const QString& text) override;
    void LoadFromPrefs(IActionStore&) override {}
    bool SaveToPrefs(IActionStore&) override { return true; }
    QString RecordingLine() const override;
    void RegisterInScript(TKXScript& script) override;
};

class TBooleanAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    using TCustomAbstractAction::TCustomAbstractAction;
    bool Value = false;
    bool DefaultValue = false;
    QString ScriptDeclaration() override;
    QString SwitchSyntax() override;
    void ApplyText(const QString& text) override;
    void LoadFromPrefs(IActionStore& prefs) override;
    bool SaveToPrefs(IActionStore& prefs) override;
    QString RecordingLine() const override { return {}; }
    void RegisterInScript(TKXScript& script) override;
    // "true", "vrai", "t", "v" or a non-zero integer (trimmed, any case).
    static bool textToBool(const QString& text);
};

// A boolean shown by its captions: executing it inverts it.
class TCheckAction : public TBooleanAction {
    Q_OBJECT
public:
    using TBooleanAction::TBooleanAction;
    QString TrueCaption, FalseCaption, TrueHint, FalseHint;
    int TrueImageIndex = -1, FalseImageIndex = -1;
    std::function<void()> OnBeforeTrueApply, OnAfterTrueApply, OnBeforeFalseApply,
        OnAfterFalseApply;
    void Execute() override;
    void Apply() override;
    QString ScriptDeclaration() override;
    QString SwitchSyntax() override;
    QString RecordingLine() const override;
    void RegisterInScript(TKXScript& script) override;
};

class TWidestringAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    using TCustomAbstractAction::TCustomAbstractAction;
    QString Value, DefaultValue;
    QString ScriptDeclaration() override;
    QString SwitchSyntax() override;
    void ApplyText(const QString& text) override;
    void LoadFromPrefs(IActionStore& prefs) override;
    bool SaveToPrefs(IActionStore& prefs) override;
    QString RecordingLine() const override;
    void RegisterInScript(TKXScript& script) override;
};

class TRectAction : public TCustomAbstractAction {
    Q_OBJECT
public:
    using TCustomAbstractAction::TCustomAbstractAction;
    QRect Value;
    QString ScriptDeclaration() override;
    QString SwitchSyntax() override;
    // "(left, top, right, bottom)"; a malformed text leaves the rectangle unchanged.
    void ApplyText(const QString& text) override;
    void LoadFromPrefs(IActionStore& prefs) override;
    bool SaveToPrefs(IActionStore& prefs) override;
    QString RecordingLine() const override;
    void RegisterInScript(TKXScript& script) override;
    static bool parseRectText(const QString& text, QRect& rect);
    static QString rectText(const QRect& rect);
};

// The application manager: its own action list, persisted through the preference
// component, and its own command-line reader.
class TKXAppliMan : public QObject {
    Q_OBJECT
public:
    explicit TKXAppliMan(QObject* parent = nullptr);

    QList<TCustomAbstractAction*> actions; // in creation order (owned through QObject)
    std::function<bool()> OnSave;          // the manager's own save event

    // Script recording: set by the script window while it records.
    bool recording = false;
    QStringList recordedLines;

    void LoadFromPrefs(IActionStore& prefs);
    bool SaveToPrefs(IActionStore& prefs); // false when any save failed
    TCustomAbstractAction* findBySwitch(const QString& name) const;
    // Called by actions when they are applied (for the recording).
    void noteApplied(TCustomAbstractAction* action);
    bool applying() const { return m_applyDepth > 0; }
    // Takes ownership, appends to actions; an action without category gets "internal".
    template <class A> A* add(A* action) {
        action->setParent(this);
        if (action->Category.isEmpty())
            action->Category = QStringLiteral("internal");
        actions.append(action);
        return action;
    }

signals:
    void lineRecorded(const QString& line); // also appended to recordedLines

private:
    friend class TCustomAbstractAction;
    int m_applyDepth = 0; // > 0 while a manager action is being applied
};

// The manager's command-line reader: same syntax as the main one, names are the actions'
// switches; a check action takes mode Set -> true, Reset -> false, Toggle -> inverted;
// any other action receives its argument text through ApplyText.
class TKXSwitch : public QObject {
    Q_OBJECT
public:
    explicit TKXSwitch(TKXAppliMan& manager, QObject* parent = nullptr);
    TCustomAbstractAction* DefaultAction = nullptr;
    std::function<void()> closeMainWindow;
    void run(const QStringList& arguments); // once; later calls do nothing
    bool quitRequested() const { return m_quit; }

private:
    TKXAppliMan& m_manager;
    bool m_spent = false;
    bool m_quit = false;
};
