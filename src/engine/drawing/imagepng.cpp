// PNG files: Qt's PNG writer runs libpng's zlib at a fixed speed that makes it the slowest step
// of a conversion by far, so the pixel data is filtered here and compressed with libdeflate.

#include "engine/drawing/imagecodecs.h"

#include <QFile>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__) && defined(__x86_64__)
#define VENTARA_PNG_SSE2
#include <emmintrin.h>
#endif

namespace ventara::engine::detail {

namespace {

// libdeflate's level 2: close to zlib's default size at several times its speed.
constexpr int compressionLevel = 2;
constexpr qsizetype maxChunkData = qsizetype(1) << 24;
// Scratch memory a thread keeps between files (two buffers of about a page each); larger
// buffers are freed after each file.
constexpr size_t maxKeptScratch = size_t(256) << 20;

// Buffers reused from one file to the next on the same thread. A page's filtered and
// compressed data are tens of megabytes: allocated afresh for every page, they cost more in
// page faults and zeroing than the filtering itself.
class Scratch {
public:
    ~Scratch() { libdeflate_free_compressor(m_compressor); }

    uint8_t *filtered(size_t size) { return reserve(m_filtered, m_filteredSize, size); }
    uint8_t *compressed(size_t size) { return reserve(m_compressed, m_compressedSize, size); }
    uint8_t *rows(size_t size) { return reserve(m_rows, m_rowsSize, size); }

    libdeflate_compressor *compressor() {
        if (!m_compressor)
            m_compressor = libdeflate_alloc_compressor(compressionLevel);
        return m_compressor;
    }

    // Frees buffers too large to keep.
    void release() {
        if (m_filteredSize + m_compressedSize + m_rowsSize > maxKeptScratch) {
            m_filtered.reset();
            m_compressed.reset();
            m_rows.reset();
            m_filteredSize = m_compressedSize = m_rowsSize = 0;
        }
    }

private:
    static uint8_t *reserve(std::unique_ptr<uint8_t[]> &buffer, size_t &capacity, size_t size) {
        if (capacity < size) {
            buffer.reset();
            capacity = 0;
            buffer.reset(new (std::nothrow) uint8_t[size]); // not zeroed: every byte is written
            if (buffer)
                capacity = size;
        }
        return buffer.get();
    }

    std::unique_ptr<uint8_t[]> m_filtered;
    std::unique_ptr<uint8_t[]> m_compressed;
    std::unique_ptr<uint8_t[]> m_rows;
    size_t m_filteredSize = 0;
    size_t m_compressedSize = 0;
    size_t m_rowsSize = 0;
    libdeflate_compressor *m_compressor = nullptr;
};

thread_local Scratch scratch;

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

// The sum over i of |a[i] - b[i]|, each difference taken modulo 256 and read as a signed
// byte (b null: of |a[i]|): the usual estimate of how well a filtered row compresses.
uint64_t filterCost(const uint8_t *a, const uint8_t *b, size_t size) {
    uint64_t total = 0;
    size_t i = 0;
#ifdef VENTARA_PNG_SSE2
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    for (; i + 16 <= size; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i y = b ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i)) : zero;
        const __m128i difference = _mm_sub_epi8(x, y);
        // As unsigned bytes, the smaller of d and -d is |d| read as a signed byte.
        const __m128i magnitude = _mm_min_epu8(difference, _mm_sub_epi8(zero, difference));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(magnitude, zero));
    }
    total =
        uint64_t(_mm_cvtsi128_si64(sums)) + uint64_t(_mm_cvtsi128_si64(_mm_srli_si128(sums, 8)));
#endif
    for (; i < size; ++i) {
        const uint8_t difference = uint8_t(a[i] - (b ? b[i] : 0));
        total += difference < 128 ? difference : 256u - difference;
    }
    return total;
}

// to[i] = a[i] - b[i] modulo 256.
void subtractBytes(uint8_t *to, const uint8_t *a, const uint8_t *b, size_t size) {
    size_t i = 0;
#ifdef VENTARA_PNG_SSE2
    for (; i + 16 <= size; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i),
                         _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i))));
#endif
    for (; i < size; ++i)
        to[i] = uint8_t(a[i] - b[i]);
}

