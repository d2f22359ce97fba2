#pragma once

#include "NameSettings.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

// Names of recorded files and grabbed images. Pure: the folders panel's settings, the run's start
// stamp and the existence of files and folders come in as arguments, so nothing here reads the
// process-wide parameters or touches the user's folders.

// ".bmp" for item 0 of "Extension des images", ".jpg" for item 1 (any other value: ".bmp").
QString ImageExtension(int extensionItem);
// "ddmmyy_hhnnss_" from the stamp, every field as its last two digits.
QString DatePart(const QDateTime& stamp);

// The folder with a trailing "/", the root name, "_", the date part when asked for.
QString NamePrefix(const TNameSettings& settings, const QDateTime& stamp);
// The extension is the capture format's (".avi").
QString VideoFileNameFor(const TNameSettings& settings, const QDateTime& stamp, int counter,
                         const QString& extension);
// The counter as its last five digits with leading zeros.
QString ImageFileNameFor(const TNameSettings& settings, const QDateTime& stamp, int counter,
                         int extensionItem);
// The name with the extension of the capture format in place of its own.
QString WithVideoExtension(const QString& name, const QString& extension);

// The file part and the folder part of a full name.
QString FilePart(const QString& path);
QString FolderPart(const QString& path);

// The run's naming state: the start stamp and the two counters, for the whole run.
class TOutputNaming {
public:
    explicit TOutputNaming(const QDateTime& startStamp) : m_stamp(startStamp) {}

    // The next name, then the counter advances.
    QString NextVideoFileName(const TNameSettings& settings, const QString& extension);
    QString NextImageFileName(const TNameSettings& settings, int extensionItem);
    // A folder, root-name, date or extension edit: the number is given back first, so the
    // edit does not consume one.
    QString RecomputeVideoFileName(const TNameSettings& settings, const QString& extension);
    QString RecomputeImageFileName(const TNameSettings& settings, int extensionItem);
    // A new capture format changes only the extension of the shown next name.
    QString ChangeVideoExtension(const QString& extension);

    QString videoFileName() const { return m_video; }
    QString imageFileName() const { return m_image; }
    int videoCounter() const { return m_videoCounter; }
    int imageCounter() const { return m_imageCounter; }
    QDateTime startStamp() const { return m_stamp; }

private:
    QDateTime m_stamp;
    int m_videoCounter = 0;
    int m_imageCounter = 0;
    QString m_video;
    QString m_image;
};

// Whether a file or a folder exists; tests give their own.
struct TPathProbe {
    std::function<bool(const QString&)> fileExists;
    std::function<bool(const QString&)> folderExists;
};
TPathProbe RealPathProbe();

// Questions before a recording writes its next file, in the order they are asked. The folder
// question is asked only while the confirmation is on; without it the folder is created
// silently.
bool MustAskOverwriteVideo(const QString& name, bool confirmerVideo, const TPathProbe& probe);
bool MustAskCreateFolder(const QString& name, bool confirmerVideo, const TPathProbe& probe);
bool MustAskOverwriteImage(const QString& name, bool confirmerImage, const TPathProbe& probe);

// The question texts; withAll adds the line about the "Tous" button.
QString OverwriteVideoQuestion(const QString& name, bool withAll);
QString CreateFolderQuestion(const QString& folder);
QString OverwriteImageQuestion(const QString& name);
