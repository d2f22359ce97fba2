#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

class TCustomSuperAction;
class QKeyEvent;
class QWidget;

// Dispatches keys to the program's action lists in their order (the main list before the
// application manager's); within a list the first enabled action whose main or secondary
// shortcut matches gets the key. A focused text field keeps the keys it types.
class ShortcutRouter : public QObject {
    Q_OBJECT
public:
    explicit ShortcutRouter(QObject* parent = nullptr);

    QList<QList<TCustomSuperAction*>> lists;
    QList<QWidget*> windows; // keys pressed in these windows (and their children) are routed

    // Routes one key; true when an action took it.
    bool route(const QKeySequence& key);
    void install(); // application-wide event filter
    // Routes a key press that another window forwards (the full-screen window); the text
    // field rule applies as for keys pressed in a listed window.
    bool routeKeyEvent(const QKeyEvent* event);
    // Whether the focused widget is a text field that types this key itself.
    static bool keptByTextField(const QWidget* focus, const QKeyEvent* event);
    static QKeySequence keyOf(const QKeyEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TCustomSuperAction* findAction(const QKeySequence& key) const;
    bool watches(QObject* object) const;
    bool m_installed = false;
};
