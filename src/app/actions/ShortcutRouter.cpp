#include "ShortcutRouter.h"

#include "SuperAction.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

ShortcutRouter::ShortcutRouter(QObject* parent) : QObject(parent) {}

void ShortcutRouter::install() {
    if (m_installed)
        return;
    m_installed = true;
    QCoreApplication::instance()->installEventFilter(this);
}

QKeySequence ShortcutRouter::keyOf(const QKeyEvent* event) {
    const int key = event->key();
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_unknown:
    case 0:
        return {};
    default:
        break;
    }
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                              Qt::MetaModifier | Qt::KeypadModifier);
    return QKeySequence(QKeyCombination(mods, Qt::Key(key)));
}

bool ShortcutRouter::keptByTextField(const QWidget* focus, const QKeyEvent* event) {
    if (!focus || !event)
        return false;
    bool typing = false;
    if (auto* edit = qobject_cast<const QLineEdit*>(focus))
        typing = !edit->isReadOnly();
    else if (auto* spin = qobject_cast<const QAbstractSpinBox*>(focus))
        typing = !spin->isReadOnly();
    else if (auto* text = qobject_cast<const QTextEdit*>(focus))
        typing = !text->isReadOnly();
    else if (auto* plain = qobject_cast<const QPlainTextEdit*>(focus))
        typing = !plain->isReadOnly();
    else if (auto* combo = qobject_cast<const QComboBox*>(focus))
        typing = combo->isEditable();
    if (!typing)
        return false;
    // With Ctrl, Alt or Meta the key is a command, not typing.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int key = event->key();
    if (key >= Qt::Key_Space && key < Qt::Key_Escape)
        return true; // a printable character
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return false;
    }
}

TCustomSuperAction* ShortcutRouter::findAction(const QKeySequence& key) const {
    for (const QList<TCustomSuperAction*>& list : lists)
        for (TCustomSuperAction* action : list)
            if (action && action->isEnabled() && action->matchesKey(key))
                return action;
    return nullptr;
}

bool ShortcutRouter::route(const QKeySequence& key) {
    TCustomSuperAction* action = findAction(key);
    if (!action)
        return false;
    action->executeInteractive(action);
    return true;
}

bool ShortcutRouter::routeKeyEvent(const QKeyEvent* event) {
    if (!event || keptByTextField(QApplication::focusWidget(), event))
        return false;
    const QKeySequence key = keyOf(event);
    return !key.isEmpty() && route(key);
}

bool ShortcutRouter::watches(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return false;
    // A dialog of the program's own (message box, file dialog) keeps its keys.
    QWidget* window = widget->window();
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window)
        return false;
    return windows.contains(window);
}

bool ShortcutRouter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    if (!watches(watched))
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (keptByTextField(QApplication::focusWidget(), keyEvent))
        return false;
    const QKeySequence key = keyOf(keyEvent);
    if (key.isEmpty())
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so that Qt's own shortcuts (menu mnemonics, default buttons) pass
        // it on as a key press, which is routed below before any focused widget sees it.
        if (!findAction(key))
            return false;
        event->accept();
        return true;
    }
    if (!route(key))
        return false;
    event->accept();
    return true;
}
