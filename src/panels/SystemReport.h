#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// The "Système" report of the help panel: what the program found on the machine, line by
// line, each line with its colour. Built from plain facts so that it can be checked without
// the machine it describes.

// What the report says about the machine.
struct TSystemFacts {
    QString osDescription;     // "Debian GNU/Linux 12 (bookworm), Linux 6.1.0"
    QString gstreamerVersion;  // "1.22.0"
    bool windowsMedia = false; // the ASF muxer and the WMV encoders are installed
    QStringList divxEncoders;  // names as the options panel lists them
    bool mp3Found = false;
    QString mp3File;                               // the encoder element's plug-in library
    QString mp3Version;                            // and its version
    std::vector<std::pair<QString, bool>> sources; // the exclusion list: name, checked
    struct Plugin {
        QString driverName;
        QString file;
        bool enabled = true;
        QString reason = {};     // why it is not used, in French
        QString enablePath = {}; // the library the user may enable again; empty: none
    };
    std::vector<Plugin> plugins; // capture plug-ins of the plug-in folder
};

enum class TReportColour { Black, Red, Blue, Olive };

struct TReportLine {
    QString text;
    TReportColour colour = TReportColour::Black;
    bool bold = false;
    bool italic = false;
    QString enablePath = {}; // a "réactiver" link follows the line, for this plug-in
    bool operator==(const TReportLine&) const = default;
};

std::vector<TReportLine> BuildSystemReport(const TSystemFacts& facts);

// The report as the body of the error e-mail: one heading, then the lines separated by
// CR LF (the mail link encodes them itself).
QString SystemReportBody(const std::vector<TReportLine>& lines);

// "PRETTY_NAME, Linux <release>" from the text of /etc/os-release and the kernel release;
// either part may be missing.
QString OsDescription(const QString& osRelease, const QString& kernelRelease);

// The colour of a report line as red, green, blue.
unsigned ReportColourRgb(TReportColour colour);
