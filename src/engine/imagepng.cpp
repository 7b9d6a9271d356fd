// PNG files: Qt's PNG writer runs libpng's zlib at a fixed speed that makes it the slowest step
// of a conversion by far, so the pixel data is filtered here and compressed with libdeflate.

#include "engine/imagecodecs.h"

#include <QFile>

#include <libdeflate.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ventara::engine::detail {

namespace {

// libdeflate's level 2: close to zlib's default size at several times its speed.
constexpr int compressionLevel = 2;
constexpr qsizetype maxChunkData = qsizetype(1) << 24;

void putU32(uint8_t *to, uint32_t value) {
    to[0] = uint8_t(value >> 24);
    to[1] = uint8_t(value >> 16);
    to[2] = uint8_t(value >> 8);
    to[3] = uint8_t(value);
}

bool writeChunk(QFile &file, const char type[4], const uint8_t *data, size_t size) {
    uint8_t header[8];
    putU32(header, uint32_t(size));
    std::memcpy(header + 4, type, 4);
    uint32_t crc = libdeflate_crc32(0, header + 4, 4);
    if (size)
        crc = libdeflate_crc32(crc, data, size);
    uint8_t trailer[4];
    putU32(trailer, crc);
    return file.write(reinterpret_cast<const char *>(header), 8) == 8 &&
           (size == 0 ||
            file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size)) &&
           file.write(reinterpret_cast<const char *>(trailer), 4) == 4;
}

// Sum of the filtered bytes read as signed values: the usual estimate of how well a row
// compresses (smaller is better).
inline unsigned int cost(uint8_t value) {
    return value < 128 ? value : 256u - value;
}

// Writes one row as filter byte plus filtered bytes, choosing among None, Sub and Up the
// filter with the smallest cost. `previous` is null for the first row.
void filterRow(const uint8_t *row, const uint8_t *previous, size_t size, size_t bpp, uint8_t *out) {
    unsigned int costNone = 0;
    unsigned int costSub = 0;
    unsigned int costUp = 0;
    for (size_t i = 0; i < size; ++i) {
        costNone += cost(row[i]);
        costSub += cost(uint8_t(row[i] - (i >= bpp ? row[i - bpp] : 0)));
        if (previous)
            costUp += cost(uint8_t(row[i] - previous[i]));
    }
    if (!previous)
        costUp = costNone;

    uint8_t *data = out + 1;
    if (costNone <= costSub && costNone <= costUp) {
        out[0] = 0;
        std::memcpy(data, row, size);
    } else if (costSub <= costUp) {
        out[0] = 1;
        for (size_t i = 0; i < bpp && i < size; ++i)
            data[i] = row[i];
        for (size_t i = bpp; i < size; ++i)
            data[i] = uint8_t(row[i] - row[i - bpp]);
    } else {
        out[0] = 2;
        for (size_t i = 0; i < size; ++i)
            data[i] = uint8_t(row[i] - previous[i]);
    }
}

} // namespace

bool writePngFile(const QImage &rgb32, const QString &path, int dpi) {
    const size_t width = size_t(rgb32.width());
    const size_t height = size_t(rgb32.height());
    if (rgb32.isNull() || width > 0x7fffffff || height > 0x7fffffff)
        return false;
    const bool grey = isGrayscale(rgb32);
    const size_t bpp = grey ? 1 : 3;
    const size_t rowBytes = width * bpp;

    std::vector<uint8_t> filtered;
    std::vector<uint8_t> rows[2];
    try {
        filtered.resize((rowBytes + 1) * height);
        rows[0].resize(rowBytes);
        rows[1].resize(rowBytes);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (size_t y = 0; y < height; ++y) {
        const QRgb *source = reinterpret_cast<const QRgb *>(rgb32.constScanLine(int(y)));
        uint8_t *row = rows[y & 1].data();
        if (grey) {
            for (size_t x = 0; x < width; ++x)
                row[x] = uint8_t(source[x]);
        } else {
            for (size_t x = 0; x < width; ++x) {
                row[3 * x] = uint8_t(source[x] >> 16);
                row[3 * x + 1] = uint8_t(source[x] >> 8);
                row[3 * x + 2] = uint8_t(source[x]);
            }
        }
        filterRow(row, y ? rows[(y - 1) & 1].data() : nullptr, rowBytes, bpp,
                  filtered.data() + y * (rowBytes + 1));
    }

    libdeflate_compressor *compressor = libdeflate_alloc_compressor(compressionLevel);
    if (!compressor)
        return false;
    std::vector<uint8_t> compressed;
    size_t compressedSize = 0;
    try {
        compressed.resize(libdeflate_zlib_compress_bound(compressor, filtered.size()));
        compressedSize = libdeflate_zlib_compress(compressor, filtered.data(), filtered.size(),
                                                  compressed.data(), compressed.size());
    } catch (const std::bad_alloc &) {
        compressedSize = 0;
    }
    libdeflate_free_compressor(compressor);
    if (compressedSize == 0)
        return false;
    std::vector<uint8_t>().swap(filtered);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uint8_t header[13];
    putU32(header, uint32_t(width));
    putU32(header + 4, uint32_t(height));
    header[8] = 8;                            // bits per sample
    header[9] = grey ? 0 : 2;                 // colour type: grey or RGB
    header[10] = header[11] = header[12] = 0; // deflate, adaptive filtering, no interlace
    uint8_t physical[9];
    putU32(physical, uint32_t(dotsPerMeter(dpi)));
    putU32(physical + 4, uint32_t(dotsPerMeter(dpi)));
    physical[8] = 1; // unit: metre

    bool ok = file.write(reinterpret_cast<const char *>(signature), 8) == 8 &&
              writeChunk(file, "IHDR", header, sizeof header) &&
              writeChunk(file, "pHYs", physical, sizeof physical);
    for (size_t offset = 0; ok && offset < compressedSize; offset += maxChunkData) {
        const size_t size = std::min<size_t>(maxChunkData, compressedSize - offset);
        ok = writeChunk(file, "IDAT", compressed.data() + offset, size);
    }
    ok = ok && writeChunk(file, "IEND", nullptr, 0);
    return ok && file.flush();
}

} // namespace ventara::engine::detail
