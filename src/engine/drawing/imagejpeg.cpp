// JPEG files, encoded with libjpeg-turbo straight from the image's rows: libjpeg reads the
// 32-bit pixels as they are (and makes the grey channel of a grey page itself), where Qt's
// writer copies every row into a buffer of its own first. The compressed data goes to the file
// through a fixed buffer, so an encoder holds little memory whatever the image's size and can
// take an image band by band.

#include "engine/drawing/imagecodecs.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo (with its JCS_EXT_* input formats) is needed"
#endif

namespace ventara::engine::detail {

// Everything libjpeg works with, in one block that does not move. Plain data only: a libjpeg
// error jumps out of libjpeg's frames and those of its callbacks.
struct JpegState {
    jpeg_compress_struct info; // first: the callbacks find the state from it
    jpeg_error_mgr error;
    jpeg_destination_mgr destination;
    std::jmp_buf jump;
    QIODevice *device;
    JOCTET buffer[64 * 1024];
};

namespace {

JpegState *stateOf(j_compress_ptr info) {
    return reinterpret_cast<JpegState *>(info);
}

[[noreturn]] void jpegFail(j_common_ptr info) {
    std::longjmp(stateOf(reinterpret_cast<j_compress_ptr>(info))->jump, 1);
}

void jpegIgnoreMessage(j_common_ptr) {}

int qualityFor(double compressionFactor) {
    return static_cast<int>(std::clamp(compressionFactor, 0.0, 1.0) * 100.0 + 0.5);
}

void startDestination(j_compress_ptr info) {
    JpegState *state = stateOf(info);
    state->destination.next_output_byte = state->buffer;
    state->destination.free_in_buffer = sizeof state->buffer;
}

// A device's write may throw (a buffer it cannot grow); no exception may cross libjpeg's C
// frames, so that is a failed write too.
bool writeToDevice(QIODevice *device, const JOCTET *data, size_t size) noexcept {
    try {
        return device->write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
    } catch (...) {
        return false;
    }
}

// Writes the first `size` bytes of the buffer; a failed write ends the encoding (by libjpeg's
// error jump, taken outside any catch block).
void flushDestination(j_compress_ptr info, size_t size) {
    JpegState *state = stateOf(info);
    if (size > 0 && !writeToDevice(state->device, state->buffer, size)) {
        info->err->msg_code = JERR_FILE_WRITE;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    startDestination(info);
}

boolean emptyDestination(j_compress_ptr info) {
    flushDestination(info, sizeof stateOf(info)->buffer);
    return TRUE;
}

void endDestination(j_compress_ptr info) {
    flushDestination(info,
                     sizeof stateOf(info)->buffer - stateOf(info)->destination.free_in_buffer);
}

} // namespace

// Each method sets the jump target of libjpeg's errors in its own frame, and keeps no object
// with a destructor in it.
JpegWriter::JpegWriter()
    : m_state(new JpegState{}) {}

JpegWriter::~JpegWriter() {
    // Safe after any error, and on a state libjpeg never set up (it is zeroed).
    jpeg_destroy_compress(&m_state->info);
    delete m_state;
}

bool JpegWriter::start(QIODevice *device, QSize size, bool grey, int quality, int dpi) {
    JpegState *state = m_state;
    if (m_started || size.isEmpty() || size.width() > 65500 || size.height() > 65500)
        return false;
    m_started = true;
    state->info.err = jpeg_std_error(&state->error);
    state->error.error_exit = jpegFail;
    state->error.output_message = jpegIgnoreMessage;
    state->device = device;
    if (setjmp(state->jump))
        return fail();
    jpeg_create_compress(&state->info);
    state->destination.init_destination = startDestination;
    state->destination.empty_output_buffer = emptyDestination;
    state->destination.term_destination = endDestination;
    state->info.dest = &state->destination;
    state->info.image_width = JDIMENSION(size.width());
    state->info.image_height = JDIMENSION(size.height());
    state->info.input_components = 4;
    // Format_RGB32 pixels are 0xffRRGGBB words.
    state->info.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&state->info);
    if (grey)
        jpeg_set_colorspace(&state->info, JCS_GRAYSCALE);
    state->info.density_unit = 1; // dots per inch
    // The JFIF density field holds at most 65535.
    state->info.X_density = UINT16(std::clamp(dpi, 1, 65535));
    state->info.Y_density = state->info.X_density;
    // As Qt's writer: baseline quantisation tables, default (4:2:0) subsampling, no
    // optimised Huffman tables.
    jpeg_set_quality(&state->info, std::clamp(quality, 0, 100), TRUE);
    jpeg_start_compress(&state->info, TRUE);
    return true;
}

bool JpegWriter::append(const QImage &rows) {
    JpegState *state = m_state;
    if (!m_started || m_failed || rows.format() != QImage::Format_RGB32 ||
        rows.width() != int(state->info.image_width) ||
        rows.height() > int(state->info.image_height - state->info.next_scanline))
        return fail();
    if (setjmp(state->jump))
        return fail();
    constexpr int batch = 16;
    JSAMPROW pointers[batch];
    for (int first = 0; first < rows.height(); first += batch) {
        const int count = std::min(batch, rows.height() - first);
        for (int i = 0; i < count; ++i)
            pointers[i] = const_cast<JSAMPROW>(rows.constScanLine(first + i));
        jpeg_write_scanlines(&state->info, pointers, JDIMENSION(count));
    }
    return true;
}

bool JpegWriter::finish() {
    JpegState *state = m_state;
    if (!m_started || m_failed || state->info.next_scanline != state->info.image_height)
        return fail();
    if (setjmp(state->jump))
        return fail();
    jpeg_finish_compress(&state->info);
    return true;
}

bool JpegWriter::fail() {
    m_failed = true;
    return false;
}

namespace {

class JpegRowWriter final : public RowImageWriter {
public:
    explicit JpegRowWriter(const QString &path)
        : m_file(path) {}

    bool open(QSize size, double compressionFactor, int dpi) {
        return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               m_writer.start(&m_file, size, false, qualityFor(compressionFactor), dpi);
    }

    bool append(const QImage &rows) override { return m_writer.append(rows); }

    bool finish() override {
        const bool ok = m_writer.finish() && m_file.flush();
        m_file.close();
        return ok;
    }

private:
    QFile m_file;
    JpegWriter m_writer;
};

} // namespace

std::unique_ptr<RowImageWriter> createJpegRowWriter(const QString &path, QSize size,
                                                    double compressionFactor, int dpi) {
    auto writer = std::make_unique<JpegRowWriter>(path);
    return writer->open(size, compressionFactor, dpi) ? std::move(writer) : nullptr;
}

bool writeJpegFile(const QImage &rgb32, const QString &path, double compressionFactor, int dpi) {
    if (rgb32.isNull() || rgb32.format() != QImage::Format_RGB32)
        return false;
    const int quality = qualityFor(compressionFactor);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    JpegWriter writer;
    // A grey page is written with one component: the same pixels, a third of the work.
    return writer.start(&file, rgb32.size(), isGrayscale(rgb32), quality, dpi) &&
           writer.append(rgb32) && writer.finish() && file.flush();
}

} // namespace ventara::engine::detail