// Writes one row as filter byte plus filtered bytes, choosing among None, Sub and Up the
// filter with the smallest cost. `previous` is null for the first row.
void filterRow(const uint8_t *row, const uint8_t *previous, size_t size, size_t bpp, uint8_t *out) {
    if (size <= bpp) {
        out[0] = 0;
        std::memcpy(out + 1, row, size);
        return;
    }
    const uint64_t costNone = filterCost(row, nullptr, size);
    const uint64_t costSub = filterCost(row, nullptr, bpp) + filterCost(row + bpp, row, size - bpp);
    const uint64_t costUp = previous ? filterCost(row, previous, size) : costNone;
    uint8_t *data = out + 1;
    if (costNone <= costSub && costNone <= costUp) {
        out[0] = 0;
        std::memcpy(data, row, size);
    } else if (costSub <= costUp) {
        out[0] = 1;
        std::memcpy(data, row, bpp);
        subtractBytes(data + bpp, row + bpp, row, size - bpp);
    } else {
        out[0] = 2;
        subtractBytes(data, row, previous, size);
    }
}

// The bytes of one row of 0xffRRGGBB pixels: R, G, B per pixel, or only the grey level.
void packRow(const quint32 *source, size_t width, bool grey, uint8_t *row) {
    if (grey) {
        for (size_t x = 0; x < width; ++x)
            row[x] = uint8_t(source[x]);
        return;
    }
    for (size_t x = 0; x < width; ++x) {
        const quint32 p = source[x];
        row[3 * x] = uint8_t(p >> 16);
        row[3 * x + 1] = uint8_t(p >> 8);
        row[3 * x + 2] = uint8_t(p);
    }
}

// The signature, the header and the resolution of a PNG file of 8-bit RGB or grey pixels.
bool writeHeader(QFile &file, QSize size, bool grey, int dpi) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uint8_t header[13];
    putU32(header, uint32_t(size.width()));
    putU32(header + 4, uint32_t(size.height()));
    header[8] = 8;                            // bits per sample
    header[9] = grey ? 0 : 2;                 // colour type: grey or RGB
    header[10] = header[11] = header[12] = 0; // deflate, adaptive filtering, no interlace
    uint8_t physical[9];
    putU32(physical, uint32_t(dotsPerMeter(dpi)));
    putU32(physical + 4, uint32_t(dotsPerMeter(dpi)));
    physical[8] = 1; // unit: metre
    return file.write(reinterpret_cast<const char *>(signature), 8) == 8 &&
           writeChunk(file, "IHDR", header, sizeof header) &&
           writeChunk(file, "pHYs", physical, sizeof physical);
}

// A PNG file written from parts of its rows, compressed as they come with zlib (libdeflate
// takes whole buffers only): for images too large to hold whole.
class PngRowWriter final : public RowImageWriter {
public:
    PngRowWriter(const QString &path, QSize size)
        : m_file(path)
        , m_size(size)
        , m_rowBytes(size_t(size.width()) * 3) {}

    ~PngRowWriter() override {
        if (m_started)
            deflateEnd(&m_stream);
    }

    bool open(int dpi) {
        try {
            m_rows.resize(2 * m_rowBytes);
            m_filtered.resize(m_rowBytes + 1);
            m_out.resize(256 * 1024);
        } catch (const std::bad_alloc &) {
            return false;
        }
        m_started = deflateInit(&m_stream, rowCompressionLevel) == Z_OK;
        m_stream.next_out = m_out.data();
        m_stream.avail_out = uInt(m_out.size());
        return m_started && m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               writeHeader(m_file, m_size, false, dpi);
    }

    bool append(const QImage &rows) override {
        if (m_failed || rows.format() != QImage::Format_RGB32 || rows.width() != m_size.width() ||
            rows.height() > m_size.height() - m_y)
            return fail();
        for (int r = 0; r < rows.height(); ++r, ++m_y) {
            uint8_t *row = m_rows.data() + size_t(m_y & 1) * m_rowBytes;
            const uint8_t *previous =
                m_y ? m_rows.data() + size_t((m_y - 1) & 1) * m_rowBytes : nullptr;
            packRow(reinterpret_cast<const quint32 *>(rows.constScanLine(r)),
                    size_t(m_size.width()), false, row);
            filterRow(row, previous, m_rowBytes, 3, m_filtered.data());
            if (!compress(m_filtered.data(), m_filtered.size(), Z_NO_FLUSH))
                return fail();
        }
        return true;
    }

