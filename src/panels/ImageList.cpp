#include "ImageList.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ImageList {

namespace {

struct Drawing {
    const char* themeName; // freedesktop icon name, or nullptr
    QColor colour;
    char glyph; // 'o' disc, 's' square, 't' triangle, 'p' pause, other: a letter
};

Drawing drawingOf(int index) {
    switch (index) {
    case imCapture:
        return {"media-record", QColor(200, 0, 0), 'o'};
    case imStopCapture:
        return {"media-playback-stop", QColor(200, 0, 0), 's'};
    case imCaptureAudio:
        return {"audio-input-microphone", QColor(200, 0, 0), 'o'};
    case imGrab:
        return {"camera-photo", QColor(40, 90, 170), 'G'};
    case imGrabImageByImage:
        return {nullptr, QColor(150, 60, 160), 'I'};
    case imProgram:
        return {"appointment-new", QColor(30, 130, 60), 'P'};
    case imStopProgram:
        return {"appointment-missed", QColor(170, 100, 0), 'P'};
    case imPlay:
        return {"media-playback-start", QColor(30, 130, 60), 't'};
    case imStop:
        return {"media-playback-stop", QColor(60, 60, 60), 's'};
    case imPause:
        return {"media-playback-pause", QColor(60, 60, 60), 'p'};
    case imForward:
        return {"media-seek-forward", QColor(60, 60, 60), '>'};
    case imFastForward:
        return {"media-skip-forward", QColor(60, 60, 60), '>'};
    case imBackward:
        return {"media-seek-backward", QColor(60, 60, 60), '<'};
    case imRewind:
        return {"media-skip-backward", QColor(60, 60, 60), '<'};
    case imQuit:
        return {"application-exit", QColor(120, 0, 0), 'Q'};
    case imFullScreen:
        return {"view-fullscreen", QColor(40, 40, 120), 'F'};
    case imFolder:
        return {"folder-videos", QColor(200, 150, 30), 'D'};
    case imMute:
        return {"audio-volume-muted", QColor(90, 90, 90), 'M'};
    case imSound:
        return {"audio-volume-high", QColor(30, 110, 160), 'S'};
    case imVolumeUp:
        return {nullptr, QColor(30, 110, 160), '+'};
    case imVolumeDown:
        return {nullptr, QColor(30, 110, 160), '-'};
    case imNoVideo:
        return {"camera-web", QColor(80, 80, 80), 'V'};
    case imScript:
        return {"text-x-script", QColor(70, 70, 140), 'S'};
    case imCut:
        return {"edit-cut", QColor(160, 60, 0), 'X'};
    case imPanelSources:
        return {nullptr, QColor(40, 90, 150), 'S'};
    case imPanelFolders:
        return {nullptr, QColor(40, 90, 150), 'D'};
    case imPanelProgram:
        return {nullptr, QColor(40, 90, 150), 'P'};
    case imPanelGrab:
        return {nullptr, QColor(40, 90, 150), 'E'};
    case imPanelInlay:
        return {nullptr, QColor(40, 90, 150), 'I'};
    case imPanelOptions:
        return {nullptr, QColor(40, 90, 150), 'O'};
    case imPanelList:
        return {nullptr, QColor(40, 90, 150), 'L'};
    case imPanelHelp:
        return {"help-contents", QColor(40, 90, 150), '?'};
    case imPanelAbout:
        return {"help-about", QColor(40, 90, 150), 'i'};
    case imReduce:
        return {"view-restore", QColor(40, 40, 120), 'R'};
    case imSwap:
        return {nullptr, QColor(40, 40, 120), 'W'};
    case imNextPanel:
        return {"go-next", QColor(40, 90, 150), '>'};
    case imVertFlip:
        return {"object-flip-vertical", QColor(110, 70, 140), 'V'};
    case imHorzFlip:
        return {"object-flip-horizontal", QColor(110, 70, 140), 'H'};
    case imShortcuts:
        return {"preferences-desktop-keyboard", QColor(80, 80, 80), 'K'};
    case imFreeze:
        return {nullptr, QColor(60, 130, 170), 'F'};
    case imInlay:
        return {"insert-text", QColor(170, 120, 0), 'T'};
    case imLock:
        return {"system-lock-screen", QColor(80, 80, 80), 'L'};
    case imJpeg:
        return {nullptr, QColor(60, 120, 60), 'J'};
    case imBmp:
        return {nullptr, QColor(60, 120, 60), 'B'};
    case imDatorix:
        return {nullptr, QColor(130, 80, 40), 'D'};
    case imSliders:
        return {nullptr, QColor(170, 120, 0), '+'};
    case imIntervalometer:
        return {"chronometer", QColor(30, 130, 60), 'C'};
    default:
        return {nullptr, QColor(70, 90, 130), '*'};
    }
}

QPixmap draw(const Drawing& d) {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(d.colour.darker(140), 1.5));
    p.setBrush(d.colour);
    switch (d.glyph) {
    case 'o':
        p.drawEllipse(QRectF(5, 5, 22, 22));
        break;
    case 's':
        p.drawRect(QRectF(7, 7, 18, 18));
        break;
    case 't':
        p.drawPolygon(QPolygonF({QPointF(9, 5), QPointF(27, 16), QPointF(9, 27)}));
        break;
    case 'p':
        p.drawRect(QRectF(8, 6, 6, 20));
        p.drawRect(QRectF(18, 6, 6, 20));
        break;
    default: {
        p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(19);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QString(QChar(d.glyph)));
    }
    }
    return pix;
}

} // namespace

QIcon icon(int index) {
    if (index < 0 || index >= kCount)
        return {};
    static QHash<int, QIcon> cache;
    auto it = cache.find(index);
    if (it != cache.end())
        return *it;
    const Drawing d = drawingOf(index);
    QIcon fallback(draw(d));
    QIcon result = d.themeName ? QIcon::fromTheme(QLatin1String(d.themeName), fallback) : fallback;
    cache.insert(index, result);
    return result;
}

} // namespace ImageList
