#include "AppliMan.h"

#include "ActionStore.h"
#include "KXScript.h"

#include <QCoreApplication>
#include <QPointer>
#include <limits>

// ---------------------------------------------------------------- family base

TCustomAbstractAction::TCustomAbstractAction(QObject* parent) : TCustomSuperAction(parent) {
    Onexecute = [this](QObject*) { Execute(); };
}

TKXAppliMan* TCustomAbstractAction::appliMan() const {
    return qobject_cast<TKXAppliMan*>(parent());
}

void TCustomAbstractAction::Execute() {
    if (OnPrepare && !OnPrepare())
        return;
    Apply();
}

QString TCustomAbstractAction::ScriptDeclaration() {
    return {};
}

QString TCustomAbstractAction::SwitchSyntax() {
    return {};
}

void TCustomAbstractAction::Clear() {
    Category.clear();
    ScriptName.clear();
    ShortCut = QKeySequence();
    SecondaryShortcuts.clear();
}

void TCustomAbstractAction::applyRecorded(const std::function<void()>& body) {
    QPointer<TKXAppliMan> manager = appliMan();
    if (manager)
        manager->noteApplied(this);
    // Actions applied by this one's events are part of it, not recorded on their own.
    if (manager)
        ++manager->m_applyDepth;
    body();
    if (manager)
        --manager->m_applyDepth;
}

void TCustomAbstractAction::Apply() {
    applyRecorded([this] {
        if (OnBeforeApply)
            OnBeforeApply();
        applyValue();
        if (OnAfterApply)
            OnAfterApply();
    });
}

// ---------------------------------------------------------------- no-op

QString TNopeAction::ScriptDeclaration() {
    return QStringLiteral("procedure ") + ScriptName + u';';
}

QString TNopeAction::SwitchSyntax() {
    return u'/' + Switch();
}

void TNopeAction::ApplyText(const QString&) {
    Apply();
}

QString TNopeAction::RecordingLine() const {
    if (ScriptName.isEmpty())
        return {};
    return QStringLiteral("    ") + ScriptName + u';';
}

// ---------------------------------------------------------------- Boolean

bool TBooleanAction::textToBool(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == u"true" || t == u"vrai" || t == u"t" || t == u"v")
        return true;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    return ok && n != 0;
}

QString TBooleanAction::ScriptDeclaration() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("aBoolean");
    return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") + Variables +
           QStringLiteral(":Boolean);");
}

QString TBooleanAction::SwitchSyntax() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("aBoolean");
    return u'/' + Switch() + u'=' + Variables;
}

void TBooleanAction::ApplyText(const QString& text) {
    Value = textToBool(text);
    Apply();
}

void TBooleanAction::LoadFromPrefs(IActionStore& prefs) {
    Value = DefaultValue;
    if (OnDefault)
        OnDefault();
    if (!ScriptName.isEmpty())
        Value = prefs.ReadBool(ScriptName, Value);
    if (ApplyWhenLoad)
        Apply();
}

bool TBooleanAction::SaveToPrefs(IActionStore& prefs) {
    if (BeforeSave)
        BeforeSave();
    return ScriptName.isEmpty() || prefs.WriteBool(ScriptName, Value);
}

// ---------------------------------------------------------------- check

void TCheckAction::Execute() {
    if (OnPrepare && !OnPrepare())
        return;
    Value = !Value;
    Apply();
}

void TCheckAction::Apply() {
    applyRecorded([this] {
        const bool v = Value;
        if (const auto& before = v ? OnBeforeTrueApply : OnBeforeFalseApply)
            before();
        applyValue();
        setText(v ? TrueCaption : FalseCaption);
        const QString& hint = v ? TrueHint : FalseHint;
        setToolTip(hint);
        setStatusTip(hint);
        setImageindex(v ? TrueImageIndex : FalseImageIndex);
        setCheckedSilently(v);
        if (const auto& after = v ? OnAfterTrueApply : OnAfterFalseApply)
            after();
    });
}

QString TCheckAction::ScriptDeclaration() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("fisTrue");
    return QStringLiteral("procedure set") + ScriptName + QStringLiteral("(const ") + Variables +
           QStringLiteral(":Boolean);\r\nprocedure ") + ScriptName + u';';
}

QString TCheckAction::SwitchSyntax() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("fisTrue");
    return u'/' + Switch() + QStringLiteral(" +") + Switch() + QStringLiteral(" -") + Switch();
}

QString TCheckAction::RecordingLine() const {
    // The script window's own action would record its own showing and hiding.
    if (ScriptName.isEmpty() || ScriptName == u"Script")
        return {};
    return QStringLiteral("    set") + ScriptName + u'(' +
           (Value ? QStringLiteral("True") : QStringLiteral("False")) + QStringLiteral(");");
}

// ---------------------------------------------------------------- string

QString TWidestringAction::ScriptDeclaration() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("aWidestring");
    return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") + Variables +
           QStringLiteral(":widestring);");
}

QString TWidestringAction::SwitchSyntax() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("aWidestring");
    return u'/' + Switch() + u'=' + Variables;
}

