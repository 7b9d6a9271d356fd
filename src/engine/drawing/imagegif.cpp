// GIF files: one local palette per frame, every frame as large as the canvas.

#include "engine/drawing/imagecodecs.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace ventara::engine::detail {

namespace {

constexpr int maxGifSide = 65535;

// Collects the distinct colours of an RGB32 image while there are at most `limit` of them.
// Returns false as soon as there are more.
bool hasAtMostColours(const QImage &rgb32, int limit) {
    // Open addressing over a table four times the limit; most pages repeat the last colour.
    std::vector<QRgb> table(1024, 0);
    std::vector<bool> used(table.size(), false);
    int count = 0;
    QRgb last = 0;
    bool haveLast = false;
    for (int y = 0; y < rgb32.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
        for (int x = 0; x < rgb32.width(); ++x) {
            const QRgb colour = row[x] | 0xff000000u;
            if (haveLast && colour == last)
                continue;
            last = colour;
            haveLast = true;
            size_t slot = (colour * 2654435761u) >> 22; // 10 bits
            while (used[slot] && table[slot] != colour)
                slot = (slot + 1) & 1023;
            if (!used[slot]) {
                if (++count > limit)
                    return false;
                used[slot] = true;
                table[slot] = colour;
            }
        }
    }
    return true;
}

// Nearest palette entry to a colour, looked up through a table of 6 bits a channel filled at
// first use. The palette is searched outward from the entries of closest green, stopping once
// the green difference alone exceeds the best distance found.
class NearestColour {
public:
    explicit NearestColour(const std::vector<unsigned int> &palette)
        : m_table(size_t(1) << 18, -1) {
        for (size_t i = 0; i < palette.size(); ++i)
            m_entries.push_back({int(palette[i] >> 16 & 0xff), int(palette[i] >> 8 & 0xff),
                                 int(palette[i] & 0xff), int(i)});
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const Entry &a, const Entry &b) { return a.green < b.green; });
    }

    uchar operator()(QRgb colour) {
        const int r = qRed(colour), g = qGreen(colour), b = qBlue(colour);
        int16_t &slot = m_table[size_t((r >> 2) << 12 | (g >> 2) << 6 | (b >> 2))];
        if (slot < 0)
            slot = int16_t(search(r, g, b));
        return uchar(slot);
    }

private:
    struct Entry {
        int red, green, blue, index;
    };

    int search(int r, int g, int b) const {
        const auto start =
            std::lower_bound(m_entries.begin(), m_entries.end(), g,
                             [](const Entry &e, int green) { return e.green < green; });
        int best = -1;
        int bestDistance = std::numeric_limits<int>::max();
        const auto consider = [&](const Entry &e) {
            const int dg = e.green - g;
            if (dg * dg >= bestDistance)
                return false;
            const int dr = e.red - r, db = e.blue - b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = e.index;
            }
            return true;
        };
        for (auto up = start; up != m_entries.end() && consider(*up); ++up) {
        }
        for (auto down = start; down != m_entries.begin() && consider(*(down - 1)); --down) {
        }
        return best;
    }

    std::vector<Entry> m_entries;
    std::vector<int16_t> m_table;
};

