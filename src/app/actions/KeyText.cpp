#include "KeyText.h"

#include <QStringList>

// The key names --help, the shortcuts window and the help panel write: one table, in French,
// whatever translation Qt has loaded.

namespace {

QString keyName(Qt::Key key) {
    switch (key) {
    case Qt::Key_Space:
        return QStringLiteral("Espace");
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("Entrée");
    case Qt::Key_Escape:
        return QStringLiteral("Échap");
    case Qt::Key_Backspace:
        return QStringLiteral("Retour arrière");
    case Qt::Key_Insert:
        return QStringLiteral("Inser");
    case Qt::Key_Delete:
        return QStringLiteral("Suppr");
    case Qt::Key_Home:
        return QStringLiteral("Origine");
    case Qt::Key_End:
        return QStringLiteral("Fin");
    case Qt::Key_PageUp:
        return QStringLiteral("Page précédente");
    case Qt::Key_PageDown:
        return QStringLiteral("Page suivante");
    case Qt::Key_Left:
        return QStringLiteral("Gauche");
    case Qt::Key_Right:
        return QStringLiteral("Droite");
    case Qt::Key_Up:
        return QStringLiteral("Haut");
    case Qt::Key_Down:
        return QStringLiteral("Bas");
    case Qt::Key_Tab:
        return QStringLiteral("Tab");
    default:
        return QKeySequence(key).toString(QKeySequence::PortableText);
    }
}

QString combinationText(QKeyCombination combination) {
    QStringList parts;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("Ctrl");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("Alt");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("Maj");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("Méta");
    QString key = keyName(combination.key());
    // The keypad's keys: "Num +", "Num -".
    if (modifiers & Qt::KeypadModifier)
        key = QStringLiteral("Num ") + key;
    parts << key;
    return parts.join(u'+');
}

} // namespace

QString FrenchKeyText(const QKeySequence& keys) {
    QStringList parts;
    for (int i = 0; i < keys.count(); ++i)
        parts << combinationText(keys[i]);
    return parts.join(QStringLiteral(", "));
}
