#include "RaccourcisForm.h"

#include "AppPaths.h"
#include "KeyText.h"
#include "SuperAction.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kColumnWidths[4] = {238, 80, 60, 100};

QString shortcutText(const TCustomSuperAction* action) {
    return FrenchKeyText(action->ShortCut);
}

QString sortKey(const TCustomSuperAction* action, int column) {
    const QString tail = action->text() + action->objectName();
    switch (column) {
    case 1:
        return shortcutText(action) + tail;
    case 2:
        return action->Switch() + tail;
    case 3:
        return action->Token() + tail;
    default:
        return tail;
    }
}

} // namespace

TRaccourcisForm::TRaccourcisForm(QWidget* parent)
    : QWidget(parent, Qt::Window), m_grid(new QTableWidget(0, 4, this)) {
    setWindowTitle(QStringLiteral("Les commandes de %1").arg(AppPaths::productTitle()));
    // A window of its own beside the main one, which alone decides when the program ends:
    // left open, it kept the process running after "Quitter" and SIGTERM.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Fonctions"), QStringLiteral("Touches"),
                                       QStringLiteral("Switches"), QStringLiteral("Script")});
    for (int c = 0; c < 4; ++c)
        m_grid->setColumnWidth(c, kColumnWidths[c]);
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    // The order is the program's own (a stored column), not the view's sorting.
    m_grid->setSortingEnabled(false);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (onSortColumnChosen)
            onSortColumnChosen(column);
    });
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < m_rows.size() && m_rows[row])
            m_rows[row]->executeInteractive(m_rows[row]);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    int width = 2 * m_grid->frameWidth();
    for (int w : kColumnWidths)
        width += w;
    resize(width + 20, 400);
}

void TRaccourcisForm::FillShortcutTable(const QList<TCustomSuperAction*>& actions, int sortColumn) {
    if (sortColumn < 0 || sortColumn > 3)
        sortColumn = 0;
    struct Row {
        TCustomSuperAction* action;
        QString key;
    };
    std::vector<Row> rows;
    for (TCustomSuperAction* action : actions)
        if (action && !action->text().isEmpty())
            rows.push_back({action, sortKey(action, sortColumn)});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return QString::compare(a.key, b.key, Qt::CaseInsensitive) < 0;
    });

    m_rows.clear();
    m_grid->clearContents();
    m_grid->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        TCustomSuperAction* action = rows[size_t(r)].action;
        m_rows.append(action);
        const QString cells[4] = {action->text(), shortcutText(action), action->Switch(),
                                  action->Token()};
        for (int c = 0; c < 4; ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
}

void TRaccourcisForm::closeEvent(QCloseEvent* event) {
    event->accept(); // hides the window; it lives as long as the main window
    if (onClosed)
        onClosed();
}
