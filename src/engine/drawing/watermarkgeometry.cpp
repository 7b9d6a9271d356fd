#include "engine/drawing/watermarkgeometry.h"

#include "engine/pdf/clampednumber.h"

#include <algorithm>
#include <cmath>

namespace ventara::engine::watermark {

namespace {

// The value of pi the watermark's angles are computed with.
constexpr float kPi = 3.1415925f;

// Bounds of a rectangle as numbers, y upwards.
struct Bounds {
    double left, bottom, right, top;
};

Bounds boundsOf(const QRectF &rect) {
    return {rect.left(), rect.top(), rect.right(), rect.bottom()};
}

// The indices i in [first, last] for which origin + i * step keeps [low, high] (relative to the
// origin) overlapping [0, extent]. Widened by one on each side against rounding; callers check
// each index exactly.
std::pair<qint64, qint64> visibleIndices(qint64 first, qint64 last, double base, double step,
                                         double low, double high, double extent) {
    if (!(step > 0))
        return {first, last};
    const double from = std::ceil((-high - base) / step) - 1;
    const double to = std::floor((extent - low - base) / step) + 1;
    if (!std::isfinite(from) || !std::isfinite(to))
        return {first, last};
    return {std::max<qint64>(first, clampedInteger<qint64>(from)),
            std::min<qint64>(last, clampedInteger<qint64>(to))};
}

bool overlapsFrame(const Bounds &local, double x, double y, QSizeF frame) {
    return x + local.right >= 0 && x + local.left <= frame.width() && y + local.top >= 0 &&
           y + local.bottom <= frame.height();
}

// Number of grid lines of the tiling: trunc(extent / step + 20), at least 0.
qint64 gridCount(double extent, double step) {
    const double count = extent / step + 20;
    if (!(count > 0))
        return 0;
    return count > 1e15 ? qint64(1e15) : qint64(count);
}

} // namespace

QPointF anchorPoint(int position, QSizeF frame, QSizeF box) {
    const double maxX = frame.width();
    const double maxY = frame.height();
    const double w = box.width();
    const double h = box.height();
    switch (position) {
    case BottomRight:
        return {maxX - w, 0};
    case TopLeft:
        return {0, maxY - h};
    case TopRight:
        return {maxX - w, maxY - h};
    case Center:
    case EntirePage:
        return {maxX / 2 - w / 2, maxY / 2 - h / 2};
    case BottomLeft:
    default:
        return {0, 0};
    }
}

TextRotation::TextRotation(double degrees)
    : theta(float(degrees) * kPi / 180.0f)
    , cosine(std::cos(theta))
    , sine(std::sin(theta)) {}

float TextRotation::degrees() const {
    return theta * 180.0f / kPi;
}

QTransform TextRotation::transform() const {
    return QTransform(cosine, sine, -sine, cosine, 0, 0);
}

QPointF textRotationCorrection(int position, double degrees, QSizeF box) {
    const TextRotation rotation(degrees);
    const double c = rotation.cosine;
    const double s = rotation.sine;
    const double tw = box.width();
    const double th = box.height();
    const bool corner = position >= BottomLeft && position <= TopRight;
    if (!corner || degrees > 360)
        return {tw / 2 - (tw / 2 * c - th / 2 * s), th / 2 - (th / 2 * c + tw / 2 * s)};

    const bool right = position == BottomRight || position == TopRight;
    const bool top = position == TopLeft || position == TopRight;
    double dx = 0;
    double dy = 0;
    if (degrees <= 90) {
        dx = right ? (1 - c) * tw : th * s;
        dy = top ? (1 - c) * th - tw * s : 0;
    } else if (degrees <= 180) {
        dx = right ? tw : th * s - tw * c;
        dy = top ? th - tw * s : -th * c;
    } else if (degrees <= 270) {
        dx = right ? tw + th * s : -tw * c;
        dy = top ? th : -th * c - tw * s;
    } else {
        dx = right ? th * s + (1 - c) * tw : 0;
        dy = top ? (1 - c) * th : -tw * s;
    }
    return {dx, dy};
}

QList<QTransform> textPlacements(int position, double degrees, QPointF offset, double spacing,
                                 QSizeF frame, QSizeF box, const QRectF &reach) {
    QList<QTransform> placements;
    if (!(box.width() > 0) || !(box.height() > 0))
        return placements;
    const TextRotation rotation(degrees);
    const double c = rotation.cosine;
    const double s = rotation.sine;
    const QPointF anchor = anchorPoint(position, frame, box);
    const QPointF correction = textRotationCorrection(position, degrees, box);
    const auto placed = [c, s](double x, double y) {
        return QTransform(c, s, -s, c, x, y);
    };

    if (position != EntirePage) {
        placements << placed(anchor.x() + offset.x() + correction.x(),
                             anchor.y() + offset.y() + correction.y());
        return placements;
    }

    spacing = std::max(spacing, 0.0);
    const double stepX = box.width() + spacing;
    const double stepY = box.height() + spacing;
    const double baseX = anchor.x() + correction.x() + offset.x() + spacing;
    const double baseY = anchor.y() + correction.y() + offset.y() + spacing;
    const Bounds local =
        boundsOf(mappedBounds(rotation.transform(), reach.united(QRectF(QPointF(0, 0), box))));
    const float angle = rotation.degrees();
    const bool horizontal = angle <= 45 || angle >= 315 || (angle >= 135 && angle <= 225);

    // The outer index moves along y on the horizontal grid and along x on the swapped one, by
    // stepY on both; the inner one along the other axis, by stepX.
    const double outerStep = stepY;
    const double innerStep = stepX;
    const qint64 columns =
        horizontal ? gridCount(frame.width(), stepX) : gridCount(frame.width(), stepY);
    const qint64 rows =
        horizontal ? gridCount(frame.height(), stepY) : gridCount(frame.height(), stepX);
    const qint64 outerFirst = -(rows / 2);
    const qint64 outerLast = rows / 2 - 1;
    const qint64 innerFirst = -(columns / 2);
    const qint64 innerLast = columns / 2 - 1;
    const auto [outerFrom, outerTo] = horizontal
                                          ? visibleIndices(outerFirst, outerLast, baseY, outerStep,
                                                           local.bottom, local.top, frame.height())
                                          : visibleIndices(outerFirst, outerLast, baseX, outerStep,
                                                           local.left, local.right, frame.width());
    const auto [innerFrom, innerTo] = horizontal
                                          ? visibleIndices(innerFirst, innerLast, baseX, innerStep,
                                                           local.left, local.right, frame.width())
                                          : visibleIndices(innerFirst, innerLast, baseY, innerStep,
                                                           local.bottom, local.top, frame.height());
    for (qint64 outer = outerFrom; outer <= outerTo; ++outer) {
        for (qint64 inner = innerFrom; inner <= innerTo; ++inner) {
            const double x =
                horizontal ? double(inner) * stepX + baseX : double(outer) * stepY + baseX;
            const double y =
                horizontal ? double(outer) * stepY + baseY : double(inner) * stepX + baseY;
            if (overlapsFrame(local, x, y, frame))
                placements << placed(x, y);
        }
    }
    return placements;
}

QList<QPointF> imagePlacements(int position, QPointF offset, double spacing, QSizeF frame,
                               QSizeF box) {
    QList<QPointF> placements;
    if (!(box.width() > 0) || !(box.height() > 0))
        return placements;
    const QPointF anchor = anchorPoint(position, frame, box);
    if (position != EntirePage) {
        placements << anchor + offset;
        return placements;
    }
    spacing = std::max(spacing, 0.0);
    const double stepX = box.width() + spacing;
    const double stepY = box.height() + spacing;
    const qint64 columns = gridCount(frame.width() * 4, stepX);
    const qint64 rows = gridCount(frame.height() * 4, stepY);
    const double baseX = anchor.x() + offset.x() + spacing;
    const double baseY = anchor.y() + offset.y() + spacing;
    const Bounds local{0, 0, box.width(), box.height()};
    const auto [rowFrom, rowTo] =
        visibleIndices(-(rows / 2), rows / 2 - 1, baseY, stepY, 0, box.height(), frame.height());
    const auto [columnFrom, columnTo] = visibleIndices(-(columns / 2), columns / 2 - 1, baseX,
                                                       stepX, 0, box.width(), frame.width());
    for (qint64 row = rowFrom; row <= rowTo; ++row) {
        for (qint64 column = columnFrom; column <= columnTo; ++column) {
            const double x = double(column) * stepX + baseX;
            const double y = double(row) * stepY + baseY;
            if (overlapsFrame(local, x, y, frame))
                placements << QPointF(x, y);
        }
    }
    return placements;
}

QTransform frameToPage(const QRectF &box, int rotation) {
    const double llx = box.left();
    const double lly = box.top(); // QRectF's top is the smaller y
    const double urx = box.right();
    const double ury = box.bottom();
    switch (rotation) {
    case 90:
        return QTransform(0, 1, -1, 0, urx, lly);
    case 180:
        return QTransform(-1, 0, 0, -1, urx, ury);
    case 270:
        return QTransform(0, -1, 1, 0, llx, ury);
    default:
        return QTransform(1, 0, 0, 1, llx, lly);
    }
}

QRectF mappedBounds(const QTransform &transform, const QRectF &rect) {
    const QPointF corners[] = {transform.map(rect.topLeft()), transform.map(rect.topRight()),
                               transform.map(rect.bottomLeft()), transform.map(rect.bottomRight())};
    double left = corners[0].x(), right = left, low = corners[0].y(), high = low;
    for (const QPointF &corner : corners) {
        left = std::min(left, corner.x());
        right = std::max(right, corner.x());
        low = std::min(low, corner.y());
        high = std::max(high, corner.y());
    }
    return QRectF(QPointF(left, low), QPointF(right, high));
}

} // namespace ventara::engine::watermark
