#include "previewimage.h"

namespace ventara::toolkit {

PreviewImage PreviewImage::build(const QImage &image) {
    PreviewImage preview;
    if (image.isNull())
        return preview;
    preview.m_levels << image;
    QImage level = image;
    // Halve while the longer side stays at least minimumLevelSide, so that a banner is
    // reduced as far as a page is.
    while (qMax(level.width(), level.height()) / 2 >= minimumLevelSide &&
           qMin(level.width(), level.height()) / 2 >= 1) {
        level = level.scaled(level.width() / 2, level.height() / 2, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
        if (level.isNull())
            break; // out of memory: the larger copies still serve
        preview.m_levels << level;
    }
    return preview;
}

QImage PreviewImage::levelFor(QSizeF drawnSize) const {
    for (qsizetype i = m_levels.size() - 1; i > 0; --i) {
        const QImage &level = m_levels.at(i);
        if (level.width() >= drawnSize.width() && level.height() >= drawnSize.height())
            return level;
    }
    return image();
}

} // namespace ventara::toolkit
