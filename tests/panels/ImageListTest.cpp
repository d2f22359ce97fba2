#include "ImageList.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Pixels that are not fully transparent.
int inkedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

// A desktop icon theme of the test's own, whose pictures are plain green squares.
class GreenTheme {
public:
    explicit GreenTheme(const QStringList& names) {
        const QString folder = m_dir.path() + "/vrgreen/scalable/apps";
        QDir().mkpath(folder);
        QFile index(m_dir.path() + "/vrgreen/index.theme");
        index.open(QIODevice::WriteOnly);
        index.write("[Icon Theme]\nName=vrgreen\nDirectories=scalable/apps\n\n"
                    "[scalable/apps]\nSize=48\nMinSize=8\nMaxSize=512\nType=Scalable\n");
        index.close();
        for (const QString& name : names) {
            QFile svg(folder + '/' + name + ".svg");
            svg.open(QIODevice::WriteOnly);
            svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"24\">"
                      "<rect width=\"24\" height=\"24\" fill=\"#00ff00\"/></svg>");
        }
        m_savedPaths = QIcon::themeSearchPaths();
        m_savedName = QIcon::themeName();
        QIcon::setThemeSearchPaths({m_dir.path()});
        QIcon::setThemeName(QStringLiteral("vrgreen"));
    }
    ~GreenTheme() {
        ImageList::setUseDesktopTheme(false);
        QIcon::setThemeSearchPaths(m_savedPaths);
        QIcon::setThemeName(m_savedName);
    }

private:
    QTemporaryDir m_dir;
    QStringList m_savedPaths;
    QString m_savedName;
};

QRgb centre(const QIcon& icon) {
    const QImage image = icon.pixmap(QSize(32, 32), 1.0).toImage();
    return image.pixel(16, 16);
}

} // namespace

// Every index the actions use has a drawing of its own, a valid 24 x 24 SVG, that is drawn
// at the size asked, sharp and not empty, from 16 pixels to 64 and on a double-density
// screen; a disabled action shows it greyed.
TEST(ImageList, EveryIndexHasItsOwnDrawingAtAnySize) {
    ImageList::setUseDesktopTheme(false);
    QSet<QString> files;
    for (int index = 0; index < ImageList::kCount; ++index) {
        SCOPED_TRACE(index);
        const QString path = ImageList::drawingPath(index);
        ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
        files.insert(path);
        QSvgRenderer renderer(path);
        ASSERT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24));

        const QIcon icon = ImageList::icon(index);
        ASSERT_FALSE(icon.isNull());
        for (int side : {16, 64}) {
            const QPixmap pix = icon.pixmap(QSize(side, side), 1.0);
            ASSERT_EQ(pix.size(), QSize(side, side));
            const int inked = inkedPixels(pix.toImage());
            // Something is drawn, and it is a picture, not a filled square.
            EXPECT_GT(inked, side * side / 10) << side;
            EXPECT_LT(inked, side * side) << side;
        }
        const QPixmap sharp = icon.pixmap(QSize(32, 32), 2.0);
        EXPECT_EQ(sharp.size(), QSize(64, 64));
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        const QImage disabled = icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled).toImage();
        EXPECT_NE(disabled, icon.pixmap(QSize(32, 32), 1.0).toImage());
    }
    EXPECT_EQ(files.size(), ImageList::kCount);
    EXPECT_TRUE(ImageList::icon(-1).isNull());
    EXPECT_TRUE(ImageList::icon(ImageList::kCount).isNull());
    EXPECT_TRUE(ImageList::drawingPath(ImageList::kCount).isEmpty());

    // A few drawings say what they are by their colours: the red dot of a recording, the
    // green of play.
    const QImage record = ImageList::icon(ImageList::imCapture).pixmap(32, 32).toImage();
    EXPECT_GT(qRed(record.pixel(16, 16)), 200);
    EXPECT_LT(qGreen(record.pixel(16, 16)), 100);
    const QImage play = ImageList::icon(ImageList::imPlay).pixmap(32, 32).toImage();
    EXPECT_GT(qGreen(play.pixel(14, 16)), qRed(play.pixel(14, 16)));
}

// The desktop's theme replaces the program's drawings only when asked, only where it has a
// picture of that name, and the icons already handed out follow the choice at once.
TEST(ImageList, DesktopThemeOnlyWhenAskedAndWhereItHasThePicture) {
    const QString recordName = ImageList::themeName(ImageList::imCapture);
    ASSERT_FALSE(recordName.isEmpty());
    GreenTheme theme({recordName});
    ASSERT_TRUE(QIcon::hasThemeIcon(recordName));

    const QIcon record = ImageList::icon(ImageList::imCapture);
    const QIcon grab = ImageList::icon(ImageList::imGrab); // not in this theme
    const QRgb ownGrab = centre(grab);
    ImageList::setUseDesktopTheme(false);
    EXPECT_GT(qRed(centre(record)), 200);

    ImageList::setUseDesktopTheme(true);
    EXPECT_TRUE(ImageList::useDesktopTheme());
    EXPECT_EQ(centre(record), qRgb(0, 255, 0));
    EXPECT_EQ(centre(ImageList::icon(ImageList::imCapture)), qRgb(0, 255, 0));
    EXPECT_EQ(centre(grab), ownGrab);

    ImageList::setUseDesktopTheme(false);
    EXPECT_GT(qRed(centre(record)), 200);
    EXPECT_LT(qGreen(centre(record)), 100);
}
