#include "ImageList.h"

#include <QApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QWidget>
#include <iterator>
#include <memory>

namespace ImageList {

namespace {

struct Picture {
    int index;
    const char* file;      // under :/icons/, without the .svg
    const char* themeName; // freedesktop icon name, or nullptr
};

// Index 0 is no action's; it draws a plain video frame.
constexpr Picture kPictures[] = {
    {0, "video", "video-x-generic"},
    {imFullScreen, "fullscreen", "view-fullscreen"},
    {imPanelOptions, "panel-options", "preferences-system"},
    {imGrabImageByImage, "grab-image-by-image", nullptr},
    {imPanelFolders, "panel-folders", "folder"},
    {imPanelProgram, "panel-program", "x-office-calendar"},
    {imGrab, "grab", "camera-photo"},
    {imPanelGrab, "panel-grab", "image-x-generic"},
    {imPanelInlay, "panel-inlay", "insert-text"},
    {imQuit, "quit", "application-exit"},
    {imPanelAbout, "panel-about", "help-about"},
    {imCut, "cut", "edit-cut"},
    {imJpeg, "jpeg", "image-jpeg"},
    {imBmp, "bmp", "image-bmp"},
    {imCapture, "capture", "media-record"},
    {imSwap, "swap", nullptr},
    {imNextPanel, "next-panel", "go-next"},
    {imPanelHelp, "panel-help", "help-contents"},
    {imReduce, "reduce", "view-restore"},
    {imPanelSources, "panel-sources", "camera-video"},
    {imProgram, "program", "appointment-new"},
    {imPlay, "play", "media-playback-start"},
    {imStop, "stop", "media-playback-stop"},
    {imForward, "forward", "media-seek-forward"},
    {imFastForward, "fast-forward", "media-skip-forward"},
    {imBackward, "backward", "media-seek-backward"},
    {imRewind, "rewind", "media-skip-backward"},
    {imVertFlip, "vertical-flip", "object-flip-vertical"},
    {imStopCapture, "stop-capture", "media-playback-stop"},
    {imDatorix, "datorix", nullptr},
    {imStopProgram, "stop-program", "appointment-missed"},
    {imFolder, "folder", "folder-videos"},
    {imVolumeUp, "volume-up", nullptr},
    {imVolumeDown, "volume-down", nullptr},
    {imSliders, "sliders", nullptr},
    {imHorzFlip, "horizontal-flip", "object-flip-horizontal"},
    {imShortcuts, "shortcuts", "preferences-desktop-keyboard"},
    {imFreeze, "freeze", nullptr},
    {imInlay, "inlay", "insert-text"},
    {imLock, "lock", "system-lock-screen"},
    {imPanelList, "panel-list", "view-list"},
    {imMute, "mute", "audio-volume-muted"},
    {imSound, "sound", "audio-volume-high"},
    {imCaptureAudio, "capture-audio", "audio-input-microphone"},
    {imPause, "pause", "media-playback-pause"},
    {imIntervalometer, "intervalometer", "chronometer"},
    {imScript, "script", "text-x-script"},
    {imNoVideo, "no-video", "camera-web"},
};
static_assert(std::size(kPictures) == size_t(kCount), "one picture for each index");

const Picture* pictureOf(int index) {
    for (const Picture& p : kPictures)
        if (p.index == index)
            return &p;
    return nullptr;
}

bool g_useDesktopTheme = false;

// Renders the drawing at the size asked, so that it stays sharp on any screen; follows the
// theme choice each time it paints.
class PictureEngine : public QIconEngine {
public:
    explicit PictureEngine(int index) : m_index(index) {}

    QIconEngine* clone() const override { return new PictureEngine(m_index); }
    QString key() const override { return QStringLiteral("vidorra-picture"); }
    QString iconName() override { return themeName(m_index); }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (const QIcon themed = fromTheme(); !themed.isNull())
            return themed.actualSize(size, mode, state);
        return size;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap pix = pixmap(rect.size() * ratio, mode, state);
        pix.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, pix);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (const QIcon themed = fromTheme(); !themed.isNull())
            return themed.pixmap(size, mode, state);
        if (size.isEmpty())
            return {};
        const QString cacheKey = QStringLiteral("vidorra-picture-%1-%2x%3-%4")
                                     .arg(m_index)
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(int(mode));
        QPixmap pix;
        if (QPixmapCache::find(cacheKey, &pix))
            return pix;
        pix = render(size);
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption option;
                option.palette = QApplication::palette();
                const QPixmap generated =
                    QApplication::style()->generatedIconPixmap(mode, pix, &option);
                if (!generated.isNull())
                    pix = generated;
            }
        }
        QPixmapCache::insert(cacheKey, pix);
        return pix;
    }

private:
    QIcon fromTheme() const {
        if (!g_useDesktopTheme)
            return {};
        const QString name = themeName(m_index);
        return name.isEmpty() || !QIcon::hasThemeIcon(name) ? QIcon() : QIcon::fromTheme(name);
    }

    QPixmap render(const QSize& size) const {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer renderer(drawingPath(m_index));
        if (renderer.isValid()) {
            // Square drawings, centred in a box of another shape.
            const int side = std::min(size.width(), size.height());
            const QRectF box((size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, box);
        }
        return QPixmap::fromImage(image);
    }

    int m_index;
};

} // namespace

QString drawingPath(int index) {
    const Picture* p = pictureOf(index);
    return p ? QStringLiteral(":/icons/%1.svg").arg(QLatin1String(p->file)) : QString();
}

QString themeName(int index) {
    const Picture* p = pictureOf(index);
    return p && p->themeName ? QString(QLatin1String(p->themeName)) : QString();
}

QIcon icon(int index) {
    if (!pictureOf(index))
        return {};
    return QIcon(new PictureEngine(index));
}

void setUseDesktopTheme(bool on) {
    if (on == g_useDesktopTheme)
        return;
    g_useDesktopTheme = on;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        for (QWidget* w : QApplication::allWidgets())
            w->update();
}

bool useDesktopTheme() {
    return g_useDesktopTheme;
}

} // namespace ImageList
