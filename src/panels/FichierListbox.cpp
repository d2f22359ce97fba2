#include "FichierListbox.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;

struct Keys {
    QString name;
    QString extension;
    qint64 size = 0;
    QDateTime date;
};

// Case-insensitive, with runs of digits compared by value: "Video2" comes before "Video10"
// whatever the collation the system offers.
int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Leading zeros do not count; then the longer run is the larger number.
            QStringView na = QStringView(a).mid(si, i - si), nb = QStringView(b).mid(sj, j - sj);
            while (na.size() > 1 && na.front() == u'0')
                na = na.mid(1);
            while (nb.size() > 1 && nb.front() == u'0')
                nb = nb.mid(1);
            if (na.size() != nb.size())
                return na.size() < nb.size() ? -1 : 1;
            if (const int c = na.compare(nb); c != 0)
                return c;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    return (a.size() - i > 0) - (b.size() - j > 0);
}

} // namespace

TFichierListbox::TFichierListbox(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("fl"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, &TFichierListbox::tellCounts);
}

QStringList TFichierListbox::Sorted(QStringList paths, SortOrder order) {
    QHash<QString, Keys> keys;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        // A file that is gone sorts as empty and undated rather than disappearing.
        keys.insert(path, {info.fileName(), info.suffix(), info.size(), info.lastModified()});
    }
    const auto byName = [&](const QString& a, const QString& b) {
        const int c = naturalCompare(keys[a].name, keys[b].name);
        return c != 0 ? c < 0 : a < b;
    };
    std::stable_sort(paths.begin(), paths.end(), [&](const QString& a, const QString& b) {
        const Keys& ka = keys[a];
        const Keys& kb = keys[b];
        switch (order) {
        case soName:
            break;
        case soSize:
            if (ka.size != kb.size)
                return ka.size < kb.size;
            break;
        case soDate:
            if (ka.date != kb.date)
                return ka.date < kb.date;
            break;
        case soExtension:
            if (const int c = naturalCompare(ka.extension, kb.extension); c != 0)
                return c < 0;
            break;
        }
        return byName(a, b);
    });
    return paths;
}

QString TFichierListbox::OrderName(SortOrder order) {
    switch (order) {
    case soName:
        return QStringLiteral("par ordre alphabétique");
    case soSize:
        return QStringLiteral("par taille");
    case soDate:
        return QStringLiteral("par date");
    case soExtension:
        return QStringLiteral("par extension");
    }
    return {};
}

void TFichierListbox::AddFile(const QString& path) {
    QStringList all = paths();
    if (path.isEmpty() || all.contains(path))
        return;
    all << path;
    const QString current = currentItem() ? currentItem()->data(kPathRole).toString() : QString();
    fill(Sorted(all, m_order), selectedPaths(), current);
}

void TFichierListbox::RemoveFile(const QString& path) {
    QStringList all = paths();
    if (!all.removeOne(path))
        return;
    QStringList selected = selectedPaths();
    selected.removeOne(path);
    const QString current = currentItem() ? currentItem()->data(kPathRole).toString() : QString();
    fill(all, selected, current == path ? QString() : current);
}

void TFichierListbox::Sort(SortOrder order) {
    m_order = order;
    const QString current = currentItem() ? currentItem()->data(kPathRole).toString() : QString();
    fill(Sorted(paths(), order), selectedPaths(), current);
}

QStringList TFichierListbox::paths() const {
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << item(i)->data(kPathRole).toString();
    return all;
}

QStringList TFichierListbox::selectedPaths() const {
    QStringList selected;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            selected << item(i)->data(kPathRole).toString();
    return selected;
}

QString TFichierListbox::actedOn() const {
    if (currentItem() && currentItem()->isSelected())
        return currentItem()->data(kPathRole).toString();
    const QStringList selected = selectedPaths();
    return selected.isEmpty() ? QString() : selected.first();
}

void TFichierListbox::fill(const QStringList& paths, const QStringList& selected,
                           const QString& current) {
    const QSet<QString> keep(selected.begin(), selected.end());
    {
        const QSignalBlocker quiet(this); // one count change for the whole refill
        clear();
        for (const QString& path : paths) {
            auto* it = new QListWidgetItem(QFileInfo(path).fileName(), this);
            it->setData(kPathRole, path);
            it->setToolTip(path);
            if (path == current)
                setCurrentItem(it, QItemSelectionModel::NoUpdate);
            it->setSelected(keep.contains(path));
        }
    }
    tellCounts();
}

void TFichierListbox::tellCounts() {
    emit countsChanged(int(selectedItems().size()), count());
}
