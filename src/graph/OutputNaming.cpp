#include "OutputNaming.h"

#include <QFileInfo>

namespace {

QString TwoDigits(int n) {
    return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
}

const QString kAllLine = QStringLiteral(
    "\r\nSi vous cliquez sur \"Tous\", alors plus aucune confirmation ne sera demandée");

} // namespace

QString ImageExtension(int extensionItem) {
    return extensionItem == 1 ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
}

QString DatePart(const QDateTime& stamp) {
    const QDate d = stamp.date();
    const QTime t = stamp.time();
    return TwoDigits(d.day()) + TwoDigits(d.month()) + TwoDigits(d.year()) + '_' +
           TwoDigits(t.hour()) + TwoDigits(t.minute()) + TwoDigits(t.second()) + '_';
}

QString NamePrefix(const TNameSettings& settings, const QDateTime& stamp) {
    QString name = settings.directory;
    if (!name.endsWith('/'))
        name += '/';
    name += settings.racine + '_';
    if (settings.withDate)
        name += DatePart(stamp);
    return name;
}

QString VideoFileNameFor(const TNameSettings& settings, const QDateTime& stamp, int counter,
                         const QString& extension) {
    return NamePrefix(settings, stamp) + QString::number(counter) + extension;
}

QString ImageFileNameFor(const TNameSettings& settings, const QDateTime& stamp, int counter,
                         int extensionItem) {
    const QString digits = QStringLiteral("00000") + QString::number(counter);
    return NamePrefix(settings, stamp) + digits.right(5) + ImageExtension(extensionItem);
}

QString WithVideoExtension(const QString& name, const QString& extension) {
    // Only a dot inside the file part starts an extension ("/home/a.b/Video_0" has none).
    const int slash = name.lastIndexOf('/');
    const int dot = name.lastIndexOf('.');
    const QString stem = dot > slash ? name.left(dot) : name;
    return stem + extension;
}

QString FilePart(const QString& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

QString FolderPart(const QString& path) {
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString TOutputNaming::NextVideoFileName(const TNameSettings& settings, const QString& extension) {
    m_video = VideoFileNameFor(settings, m_stamp, m_videoCounter, extension);
    ++m_videoCounter;
    return m_video;
}

QString TOutputNaming::NextImageFileName(const TNameSettings& settings, int extensionItem) {
    m_image = ImageFileNameFor(settings, m_stamp, m_imageCounter, extensionItem);
    ++m_imageCounter;
    return m_image;
}

QString TOutputNaming::RecomputeVideoFileName(const TNameSettings& settings,
                                              const QString& extension) {
    // Before any name was taken there is no number to give back.
    if (m_videoCounter > 0)
        --m_videoCounter;
    return NextVideoFileName(settings, extension);
}

QString TOutputNaming::RecomputeImageFileName(const TNameSettings& settings, int extensionItem) {
    if (m_imageCounter > 0)
        --m_imageCounter;
    return NextImageFileName(settings, extensionItem);
}

QString TOutputNaming::ChangeVideoExtension(const QString& extension) {
    if (!m_video.isEmpty())
        m_video = WithVideoExtension(m_video, extension);
    return m_video;
}

TPathProbe RealPathProbe() {
    return {[](const QString& f) { return QFileInfo(f).isFile(); },
            [](const QString& d) { return QFileInfo(d).isDir(); }};
}

bool MustAskOverwriteVideo(const QString& name, bool confirmerVideo, const TPathProbe& probe) {
    return confirmerVideo && probe.fileExists(name);
}

bool MustAskCreateFolder(const QString& name, bool confirmerVideo, const TPathProbe& probe) {
    return confirmerVideo && !probe.folderExists(FolderPart(name));
}

bool MustAskOverwriteImage(const QString& name, bool confirmerImage, const TPathProbe& probe) {
    return confirmerImage && probe.fileExists(name);
}

QString OverwriteVideoQuestion(const QString& name, bool withAll) {
    QString text = QStringLiteral("Le fichier ") + name +
                   QStringLiteral(" existe déjà. Voulez-vous l'écraser?");
    if (withAll)
        text += kAllLine;
    return text;
}

QString CreateFolderQuestion(const QString& folder) {
    return QStringLiteral("Le dossier ") + folder +
           QStringLiteral(" n'existe pas.\r\nVoulez-vous le créer?");
}

QString OverwriteImageQuestion(const QString& name) {
    return QStringLiteral("L'image ") + FilePart(name) +
           QStringLiteral(" existe déjà. Voulez-vous la remplacer?") + kAllLine;
}
