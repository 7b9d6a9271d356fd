#pragma once

#include <QStringView>

namespace ventara::toolkit {

// The number a text field holds, read the way a desktop text field's "float value" reads it:
// leading blanks skipped, then the longest prefix that is a decimal number (sign, digits,
// fraction, exponent) in single precision; 0 when there is none ("abc", ""). "2.5" gives 2.5,
// "3 pages" gives 3, "3e" gives 3, "1e40" gives infinity. Independent of the user's locale.
float floatValue(QStringView text);

} // namespace ventara::toolkit
