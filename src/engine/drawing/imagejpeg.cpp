// JPEG files, encoded with libjpeg-turbo straight from the image's rows: libjpeg reads the
// 32-bit pixels as they are (and makes the grey channel of a grey page itself), where Qt's
// writer copies every row into a buffer of its own first.

#include "engine/drawing/imagecodecs.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo (with its JCS_EXT_* input formats) is needed"
#endif

namespace ventara::engine::detail {

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

void jpegIgnoreMessage(j_common_ptr) {}

// Encodes the image into a buffer that libjpeg allocates (*data, to be freed with free()).
// Only plain values live in this frame: a libjpeg error jumps back to its start.
bool encodeJpeg(const QImage &rgb32, bool grey, int quality, int dpi, unsigned char **data,
                unsigned long *size) {
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.output_message = jpegIgnoreMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, data, size);
    info.image_width = JDIMENSION(rgb32.width());
    info.image_height = JDIMENSION(rgb32.height());
    info.input_components = 4;
    // Format_RGB32 pixels are 0xffRRGGBB words.
    info.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&info);
    if (grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    info.density_unit = 1; // dots per inch
    info.X_density = UINT16(dpi);
    info.Y_density = UINT16(dpi);
    // As Qt's writer: baseline quantisation tables, default (4:2:0) subsampling, no
    // optimised Huffman tables.
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    constexpr int batch = 16;
    JSAMPROW rows[batch];
    while (info.next_scanline < info.image_height) {
        const int first = int(info.next_scanline);
        const int count = std::min(batch, int(info.image_height) - first);
        for (int i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(rgb32.constScanLine(first + i));
        jpeg_write_scanlines(&info, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool writeJpegFile(const QImage &rgb32, const QString &path, double compressionFactor, int dpi) {
    if (rgb32.isNull() || rgb32.format() != QImage::Format_RGB32 || rgb32.width() > 65500 ||
        rgb32.height() > 65500)
        return false;
    // The JFIF density field holds at most 65535.
    const int storedDpi = std::clamp(dpi, 1, 65535);
    const int quality = std::clamp(static_cast<int>(compressionFactor * 100.0 + 0.5), 0, 100);
    // A grey page is written with one component: the same pixels, a third of the work.
    const bool grey = isGrayscale(rgb32);
    unsigned char *data = nullptr;
    unsigned long size = 0;
    const bool encoded = encodeJpeg(rgb32, grey, quality, storedDpi, &data, &size);
    bool written = false;
    if (encoded && data && size > 0) {
        QFile file(path);
        written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size) &&
                  file.flush();
    }
    std::free(data);
    return written;
}

} // namespace ventara::engine::detail
