#pragma once

#include <cmath>
#include <limits>

namespace ventara::engine {

// `value` as an `Integer`, rounded toward zero: NaN gives 0 and values beyond the type's range
// give its nearest end. Converting such a value with a plain cast is undefined behaviour, and
// page boxes of 1e30 points, NaN or infinity reach the size arithmetic from damaged files.
template <typename Integer> constexpr Integer clampedInteger(double value) {
    using Limits = std::numeric_limits<Integer>;
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(Limits::max()))
        return Limits::max();
    if (value <= static_cast<double>(Limits::lowest()))
        return Limits::lowest();
    return static_cast<Integer>(value);
}

// clampedInteger<int>() of `value`, and at least `minimum`: a count of pixels.
constexpr int clampedPixels(double value, int minimum = 1) {
    const int pixels = clampedInteger<int>(value);
    return pixels < minimum ? minimum : pixels;
}

} // namespace ventara::engine
