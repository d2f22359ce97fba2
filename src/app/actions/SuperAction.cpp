#include "SuperAction.h"

#include <QPointer>

QStringList& ActionArguments() {
    static QStringList arguments;
    return arguments;
}

TCustomSuperAction::TCustomSuperAction(QObject* parent) : QAction(parent) {
    // Menus and tool buttons reach the command through triggered(); route them through the
    // same interactive path as the keyboard.
    connect(this, &QAction::triggered, this, &TCustomSuperAction::onTriggered);
}

void TCustomSuperAction::setImageindex(int index) {
    if (index == m_imageIndex)
        return;
    m_imageIndex = index;
    emit OnImageChanged(index);
}

void TCustomSuperAction::setCheckedSilently(bool v) {
    // QAction keeps no check state for a non-checkable action; a checked action must be
    // checkable so that menus show its mark and isChecked() reports it.
    if ((v || AutoCheck) && !isCheckable())
        setCheckable(true);
    QAction::setChecked(v);
}

void TCustomSuperAction::SetChecked(bool v) {
    setCheckedSilently(v);
}

bool TCustomSuperAction::executeInteractive(QObject* sender) {
    if (!isEnabled())
        return false;
    // Re-binds a toggle action's captions and handler to its present state; a no-op for
    // the other classes.
    SetChecked(isChecked());
    ActionArguments().clear();
    bool proceed = true;
    if (Onprepare)
        Onprepare(sender, proceed);
    if (!proceed)
        return false;
    if (AutoCheck)
        setCheckedSilently(!isChecked());
    // Actions run by another action's handler are that action's doing.
    static int depth = 0;
    const bool outermost = depth == 0;
    ++depth;
    const QPointer<TCustomSuperAction> guard(this);
    const bool ran = runHandler(sender);
    --depth;
    if (ran && outermost && guard)
        emit executedByUser();
    return ran;
}

bool TCustomSuperAction::runHandler(QObject* sender) {
    // A copy: the handler may re-bind the action (SetChecked) while it runs.
    const Handler handler = currentHandler();
    if (!handler)
        return false;
    const bool wasExecuting = m_executing;
    m_executing = true;
    handler(sender);
    m_executing = wasExecuting;
    return true;
}

void TCustomSuperAction::onTriggered() {
    // QAction has already inverted a checkable action before emitting triggered(); the
    // interactive path decides about Checked itself, so undo that first.
    if (isCheckable())
        QAction::setChecked(!isChecked());
    // A handler that triggers its own action would recurse without end.
    if (m_executing)
        return;
    executeInteractive(this);
}

namespace {

bool isSymbolKey(int key) {
    return key >= 0x20 && key < 0x100 && !(key >= Qt::Key_A && key <= Qt::Key_Z) &&
           !(key >= Qt::Key_0 && key <= Qt::Key_9);
}

bool sameKey(QKeyCombination pressed, QKeyCombination wanted) {
    if (pressed == wanted)
        return true;
    Qt::KeyboardModifiers mods = pressed.keyboardModifiers();
    int key = pressed.key();
    const Qt::KeyboardModifiers wantedMods = wanted.keyboardModifiers();
    // A keypad arrow, Home, Enter... answers the plain key's shortcut; a shortcut that
    // names the keypad ("Num +") still needs the keypad.
    if (!(wantedMods & Qt::KeypadModifier))
        mods &= ~Qt::KeypadModifier;
    if (key == Qt::Key_Enter && wanted.key() == Qt::Key_Return)
        key = Qt::Key_Return;
    // Symbols that need Shift on some layouts ("+" on a US keyboard) match without it.
    if (isSymbolKey(key) && !(wantedMods & Qt::ShiftModifier))
        mods &= ~Qt::ShiftModifier;
    return mods == wantedMods && key == wanted.key();
}

} // namespace

bool TCustomSuperAction::matchesKey(const QKeySequence& key) const {
    if (key.isEmpty())
        return false;
    const auto matches = [&](const QKeySequence& shortcut) {
        if (shortcut.isEmpty() || shortcut.count() != key.count())
            return false;
        for (int i = 0; i < key.count(); ++i)
            if (!sameKey(key[i], shortcut[i]))
                return false;
        return true;
    };
    if (matches(ShortCut))
        return true;
    for (const QKeySequence& secondary : SecondaryShortcuts)
        if (matches(secondary))
            return true;
    return false;
}

void TtoggleAction::SetChecked(bool v) {
    setText(v ? TrueCaption : FalseCaption);
    const QString& hint = v ? TrueHint : FalseHint;
    setToolTip(hint);
    setStatusTip(hint);
    setImageindex(v ? TrueImageIndex : FalseImageIndex);
    m_bound = v ? OnTrueExecute : OnfalseExecute;
    setCheckedSilently(v);
}
