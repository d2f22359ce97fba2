#pragma once

#include <QWidget>
#include <functional>

class QTableWidget;
class TCustomSuperAction;

// The table of every command with its shortcut, command-line switch and script token.
class TRaccourcisForm : public QWidget {
    Q_OBJECT
public:
    explicit TRaccourcisForm(QWidget* parent = nullptr);

    // Fills the grid from the actions whose caption is not empty, sorted by column
    // sortColumn (0 caption, 1 shortcut, 2 switch, 3 token; then caption and object name).
    void FillShortcutTable(const QList<TCustomSuperAction*>& actions, int sortColumn);

    std::function<void(int column)> onSortColumnChosen; // a header cell was clicked
    std::function<void()> onClosed;                     // the window was closed (hidden)
    QTableWidget* grid() const { return m_grid; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTableWidget* m_grid;
    QList<TCustomSuperAction*> m_rows;
};
