#include "StillWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <memory>

namespace stills {

namespace {

void put16(QByteArray& b, uint16_t v) {
    b.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray& b, uint32_t v) {
    put16(b, uint16_t(v & 0xFFFF));
    put16(b, uint16_t(v >> 16));
}

// Writes bytes under path through a temporary file of the same folder, renamed when complete.
bool commit(const QString& path, const QByteArray& bytes, QString* error) {
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        if (error)
            *error = QStringLiteral("Le dossier %1 n'existe pas.").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Impossible d'écrire l'image %1 : %2")
                         .arg(info.fileName(), file.errorString());
        return false;
    }
    return true;
}

// EXIF entries, made the way libexif expects them to be owned by their IFD.
void addAscii(ExifData* exif, ExifIfd ifd, ExifTag tag, const QByteArray& text) {
    ExifMem* mem = exif_mem_new_default();
    ExifEntry* entry = exif_entry_new_mem(mem);
    const size_t size = size_t(text.size()) + 1;
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(size)));
    if (entry->data) {
        std::memcpy(entry->data, text.constData(), size);
        entry->size = unsigned(size);
        entry->components = size;
        entry->format = EXIF_FORMAT_ASCII;
        entry->tag = tag;
        exif_content_add_entry(exif->ifd[ifd], entry);
    }
    exif_entry_unref(entry);
    exif_mem_unref(mem);
}

void addLong(ExifData* exif, ExifIfd ifd, ExifTag tag, uint32_t value) {
    ExifMem* mem = exif_mem_new_default();
    ExifEntry* entry = exif_entry_new_mem(mem);
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem, 4));
    if (entry->data) {
        exif_set_long(entry->data, exif_data_get_byte_order(exif), value);
        entry->size = 4;
        entry->components = 1;
        entry->format = EXIF_FORMAT_LONG;
        entry->tag = tag;
        exif_content_add_entry(exif->ifd[ifd], entry);
    }
    exif_entry_unref(entry);
    exif_mem_unref(mem);
}

QByteArray exifBlock(const TStillImage& image, const QDateTime& filmedAt) {
    ExifData* exif = exif_data_new();
    if (!exif)
        return {};
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    exif_data_set_data_type(exif, EXIF_DATA_TYPE_COMPRESSED);
    addAscii(exif, EXIF_IFD_0, EXIF_TAG_SOFTWARE, "Vidorra");
    if (filmedAt.isValid()) {
        const QByteArray when = filmedAt.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1();
        addAscii(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, when);
        addAscii(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED, when);
    }
    addLong(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, uint32_t(image.width));
    addLong(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, uint32_t(image.height));
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    QByteArray block(reinterpret_cast<const char*>(data), int(size));
    free(data);
    exif_data_unref(exif);
    return block;
}

// libjpeg reports fatal errors through a callback that must not return.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Encodes into memory; the file is written afterwards in one piece.
bool encodeJpeg(const TStillImage& image, int quality, const QByteArray& exif, QByteArray& out,
                QString* error) {
    jpeg_compress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(buffer);
        if (error)
            *error = QStringLiteral("Encodage JPEG impossible : %1").arg(err.message);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(image.width);
    cinfo.image_height = JDIMENSION(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR; // the pictures' own order, no conversion pass
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                          unsigned(exif.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.row(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    out = QByteArray(reinterpret_cast<const char*>(buffer), int(size));
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return true;
}

} // namespace

bool WriteBmp(const QString& path, const TStillImage& image, QString* error) {
    if (image.width <= 0 || image.height <= 0) {
        if (error)
            *error = QStringLiteral("Image vide : rien n'a été enregistré.");
        return false;
    }
    const int rowBytes = (image.width * 3 + 3) & ~3;
    const uint32_t pixelBytes = uint32_t(rowBytes) * uint32_t(image.height);
    QByteArray b;
    b.reserve(int(54 + pixelBytes));
    b.append("BM");
    put32(b, 54 + pixelBytes);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40); // BITMAPINFOHEADER
    put32(b, uint32_t(image.width));
    put32(b, uint32_t(image.height)); // positive: rows bottom-up
    put16(b, 1);
    put16(b, 24);
    put32(b, 0); // BI_RGB
    put32(b, pixelBytes);
    put32(b, 2835); // 72 dpi
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    const QByteArray padding(rowBytes - image.width * 3, '\0');
    for (int y = image.height - 1; y >= 0; --y) {
        b.append(reinterpret_cast<const char*>(image.row(y)), image.width * 3);
        b.append(padding);
    }
    return commit(path, b, error);
}

bool WriteJpeg(const QString& path, const TStillImage& image, int quality,
               const QDateTime& filmedAt, QString* error) {
    if (image.width <= 0 || image.height <= 0) {
        if (error)
            *error = QStringLiteral("Image vide : rien n'a été enregistré.");
        return false;
    }
    QByteArray bytes;
    return encodeJpeg(image, quality, exifBlock(image, filmedAt), bytes, error) &&
           commit(path, bytes, error);
}

} // namespace stills