void TWidestringAction::ApplyText(const QString& text) {
    Value = text;
    Apply();
}

void TWidestringAction::LoadFromPrefs(IActionStore& prefs) {
    Value = DefaultValue;
    if (OnDefault)
        OnDefault();
    if (!ScriptName.isEmpty())
        Value = prefs.ReadText(ScriptName, Value);
    if (ApplyWhenLoad)
        Apply();
}

bool TWidestringAction::SaveToPrefs(IActionStore& prefs) {
    if (BeforeSave)
        BeforeSave();
    return ScriptName.isEmpty() || prefs.WriteText(ScriptName, Value);
}

QString TWidestringAction::RecordingLine() const {
    if (ScriptName.isEmpty())
        return {};
    // A quote inside a script string is written twice, or the recorded line would not
    // compile.
    QString text = Value;
    text.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("    ") + ScriptName + QStringLiteral("('") + text +
           QStringLiteral("');");
}

// ---------------------------------------------------------------- rectangle

namespace {

// Rectangles are written as left, top, right, bottom with right and bottom outside the
// rectangle (width = right - left), as the preference stores keep them.
qint64 rectRight(const QRect& r) {
    return qint64(r.x()) + r.width();
}
qint64 rectBottom(const QRect& r) {
    return qint64(r.y()) + r.height();
}

int textToInt(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

} // namespace

bool TRectAction::parseRectText(const QString& text, QRect& rect) {
    const QString t = text.trimmed();
    if (t.size() < 2 || !t.startsWith(u'(') || !t.endsWith(u')'))
        return false;
    const QStringList parts = t.mid(1, t.size() - 2).split(u',');
    if (parts.size() != 4)
        return false;
    const int left = textToInt(parts[0]);
    const int top = textToInt(parts[1]);
    const int right = textToInt(parts[2]);
    const int bottom = textToInt(parts[3]);
    const qint64 width = qint64(right) - left;
    const qint64 height = qint64(bottom) - top;
    constexpr qint64 maxInt = std::numeric_limits<int>::max();
    constexpr qint64 minInt = std::numeric_limits<int>::min();
    if (width > maxInt || width < minInt || height > maxInt || height < minInt)
        return false;
    rect = QRect(left, top, int(width), int(height));
    return true;
}

QString TRectAction::rectText(const QRect& rect) {
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rectRight(rect))
        .arg(rectBottom(rect));
}

QString TRectAction::ScriptDeclaration() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("left,right,top,bottom");
    return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") + Variables +
           QStringLiteral(":integer);");
}

QString TRectAction::SwitchSyntax() {
    if (Variables.isEmpty())
        Variables = QStringLiteral("aRect");
    return u'/' + Switch() + u'=' + Variables;
}

void TRectAction::ApplyText(const QString& text) {
    QRect r;
    if (!parseRectText(text, r))
        return;
    Value = r;
    Apply();
}

void TRectAction::LoadFromPrefs(IActionStore& prefs) {
    if (OnDefault)
        OnDefault();
    if (!ScriptName.isEmpty())
        Value = prefs.ReadRect(ScriptName, Value);
    if (ApplyWhenLoad)
        Apply();
}

bool TRectAction::SaveToPrefs(IActionStore& prefs) {
    if (BeforeSave)
        BeforeSave();
    return ScriptName.isEmpty() || prefs.WriteRect(ScriptName, Value);
}

QString TRectAction::RecordingLine() const {
    if (ScriptName.isEmpty())
        return {};
    return QStringLiteral("    %1(%2,%3,%4,%5);")
        .arg(ScriptName)
        .arg(Value.x())
        .arg(Value.y())
        .arg(rectRight(Value))
        .arg(rectBottom(Value));
}

// ---------------------------------------------------------------- manager

TKXAppliMan::TKXAppliMan(QObject* parent) : QObject(parent) {}

void TKXAppliMan::LoadFromPrefs(IActionStore& prefs) {
    const QList<TCustomAbstractAction*> list = actions;
    for (TCustomAbstractAction* action : list)
        if (action && action->IncludePrefs)
            action->LoadFromPrefs(prefs);
}

bool TKXAppliMan::SaveToPrefs(IActionStore& prefs) {
    bool ok = true;
    const QList<TCustomAbstractAction*> list = actions;
    for (TCustomAbstractAction* action : list)
        if (action && action->IncludePrefs && !action->SaveToPrefs(prefs))
            ok = false;
    if (OnSave && !OnSave())
        ok = false;
    return ok;
}

TCustomAbstractAction* TKXAppliMan::findBySwitch(const QString& name) const {
    const QString n = name.toLower();
    if (n.isEmpty())
        return nullptr;
    for (TCustomAbstractAction* action : actions)
        if (action && action->Switch() == n)
            return action;
    return nullptr;
}

void TKXAppliMan::noteApplied(TCustomAbstractAction* action) {
    if (!recording || m_applyDepth > 0 || !action)
        return;
    const QString line = action->RecordingLine();
    if (line.isEmpty())
        return;
    recordedLines << line;
    emit lineRecorded(line);
}

