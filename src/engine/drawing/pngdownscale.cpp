#include "engine/drawing/pngdownscale.h"

#include <QFile>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace ventara::engine {

namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE *file = nullptr;
    ~PngReader() {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }
};

void ignoreWarning(png_structp, png_const_charp) {}

// The parts that libpng may leave with a long jump hold no C++ objects.
struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool interlaced = false;
    size_t rowBytes = 0;
};

bool readHeader(png_structp png, png_infop info, FILE *file, Header *header) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, 1'000'000, 1'000'000);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    // Every kind of PNG becomes 8-bit RGBA rows.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

using RowConsumer = void (*)(void *context, png_uint_32 y, const png_byte *row);

bool readRows(png_structp png, png_bytep row, png_uint_32 height, RowConsumer consume,
              void *context) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row, nullptr);
        consume(context, y, row);
    }
    png_read_end(png, nullptr);
    return true;
}

// Averages the rows of the file into the output image, premultiplied, so that transparent
// pixels do not tint their neighbours.
struct Averager {
    QImage image;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<int> column; // output column of each source column
    std::vector<quint64> sums;
    std::vector<quint32> counts;
    int line = 0;

    void flush() {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(line));
        for (int x = 0; x < image.width(); ++x) {
            const quint64 n = std::max<quint32>(counts[size_t(x)], 1);
            const quint64 *sum = &sums[size_t(x) * 4];
            out[x] = qRgba(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n),
                           int((sum[2] + n / 2) / n), int((sum[3] + n / 2) / n));
        }
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
    }

    static void consume(void *context, png_uint_32 y, const png_byte *pixel) {
        auto *self = static_cast<Averager *>(context);
        const int target = int(quint64(y) * quint64(self->image.height()) / self->height);
        if (target != self->line) {
            self->flush();
            self->line = target;
        }
        for (png_uint_32 x = 0; x < self->width; ++x, pixel += 4) {
            const quint32 alpha = pixel[3];
            const size_t out = size_t(self->column[x]);
            quint64 *sum = &self->sums[out * 4];
            if (alpha == 255) {
                sum[0] += pixel[0];
                sum[1] += pixel[1];
                sum[2] += pixel[2];
            } else {
                sum[0] += (pixel[0] * alpha + 127) / 255;
                sum[1] += (pixel[1] * alpha + 127) / 255;
                sum[2] += (pixel[2] * alpha + 127) / 255;
            }
            sum[3] += alpha;
            ++self->counts[out];
        }
    }
};

} // namespace

std::optional<QImage> readPngDownscaled(const QString &path, QSize size, QString *error) {
    PngReader reader;
    reader.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!reader.file) {
        *error = QStringLiteral("cannot be opened");
        return std::nullopt;
    }
    png_byte signature[8];
    if (std::fread(signature, 1, 8, reader.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        *error = QStringLiteral("not a PNG file");
        return std::nullopt;
    }
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    if (!reader.png || !(reader.info = png_create_info_struct(reader.png))) {
        *error = QStringLiteral("out of memory");
        return std::nullopt;
    }
    Header header;
    if (!readHeader(reader.png, reader.info, reader.file, &header)) {
        *error = QStringLiteral("damaged PNG file");
        return std::nullopt;
    }
    if (header.interlaced || header.rowBytes != size_t(header.width) * 4 || header.width == 0 ||
        header.height == 0) {
        *error = QStringLiteral("a PNG file that is read whole");
        return std::nullopt;
    }

    Averager averager;
    averager.width = header.width;
    averager.height = header.height;
    averager.image = QImage(std::clamp(size.width(), 1, int(header.width)),
                            std::clamp(size.height(), 1, int(header.height)),
                            QImage::Format_ARGB32_Premultiplied);
    if (averager.image.isNull()) {
        *error = QStringLiteral("out of memory");
        return std::nullopt;
    }
    const int outWidth = averager.image.width();
    averager.column.resize(header.width);
    for (png_uint_32 x = 0; x < header.width; ++x)
        averager.column[x] = int(quint64(x) * quint64(outWidth) / header.width);
    averager.sums.assign(size_t(outWidth) * 4, 0);
    averager.counts.assign(size_t(outWidth), 0);
    std::vector<png_byte> row(header.rowBytes);
    if (!readRows(reader.png, row.data(), header.height, &Averager::consume, &averager)) {
        *error = QStringLiteral("damaged PNG file");
        return std::nullopt;
    }
    averager.flush();
    return averager.image;
}

} // namespace ventara::engine
