// JPEG 2000 files (JP2) with OpenJPEG. OpenJPEG writes no resolution box, so the JP2 header
// box is amended after encoding.

#include "engine/drawing/imagecodecs.h"

#include <QByteArray>
#include <QFile>
#include <QLoggingCategory>

#include <openjpeg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace ventara::engine::detail {

namespace {

Q_LOGGING_CATEGORY(lcJpeg2000, "ventara.engine.jpeg2000", QtWarningMsg)

// OpenJPEG calls these from its C code, which no exception may cross: each catches
// everything and answers with the library's failure value (a failed allocation included).
void openJpegMessage(const char *message, void *) noexcept {
    try {
        qCDebug(lcJpeg2000) << message;
    } catch (...) {
    }
}

// An in-memory output stream for OpenJPEG (it seeks back to fill in box lengths).
struct MemoryStream {
    QByteArray data;
    qsizetype position = 0;
};

std::atomic<bool> g_outputThrows = false;

OPJ_SIZE_T streamWrite(void *buffer, OPJ_SIZE_T size, void *user) noexcept {
    try {
        if (g_outputThrows.load())
            throw std::bad_alloc();
        auto *stream = static_cast<MemoryStream *>(user);
        const qsizetype end = stream->position + qsizetype(size);
        if (end > stream->data.size())
            stream->data.resize(end);
        std::memcpy(stream->data.data() + stream->position, buffer, size);
        stream->position = end;
        return size;
    } catch (...) {
        return OPJ_SIZE_T(-1);
    }
}

OPJ_OFF_T streamSkip(OPJ_OFF_T count, void *user) noexcept {
    try {
        auto *stream = static_cast<MemoryStream *>(user);
        const qsizetype target = stream->position + qsizetype(count);
        if (target < 0)
            return -1;
        if (target > stream->data.size())
            stream->data.resize(target, '\0');
        stream->position = target;
        return count;
    } catch (...) {
        return -1;
    }
}

OPJ_BOOL streamSeek(OPJ_OFF_T offset, void *user) noexcept {
    try {
        auto *stream = static_cast<MemoryStream *>(user);
        if (offset < 0)
            return OPJ_FALSE;
        if (qsizetype(offset) > stream->data.size())
            stream->data.resize(qsizetype(offset), '\0');
        stream->position = qsizetype(offset);
        return OPJ_TRUE;
    } catch (...) {
        return OPJ_FALSE;
    }
}

void putU16(QByteArray &to, unsigned int value) {
    to.append(char(value >> 8)).append(char(value));
}

void putU32(QByteArray &to, quint32 value) {
    to.append(char(value >> 24))
        .append(char(value >> 16))
        .append(char(value >> 8))
        .append(char(value));
}

quint32 getU32(const QByteArray &from, qsizetype at) {
    const auto *p = reinterpret_cast<const uchar *>(from.constData() + at);
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

void setU32(QByteArray &in, qsizetype at, quint32 value) {
    in[at] = char(value >> 24);
    in[at + 1] = char(value >> 16);
    in[at + 2] = char(value >> 8);
    in[at + 3] = char(value);
}

// The resolution box: a `res ` superbox holding a capture (`resc`) and a display (`resd`)
// resolution box with the same value, so that readers of either (exiftool reads the first,
// ImageMagick and GIMP the second) see the DPI. The value is grid points per metre as
// N / D x 10^E: dpi / 0.0254 = dpi x 5000 / 127, exact for every DPI up to 13107 and to five
// digits beyond.
QByteArray resolutionBox(int dpi) {
    qint64 numerator = qint64(dpi) * 5;
    int exponent = 3;
    while (numerator > 65535) {
        numerator = (numerator + 5) / 10;
        ++exponent;
    }
    QByteArray res;
    putU32(res, 8 + 2 * (8 + 10));
    res.append("res ", 4);
    for (const char *type : {"resc", "resd"}) {
        putU32(res, 8 + 10);
        res.append(type, 4);
        for (int axis = 0; axis < 2; ++axis) { // vertical, then horizontal
            putU16(res, unsigned(numerator));
            putU16(res, 127);
        }
        res.append(char(exponent)).append(char(exponent));
    }
    return res;
}

// Finds the top-level box `type` (a box with a 32-bit length); returns its offset or -1.
qsizetype findBox(const QByteArray &file, const char type[4]) {
    qsizetype at = 0;
    while (at + 8 <= file.size()) {
        const quint32 length = getU32(file, at);
        if (std::memcmp(file.constData() + at + 4, type, 4) == 0)
            return length >= 8 && at + length <= file.size() ? at : -1;
        if (length < 8) // 0 (to the end) or 1 (64-bit length): no boxes we need follow
            return -1;
        at += length;
    }
    return -1;
}

// Adds the resolution box at the end of the JP2 header box and, for .jpx files, lists the
// JPX baseline brand as compatible in the file type box.
bool amendJp2(QByteArray &file, int dpi, bool jpx) {
    const qsizetype header = findBox(file, "jp2h");
    if (header < 0)
        return false;
    const quint32 headerLength = getU32(file, header);
    const QByteArray box = resolutionBox(dpi);
    file.insert(header + headerLength, box);
    setU32(file, header, headerLength + quint32(box.size()));
    if (jpx) {
        const qsizetype type = findBox(file, "ftyp");
        if (type < 0)
            return false;
        const quint32 typeLength = getU32(file, type);
        file.insert(type + typeLength, "jpxb", 4);
        setU32(file, type, typeLength + 4);
    }
    return true;
}

struct CodecDeleter {
    void operator()(opj_codec_t *codec) const { opj_destroy_codec(codec); }
};
struct ImageDeleter {
    void operator()(opj_image_t *image) const { opj_image_destroy(image); }
};
struct StreamDeleter {
    void operator()(opj_stream_t *stream) const { opj_stream_destroy(stream); }
};

} // namespace

void setJpeg2000OutputThrowsForTests(bool throws) {
    g_outputThrows.store(throws);
}

double jpeg2000TargetPsnr(double compressionFactor) {
    return 25.0 + 20.0 * std::clamp(compressionFactor, 0.0, 1.0);
}

bool writeJpeg2000File(const QImage &rgb32, const QString &path, double compressionFactor, int dpi,
                       bool jpx) {
    const int width = rgb32.width();
    const int height = rgb32.height();
    if (rgb32.isNull())
        return false;
    const bool grey = isGrayscale(rgb32);
    const int components = grey ? 1 : 3;

    opj_image_cmptparm_t parameters[3];
    std::memset(parameters, 0, sizeof parameters);
    for (int c = 0; c < components; ++c) {
        parameters[c].dx = parameters[c].dy = 1;
        parameters[c].w = OPJ_UINT32(width);
        parameters[c].h = OPJ_UINT32(height);
        parameters[c].prec = 8;
        parameters[c].sgnd = 0;
    }
    std::unique_ptr<opj_image_t, ImageDeleter> image(opj_image_create(
        OPJ_UINT32(components), parameters, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!image)
        return false;
    image->x0 = image->y0 = 0;
    image->x1 = OPJ_UINT32(width);
    image->y1 = OPJ_UINT32(height);
    for (int y = 0; y < height; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb32.constScanLine(y));
        const qsizetype base = qsizetype(y) * width;
        for (int x = 0; x < width; ++x) {
            if (grey) {
                image->comps[0].data[base + x] = OPJ_INT32(qBlue(row[x]));
            } else {
                image->comps[0].data[base + x] = OPJ_INT32(qRed(row[x]));
                image->comps[1].data[base + x] = OPJ_INT32(qGreen(row[x]));
                image->comps[2].data[base + x] = OPJ_INT32(qBlue(row[x]));
            }
        }
    }

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.cp_disto_alloc = 1;
    if (compressionFactor >= 1.0) {
        settings.irreversible = 0;
        settings.tcp_rates[0] = 0; // lossless
    } else {
        // A target fidelity, not a fixed ratio: a page of text reaches it in a far smaller file
        // than a photo does, and every page's file shrinks as the factor falls.
        settings.irreversible = 1;
        settings.cp_fixed_quality = 1;
        settings.cp_disto_alloc = 0;
        settings.tcp_rates[0] = 0;
        settings.tcp_distoratio[0] = float(jpeg2000TargetPsnr(compressionFactor));
    }
    settings.tcp_mct = grey ? 0 : 1;
    // The smallest side must hold every resolution level.
    while (settings.numresolution > 1 &&
           (std::min(width, height) >> (settings.numresolution - 1)) == 0)
        --settings.numresolution;

    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec)
        return false;
    opj_set_info_handler(codec.get(), openJpegMessage, nullptr);
    opj_set_warning_handler(codec.get(), openJpegMessage, nullptr);
    opj_set_error_handler(codec.get(), openJpegMessage, nullptr);
    if (!opj_setup_encoder(codec.get(), &settings, image.get()))
        return false;

    MemoryStream memory;
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(
        opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!stream)
        return false;
    opj_stream_set_user_data(stream.get(), &memory, nullptr);
    opj_stream_set_write_function(stream.get(), streamWrite);
    opj_stream_set_skip_function(stream.get(), streamSkip);
    opj_stream_set_seek_function(stream.get(), streamSeek);
    const bool encoded = opj_start_compress(codec.get(), image.get(), stream.get()) &&
                         opj_encode(codec.get(), stream.get()) &&
                         opj_end_compress(codec.get(), stream.get());
    stream.reset();
    if (!encoded || !amendJp2(memory.data, dpi, jpx))
        return false;

    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(memory.data) == memory.data.size() && file.flush();
}

} // namespace ventara::engine::detail
