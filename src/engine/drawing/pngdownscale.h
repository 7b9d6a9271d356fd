#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace ventara::engine {

// Reads the PNG file at `path` scaled down to `size` pixels (at most the file's own size in
// each direction), averaging the pixels each output pixel covers (weighted by their alpha),
// one row of the file at a time: memory stays within the output image and a row or two,
// whatever the file's size. Returns a premultiplied ARGB image, or nullopt (with `error` set)
// when the file is not a PNG that can be read this way (interlaced files are read whole by
// the caller instead). Thread-safe.
std::optional<QImage> readPngDownscaled(const QString &path, QSize size, QString *error);

} // namespace ventara::engine
