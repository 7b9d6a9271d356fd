#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>

namespace ventara::toolkit {

// A preview image together with smoothly reduced copies of it (each half the size of the one
// before, down to about the size of a small preview area), so that a view can draw a large
// image at any zoom from a copy at most twice the drawn size, which cheap bilinear scaling
// then reduces without aliasing. Building the copies takes a moment for a large image: do it
// off the GUI thread (the PreviewController does).
//
// A value type; its images are implicitly shared, so copies are cheap and may cross threads.
class PreviewImage {
public:
    PreviewImage() = default;

    // The image and its reduced copies. A null image gives a null PreviewImage.
    static PreviewImage build(const QImage &image);

    bool isNull() const { return m_levels.isEmpty(); }
    // The full-size image (null when none).
    QImage image() const { return m_levels.value(0); }
    QSize size() const { return image().size(); }

    // The full image and its reduced copies, largest first.
    const QList<QImage> &levels() const { return m_levels; }

    // The smallest copy that is at least `drawnSize` in both directions (the full image when
    // none is), i.e. the copy to scale down to `drawnSize`.
    QImage levelFor(QSizeF drawnSize) const;

    // The longer side of the smallest reduced copy is at least this many pixels.
    static constexpr int minimumLevelSide = 256;

private:
    QList<QImage> m_levels;
};

} // namespace ventara::toolkit