    bool finish() override {
        const bool ok = !m_failed && m_y == m_size.height() && compress(nullptr, 0, Z_FINISH) &&
                        writeChunk(m_file, "IEND", nullptr, 0) && m_file.flush();
        m_file.close();
        m_failed = true; // nothing more can be written
        return ok;
    }

private:
    static constexpr int rowCompressionLevel = 3;

    // Feeds `size` bytes to zlib, writing an IDAT chunk whenever the output buffer is full
    // (and the rest at the end of the stream).
    bool compress(const uint8_t *data, size_t size, int flush) {
        m_stream.next_in = const_cast<Bytef *>(data);
        m_stream.avail_in = uInt(size);
        for (;;) {
            const int status = deflate(&m_stream, flush);
            if (status == Z_STREAM_ERROR)
                return false;
            const bool end = status == Z_STREAM_END;
            if (m_stream.avail_out == 0 || end) {
                const size_t produced = m_out.size() - m_stream.avail_out;
                if (produced > 0 && !writeChunk(m_file, "IDAT", m_out.data(), produced))
                    return false;
                m_stream.next_out = m_out.data();
                m_stream.avail_out = uInt(m_out.size());
            }
            if (end || (flush == Z_NO_FLUSH && m_stream.avail_in == 0 && m_stream.avail_out > 0))
                return true;
        }
    }

    bool fail() {
        m_failed = true;
        return false;
    }

    QFile m_file;
    const QSize m_size;
    const size_t m_rowBytes;
    z_stream m_stream{};
    bool m_started = false;
    bool m_failed = false;
    int m_y = 0;
    std::vector<uint8_t> m_rows;
    std::vector<uint8_t> m_filtered;
    std::vector<uint8_t> m_out;
};

// Filters and compresses the image into the thread's scratch buffers; returns the size of
// the zlib data (0 on failure) and its address in `data`.
size_t compressImage(const QImage &rgb32, bool grey, const uint8_t **data) {
    const size_t width = size_t(rgb32.width());
    const size_t height = size_t(rgb32.height());
    const size_t bpp = grey ? 1 : 3;
    const size_t rowBytes = width * bpp;
    uint8_t *filtered = scratch.filtered((rowBytes + 1) * height);
    uint8_t *rows = scratch.rows(2 * rowBytes);
    libdeflate_compressor *compressor = scratch.compressor();
    if (!filtered || !rows || !compressor)
        return 0;
    for (size_t y = 0; y < height; ++y) {
        uint8_t *row = rows + (y & 1) * rowBytes;
        packRow(reinterpret_cast<const quint32 *>(rgb32.constScanLine(int(y))), width, grey, row);
        filterRow(row, y ? rows + ((y - 1) & 1) * rowBytes : nullptr, rowBytes, bpp,
                  filtered + y * (rowBytes + 1));
    }
    const size_t filteredSize = (rowBytes + 1) * height;
    const size_t bound = libdeflate_zlib_compress_bound(compressor, filteredSize);
    uint8_t *compressed = scratch.compressed(bound);
    if (!compressed)
        return 0;
    *data = compressed;
    return libdeflate_zlib_compress(compressor, filtered, filteredSize, compressed, bound);
}

} // namespace

std::unique_ptr<RowImageWriter> createPngRowWriter(const QString &path, QSize size, int dpi) {
    if (size.isEmpty())
        return nullptr;
    auto writer = std::make_unique<PngRowWriter>(path, size);
    return writer->open(dpi) ? std::move(writer) : nullptr;
}

bool writePngFile(const QImage &rgb32, const QString &path, int dpi) {
    const size_t width = size_t(rgb32.width());
    const size_t height = size_t(rgb32.height());
    if (rgb32.isNull() || rgb32.format() != QImage::Format_RGB32 || width > 0x7fffffff ||
        height > 0x7fffffff)
        return false;
    const bool grey = isGrayscale(rgb32);
    const uint8_t *compressed = nullptr;
    const size_t compressedSize = compressImage(rgb32, grey, &compressed);
    bool ok = compressedSize > 0;
    if (ok) {
        QFile file(path);
        ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
             writeHeader(file, rgb32.size(), grey, dpi);
        for (size_t offset = 0; ok && offset < compressedSize; offset += maxChunkData) {
            const size_t size = std::min<size_t>(maxChunkData, compressedSize - offset);
            ok = writeChunk(file, "IDAT", compressed + offset, size);
        }
        ok = ok && writeChunk(file, "IEND", nullptr, 0) && file.flush();
    }
    scratch.release();
    return ok;
}

} // namespace ventara::engine::detail
