#include "DamagedStore.h"

#include "Log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>

namespace DamagedStore {

namespace {

// Other damaged contents get numbered copies, up to this many; the last is then reused.
constexpr int kMostCopies = 9;

QMutex& lock() {
    static QMutex m;
    return m;
}
QSet<QString>& told() {
    static QSet<QString> t;
    return t;
}
// The files copied this run, by size and time of change, with their copy: read again
// unchanged (every store reads the file) while the copy is there, they need no second look.
struct Copied {
    qint64 size = -1;
    QDateTime changed;
    QString copy;
};
QHash<QString, Copied>& copied() {
    static QHash<QString, Copied> c;
    return c;
}

QString copyName(const QString& path, int n) {
    return n == 1 ? path + QStringLiteral(".illisible")
                  : path + QStringLiteral(".%1.illisible").arg(n);
}

bool sameContent(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!fa.atEnd()) {
        if (fa.read(kChunk) != fb.read(kChunk))
            return false;
    }
    return true;
}

// The copy of path: an existing copy of the same content, else a new one. Empty on failure.
QString copyAside(const QString& path) {
    for (int n = 1; n <= kMostCopies; ++n) {
        const QString name = copyName(path, n);
        if (QFile::exists(name)) {
            if (sameContent(path, name))
                return name;
            if (n < kMostCopies)
                continue;
            QFile::remove(name);
        }
        return QFile::copy(path, name) ? name : QString();
    }
    return {};
}

} // namespace

bool keep(const QString& path, Damage damage) {
    const QMutexLocker guard(&lock());
    const QFileInfo info(path);
    const Copied seen = copied().value(path);
    if (seen.size == info.size() && seen.changed == info.lastModified() && QFile::exists(seen.copy))
        return true;
    const QString copy = copyAside(path);
    if (!copy.isEmpty())
        copied().insert(path, Copied{info.size(), info.lastModified(), copy});
    if (told().contains(path))
        return !copy.isEmpty();
    told().insert(path);
    QString text;
    if (damage == Damage::TooLarge) {
        text = QStringLiteral("Le fichier de réglages %1 est beaucoup trop grand (%2 Mo) pour "
                              "être lu : le programme part des réglages par défaut.")
                   .arg(path)
                   .arg(QFileInfo(path).size() / (1024 * 1024));
    } else {
        text = QStringLiteral("Le fichier de réglages %1 est endommagé : ce qui ne pouvait pas "
                              "être lu est remplacé par les réglages par défaut.")
                   .arg(path);
    }
    if (copy.isEmpty())
        text += QStringLiteral(" Il n'a pas pu être copié à côté : il ne sera pas réécrit.");
    else
        text += QStringLiteral(" L'original est gardé dans %1.").arg(copy);
    qCWarning(lcVidorra).noquote() << text;
    addUserNotice(text);
    return !copy.isEmpty();
}

} // namespace DamagedStore