// Moves each palette entry to the exact mean of the pixels mapped to it and maps every pixel
// to its nearest entry again. giflib's median cut works on 5 bits a channel
// and gives its entries as multiples of 8 (white paper becomes 248 grey); this brings them to
// the page's real colours.
void refinePalette(const QImage &rgb32, std::vector<unsigned int> &palette, uchar *indices) {
    const int width = rgb32.width();
    {
        std::vector<qint64> sums(palette.size() * 4, 0);
        for (int y = 0; y < rgb32.height(); ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
            const uchar *in = indices + qsizetype(y) * width;
            for (int x = 0; x < width; ++x) {
                qint64 *sum = &sums[size_t(in[x]) * 4];
                sum[0] += qRed(row[x]);
                sum[1] += qGreen(row[x]);
                sum[2] += qBlue(row[x]);
                ++sum[3];
            }
        }
        for (size_t i = 0; i < palette.size(); ++i) {
            const qint64 *sum = &sums[i * 4];
            if (sum[3] > 0)
                palette[i] = unsigned((sum[0] + sum[3] / 2) / sum[3]) << 16 |
                             unsigned((sum[1] + sum[3] / 2) / sum[3]) << 8 |
                             unsigned((sum[2] + sum[3] / 2) / sum[3]);
        }
        NearestColour nearest(palette);
        for (int y = 0; y < rgb32.height(); ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
            uchar *out = indices + qsizetype(y) * width;
            // Runs of one colour, most of a page, are looked up once.
            QRgb last = ~row[0];
            uchar lastIndex = 0;
            for (int x = 0; x < width; ++x) {
                if (row[x] != last) {
                    last = row[x];
                    lastIndex = nearest(last);
                }
                out[x] = lastIndex;
            }
        }
    }
}

class GifWriter final : public MultipageImageWriter {
public:
    GifWriter(GifFileType *gif, QSize canvas)
        : m_gif(gif)
        , m_canvas(canvas) {}

    ~GifWriter() override {
        if (m_gif) {
            int error = 0;
            EGifCloseFile(m_gif, &error);
        }
    }

    bool append(const MultipageFrame &frame) override {
        if (!m_gif || m_failed || frame.encoder != ImageEncoder::Gif || frame.size != m_canvas ||
            frame.palette.empty() || frame.palette.size() > 256 ||
            frame.indices.size() != qsizetype(m_canvas.width()) * m_canvas.height())
            return false;
        int bits = 1;
        while ((1u << bits) < frame.palette.size())
            ++bits;
        ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
        if (!map)
            return fail();
        for (size_t i = 0; i < size_t(map->ColorCount); ++i) {
            const unsigned int colour = i < frame.palette.size() ? frame.palette[i] : 0;
            map->Colors[i].Red = GifByteType(colour >> 16);
            map->Colors[i].Green = GifByteType(colour >> 8);
            map->Colors[i].Blue = GifByteType(colour);
        }
        // Every frame is disposed before the next one is drawn, so a page never shows through
        // the transparent margins of the next; no delay is set.
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_BACKGROUND;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor =
            frame.transparentIndex >= 0 ? frame.transparentIndex : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        bool ok = EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        ok = ok && EGifPutImageDesc(m_gif, 0, 0, m_canvas.width(), m_canvas.height(), false, map) ==
                       GIF_OK;
        GifFreeMapObject(map);
        const GifByteType *pixels =
            reinterpret_cast<const GifByteType *>(frame.indices.constData());
        for (int y = 0; ok && y < m_canvas.height(); ++y)
            ok = EGifPutLine(m_gif,
                             const_cast<GifByteType *>(pixels + qsizetype(y) * m_canvas.width()),
                             m_canvas.width()) == GIF_OK;
        if (!ok)
            return fail();
        ++m_frames;
        return true;
    }

    bool finish() override {
        if (!m_gif)
            return false;
        int error = 0;
        const bool closed = EGifCloseFile(m_gif, &error) == GIF_OK;
        m_gif = nullptr;
        return closed && !m_failed && m_frames > 0;
    }

    int frameCount() const override { return m_frames; }

private:
    bool fail() {
        m_failed = true;
        return false;
    }

    GifFileType *m_gif = nullptr;
    QSize m_canvas;
    int m_frames = 0;
    bool m_failed = false;
};

} // namespace

