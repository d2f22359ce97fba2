#include "SystemReport.h"

#include <QRegularExpression>

namespace {

void add(std::vector<TReportLine>& lines, const QString& text,
         TReportColour colour = TReportColour::Black, bool bold = false, bool italic = false) {
    lines.push_back({text, colour, bold, italic});
}

void heading(std::vector<TReportLine>& lines, const QString& text) {
    add(lines, text, TReportColour::Blue, false, true);
}

} // namespace

std::vector<TReportLine> BuildSystemReport(const TSystemFacts& f) {
    std::vector<TReportLine> lines;
    add(lines, f.osDescription + QStringLiteral(". "), TReportColour::Black, true);
    add(lines, QStringLiteral("GStreamer version %1.").arg(f.gstreamerVersion));
    add(lines, QString());
    heading(lines, QStringLiteral("Filtres:"));
    if (f.windowsMedia)
        add(lines, QStringLiteral("Windows Media Found."));
    else
        add(lines, QStringLiteral("Windows Media not Found."), TReportColour::Red);
    if (!f.divxEncoders.isEmpty()) {
        add(lines, QStringLiteral("DivX encoders Found:"));
        for (const QString& name : f.divxEncoders)
            add(lines, QStringLiteral("   ") + name, TReportColour::Olive);
    } else {
        add(lines, QStringLiteral("DivX encoder not Found."), TReportColour::Red);
    }
    if (f.mp3Found) {
        add(lines, QStringLiteral("Mp3 encoder Found:"));
        add(lines, QStringLiteral("    ") + f.mp3File, TReportColour::Olive);
        add(lines, QStringLiteral("    ") + f.mp3Version, TReportColour::Olive);
    } else {
        add(lines, QStringLiteral("Mp3 encoder not Found."), TReportColour::Red);
    }
    add(lines, QString());
    heading(lines, QStringLiteral("Sources:"));
    for (const auto& [name, checked] : f.sources) {
        if (checked)
            add(lines, name + QStringLiteral(" +"));
        else
            add(lines, name + QStringLiteral(" -"), TReportColour::Red);
    }
    // Without plug-ins the report ends with the sources, with no blank line dangling.
    if (!f.plugins.empty()) {
        add(lines, QString());
        heading(lines, QStringLiteral("Plug-ins:"));
        for (const TSystemFacts::Plugin& p : f.plugins) {
            // Beside the red entry, why it is not used.
            add(lines,
                p.driverName + QStringLiteral(" in ") + p.file +
                    (p.reason.isEmpty() ? QString() : QStringLiteral(" : ") + p.reason),
                p.enabled ? TReportColour::Black : TReportColour::Red);
            lines.back().enablePath = p.enablePath;
        }
    }
    return lines;
}

QString SystemReportBody(const std::vector<TReportLine>& lines) {
    QString body = QStringLiteral("\r\nInformations sur le système:\r\n");
    for (const TReportLine& line : lines)
        body += line.text + QStringLiteral("\r\n");
    return body;
}

QString OsDescription(const QString& osRelease, const QString& kernelRelease) {
    QString name;
    static const QRegularExpression pretty(QStringLiteral("^PRETTY_NAME=(.*)$"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = pretty.match(osRelease);
    if (m.hasMatch()) {
        name = m.captured(1).trimmed();
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front())
            name = name.mid(1, name.size() - 2);
        name.replace(QLatin1String("\\\""), QLatin1String("\""));
    }
    if (name.isEmpty())
        return kernelRelease.isEmpty() ? QStringLiteral("Linux")
                                       : QStringLiteral("Linux ") + kernelRelease;
    if (!kernelRelease.isEmpty())
        name += QStringLiteral(", Linux ") + kernelRelease;
    return name;
}

unsigned ReportColourRgb(TReportColour colour) {
    switch (colour) {
    case TReportColour::Red:
        return 0xFF0000;
    case TReportColour::Blue:
        return 0x0000FF;
    case TReportColour::Olive:
        return 0x808000;
    case TReportColour::Black:
        break;
    }
    return 0x000000;
}