// ---------------------------------------------------------------- manager's command line

TKXSwitch::TKXSwitch(TKXAppliMan& manager, QObject* parent) : QObject(parent), m_manager(manager) {}

void TKXSwitch::run(const QStringList& arguments) {
    if (m_spent)
        return;
    m_spent = true;

    struct Command {
        QPointer<TCustomAbstractAction> action;
        QString text;
        QChar mode;
    };
    std::vector<Command> commands;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QChar prefix = argument.front();
        if (prefix != u'+' && prefix != u'-' && prefix != u'/')
            continue;
        const qsizetype p = argument.indexOf(u'=');
        const QString name = (p < 1 ? argument.mid(1) : argument.mid(1, p - 1)).toLower();
        const QString text = p < 1 ? QString() : argument.mid(p + 1);
        TCustomAbstractAction* action = nullptr;
        if (name == u"quit")
            m_quit = true;
        else if (name.isEmpty())
            action = DefaultAction;
        else if (!(action = m_manager.findBySwitch(name)))
            action = DefaultAction;
        if (action)
            commands.push_back({action, text, prefix});
    }

    for (const Command& command : commands) {
        QCoreApplication::processEvents();
        TCustomAbstractAction* action = command.action;
        if (!action || !action->isEnabled())
            continue;
        ActionArguments().clear();
        ActionArguments() << command.text;
        if (auto* check = qobject_cast<TCheckAction*>(action)) {
            if (command.mode == u'+')
                check->Value = true;
            else if (command.mode == u'-')
                check->Value = false;
            else
                check->Value = !check->Value;
            check->Apply();
        } else {
            action->ApplyText(command.text);
        }
    }
    if (m_quit && closeMainWindow)
        closeMainWindow();
}

// ---------------------------------------------------------------- script procedures

namespace {

QStringList declarationsOf(const QString& text) {
    QStringList out;
    for (const QString& d : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << d.trimmed();
    return out;
}

bool argBool(const vscript::HostCall& call) {
    return !call.args.empty() && call.args[0].toBool();
}

} // namespace

void TCustomAbstractAction::RegisterInScript(TKXScript&) {}

void TNopeAction::RegisterInScript(TKXScript& script) {
    if (ScriptName.isEmpty())
        return;
    QPointer<TNopeAction> self(this);
    script.RegisterRoutine(ScriptDeclaration(), [self](vscript::HostCall&) {
        if (self)
            self->Apply();
        return vscript::ScriptValue();
    });
}

void TBooleanAction::RegisterInScript(TKXScript& script) {
    if (ScriptName.isEmpty())
        return;
    QPointer<TBooleanAction> self(this);
    script.RegisterRoutine(ScriptDeclaration(), [self](vscript::HostCall& call) {
        if (self) {
            self->Value = argBool(call);
            self->Apply();
        }
        return vscript::ScriptValue();
    });
}

void TCheckAction::RegisterInScript(TKXScript& script) {
    if (ScriptName.isEmpty())
        return;
    const QStringList declarations = declarationsOf(ScriptDeclaration());
    if (declarations.size() != 2)
        return;
    QPointer<TCheckAction> self(this);
    // setName(value) applies that value; Name alone turns it over, as the user does.
    script.RegisterRoutine(declarations[0], [self](vscript::HostCall& call) {
        if (self) {
            self->Value = argBool(call);
            self->Apply();
        }
        return vscript::ScriptValue();
    });
    script.RegisterRoutine(declarations[1], [self](vscript::HostCall&) {
        if (self)
            self->Execute();
        return vscript::ScriptValue();
    });
}

void TWidestringAction::RegisterInScript(TKXScript& script) {
    if (ScriptName.isEmpty())
        return;
    QPointer<TWidestringAction> self(this);
    script.RegisterRoutine(ScriptDeclaration(), [self](vscript::HostCall& call) {
        if (self) {
            self->Value = call.args.empty() ? QString() : call.args[0].toString();
            self->Apply();
        }
        return vscript::ScriptValue();
    });
}

void TRectAction::RegisterInScript(TKXScript& script) {
    if (ScriptName.isEmpty())
        return;
    QPointer<TRectAction> self(this);
    // The values are taken in the order a recording writes them (left, top, right, bottom),
    // so that a recorded rectangle replays as it was, whatever the parameters are called.
    script.RegisterRoutine(ScriptDeclaration(), [self](vscript::HostCall& call) {
        if (!self || call.args.size() != 4)
            return vscript::ScriptValue();
        const qint64 left = call.args[0].toInt(), top = call.args[1].toInt();
        const qint64 right = call.args[2].toInt(), bottom = call.args[3].toInt();
        QRect r;
        if (TRectAction::parseRectText(
                QStringLiteral("(%1, %2, %3, %4)").arg(left).arg(top).arg(right).arg(bottom), r)) {
            self->Value = r;
            self->Apply();
        }
        return vscript::ScriptValue();
    });
}
