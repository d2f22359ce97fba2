#include "StillImage.h"
#include "StillWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <random>

namespace {

TStillImage pattern(int w, int h, bool noise = false) {
    TStillImage image;
    image.resize(w, h);
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image.row(y) + x * 3;
            p[0] = uint8_t(x);                               // blue
            p[1] = uint8_t(y);                               // green
            p[2] = noise ? uint8_t(random()) : uint8_t(200); // red
        }
    return image;
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Decoded decodeJpeg(const QString& path) {
    Decoded d;
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!f)
        return d;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    d.width = int(cinfo.output_width);
    d.height = int(cinfo.output_height);
    d.rgb.resize(size_t(d.width) * d.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.rgb.data() + size_t(cinfo.output_scanline) * d.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return d;
}

QString exifText(const QString& path, ExifIfd ifd, ExifTag tag) {
    ExifData* exif = exif_data_new_from_file(QFile::encodeName(path).constData());
    if (!exif)
        return {};
    QString text;
    if (ExifEntry* e = exif_content_get_entry(exif->ifd[ifd], tag)) {
        char value[128];
        text = QString::fromLatin1(exif_entry_get_value(e, value, sizeof value));
    }
    exif_data_unref(exif);
    return text;
}

} // namespace

TEST(Stills, AspectThumbnailAndInterval) {
    EXPECT_EQ(stills::CorrectedSize(720, 576, 16, 9), QSize(720, 405));
    EXPECT_EQ(stills::CorrectedSize(720, 576, 4, 3), QSize(720, 540));
    EXPECT_EQ(stills::CorrectedSize(720, 405, 4, 3), QSize(540, 405));
    EXPECT_EQ(stills::CorrectedSize(720, 576, 0, 0), QSize(720, 576));
    EXPECT_EQ(stills::ThumbnailRect(720, 405), QRect(32, 55, 192, 108));
    EXPECT_EQ(stills::ThumbnailRect(100, 200), QRect(92, 19, 72, 144));
    EXPECT_EQ(stills::ThumbnailRect(640, 480), QRect(32, 19, 192, 144));

    TStillImage wide;
    stills::Stretch(pattern(720, 576), wide, 720, 405);
    EXPECT_EQ(wide.width, 720);
    EXPECT_EQ(wide.pixels.size(), size_t(720 * 405 * 3));
    EXPECT_EQ(wide.row(404)[1], uint8_t(575 * 404 / 405 * 0 + 404 * 576 / 405));

    EXPECT_EQ(stills::Interval(0, 5, 25), 50000);
    EXPECT_EQ(stills::Interval(1, 50, 25), 20000); // one grab every 2 s
    EXPECT_EQ(stills::Interval(1, 1, 29.97), 334);
    EXPECT_EQ(stills::Interval(0, 0, 25), 0);
    EXPECT_EQ(stills::Interval(2, 3, 25), 1800000);
    EXPECT_EQ(stills::Interval(3, 59, 25), 2124000000);
    // Beyond the overlay's count: refused rather than wrapped.
    EXPECT_FALSE(stills::Interval(3, 60, 25));
    EXPECT_FALSE(stills::Interval(0, 999999, 25));
    EXPECT_FALSE(stills::Interval(0, -1, 25));
}

TEST(Stills, BmpAndJpegReadBack) {
    QTemporaryDir dir;
    const TStillImage image = pattern(101, 37);
    QString error;
    const QString bmp = dir.filePath("Image_0.bmp");
    ASSERT_TRUE(stills::WriteBmp(bmp, image, &error)) << error.toStdString();
    QFile f(bmp);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    const int rowBytes = (101 * 3 + 3) & ~3;
    ASSERT_EQ(b.size(), 54 + rowBytes * 37);
    EXPECT_EQ(b.left(2), "BM");
    EXPECT_EQ(uint8_t(b[28]), 24);
    // Rows are stored bottom-up: the file's first row is the picture's last.
    EXPECT_EQ(uint8_t(b[54 + 1]), 36);                // green of row 36
    EXPECT_EQ(uint8_t(b[54 + rowBytes * 36 + 1]), 0); // green of row 0
    EXPECT_EQ(uint8_t(b[54 + 5 * 3]), 5);             // blue of column 5

    const QDateTime filmed(QDate(2024, 5, 1), QTime(13, 0, 15));
    const QString jpeg = dir.filePath("Image_1.jpg");
    ASSERT_TRUE(stills::WriteJpeg(jpeg, pattern(720, 405), 95, filmed, &error));
    const Decoded d = decodeJpeg(jpeg);
    EXPECT_EQ(d.width, 720);
    EXPECT_EQ(d.height, 405);
    ASSERT_FALSE(d.rgb.empty());
    const uint8_t* px = &d.rgb[size_t(10 * 720 + 300) * 3]; // decoded as red, green, blue
    EXPECT_NEAR(px[0], 200, 12);
    EXPECT_NEAR(px[1], 10, 12);
    EXPECT_NEAR(px[2], 300 % 256, 12);
    EXPECT_EQ(exifText(jpeg, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), "2024:05:01 13:00:15");
    EXPECT_EQ(exifText(jpeg, EXIF_IFD_0, EXIF_TAG_SOFTWARE), "Vidorra");
    EXPECT_EQ(exifText(jpeg, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), "720");

    // The quality is the IJG scale: a noisy picture costs much less at 10 than at 90.
    const QString high = dir.filePath("Image_2.jpg"), low = dir.filePath("Image_3.jpg");
    ASSERT_TRUE(stills::WriteJpeg(high, pattern(720, 405, true), 90, {}, &error));
    ASSERT_TRUE(stills::WriteJpeg(low, pattern(720, 405, true), 10, {}, &error));
    EXPECT_LT(QFile(low).size() * 2, QFile(high).size());
    EXPECT_TRUE(exifText(low, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL).isEmpty());

    // A missing folder: refused, said in French, nothing left behind anywhere.
    EXPECT_FALSE(stills::WriteJpeg(dir.filePath("absent/Image_4.jpg"), image, 50, {}, &error));
    EXPECT_TRUE(error.contains("n'existe pas")) << error.toStdString();
    EXPECT_FALSE(stills::WriteBmp(dir.filePath("absent/Image_4.bmp"), image, &error));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}