MultipageFrame prepareGifFrame(const QImage &rgb32, QSize canvas) {
    if (canvas.width() < rgb32.width() || canvas.height() < rgb32.height() ||
        canvas.width() > maxGifSide || canvas.height() > maxGifSide)
        return {};
    const bool margins = canvas != rgb32.size();
    // With margins one palette entry is kept for transparency.
    const int colours = margins ? 255 : 256;

    std::vector<unsigned int> palette;
    QByteArray pageIndices; // one byte per page pixel, row by row
    try {
        pageIndices = QByteArray(qsizetype(rgb32.width()) * rgb32.height(), Qt::Uninitialized);
        if (hasAtMostColours(rgb32, colours)) {
            // Few colours: Qt's conversion keeps every colour exactly.
            const QImage indexed = rgb32.convertToFormat(QImage::Format_Indexed8,
                                                         Qt::ThresholdDither | Qt::AvoidDither);
            if (indexed.isNull())
                return {};
            for (const QRgb colour : indexed.colorTable())
                palette.push_back(colour & 0xffffff);
            for (int y = 0; y < indexed.height(); ++y)
                std::memcpy(pageIndices.data() + qsizetype(y) * rgb32.width(),
                            indexed.constScanLine(y), size_t(rgb32.width()));
        } else {
            const size_t count = size_t(rgb32.width()) * size_t(rgb32.height());
            std::vector<GifByteType> red(count), green(count), blue(count);
            size_t i = 0;
            for (int y = 0; y < rgb32.height(); ++y) {
                const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
                for (int x = 0; x < rgb32.width(); ++x, ++i) {
                    red[i] = GifByteType(row[x] >> 16);
                    green[i] = GifByteType(row[x] >> 8);
                    blue[i] = GifByteType(row[x]);
                }
            }
            int mapSize = colours;
            std::vector<GifColorType> map(256);
            if (GifQuantizeBuffer(unsigned(rgb32.width()), unsigned(rgb32.height()), &mapSize,
                                  red.data(), green.data(), blue.data(),
                                  reinterpret_cast<GifByteType *>(pageIndices.data()),
                                  map.data()) != GIF_OK)
                return {};
            for (int c = 0; c < mapSize; ++c)
                palette.push_back((unsigned(map[c].Red) << 16) | (unsigned(map[c].Green) << 8) |
                                  map[c].Blue);
            refinePalette(rgb32, palette, reinterpret_cast<uchar *>(pageIndices.data()));
        }
    } catch (const std::bad_alloc &) {
        return {};
    }
    if (palette.empty())
        palette.push_back(0xffffff);

    MultipageFrame frame;
    frame.encoder = ImageEncoder::Gif;
    frame.size = canvas;
    if (!margins) {
        frame.indices = std::move(pageIndices);
    } else {
        frame.transparentIndex = int(palette.size());
        palette.push_back(0xffffff);
        try {
            frame.indices = QByteArray(qsizetype(canvas.width()) * canvas.height(),
                                       char(frame.transparentIndex));
        } catch (const std::bad_alloc &) {
            return {};
        }
        // Centred as origin = canvas / 2 - page / 2, rounded down.
        const int left = (canvas.width() - rgb32.width()) / 2;
        const int top = (canvas.height() - rgb32.height()) / 2;
        for (int y = 0; y < rgb32.height(); ++y)
            std::memcpy(frame.indices.data() + qsizetype(top + y) * canvas.width() + left,
                        pageIndices.constData() + qsizetype(y) * rgb32.width(),
                        size_t(rgb32.width()));
    }
    frame.palette = std::move(palette);
    return frame;
}

std::unique_ptr<MultipageImageWriter> createGifWriter(const QString &path, QSize canvas) {
    if (canvas.isEmpty() || canvas.width() > maxGifSide || canvas.height() > maxGifSide)
        return nullptr;
    int error = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return nullptr;
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, canvas.width(), canvas.height(), 8, 0, nullptr) != GIF_OK) {
        EGifCloseFile(gif, &error);
        return nullptr;
    }
    return std::make_unique<GifWriter>(gif, canvas);
}

} // namespace ventara::engine::detail
