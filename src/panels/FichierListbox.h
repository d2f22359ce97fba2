#pragma once

#include <QListWidget>
#include <QStringList>

// A list of files: each item holds a full path and shows the file name; the items stay
// sorted by the current order, a file is listed once, several may be selected.
class TFichierListbox : public QListWidget {
    Q_OBJECT
public:
    enum SortOrder { soName, soSize, soDate, soExtension };

    explicit TFichierListbox(QWidget* parent = nullptr);

    // Inserted at its sorted place; a path already listed is not listed twice.
    void AddFile(const QString& path);
    void RemoveFile(const QString& path);
    SortOrder sortOrder() const { return m_order; }
    // Re-sorts every item (sizes and dates are read again: a file may have grown since).
    void Sort(SortOrder order);
    void Resort() { Sort(m_order); }

    QStringList paths() const;         // in the order shown
    QStringList selectedPaths() const; // in the order shown
    // The file the pop-up menu and a double click act on: the current item when it is
    // selected, else the first selected one; empty when none is.
    QString actedOn() const;

    // The order of `paths` for `order`: name, size, modification date or extension, in
    // increasing order; equal keys keep file-name order, then path order.
    static QStringList Sorted(QStringList paths, SortOrder order);
    // "par ordre alphabétique", "par taille", "par date", "par extension".
    static QString OrderName(SortOrder order);

signals:
    void countsChanged(int selected, int total);

private:
    void fill(const QStringList& paths, const QStringList& selected, const QString& current);
    void tellCounts();

    SortOrder m_order = soName;
};
