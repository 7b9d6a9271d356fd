#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace ventara::toolkit {

// The number a text field holds, read the way a desktop text field's "float value" reads it:
// leading blanks skipped, then the longest prefix that is a decimal number (sign, digits,
// fraction, exponent) in single precision; 0 when there is none ("abc", ""). "2.5" gives 2.5,
// "3 pages" gives 3, "3e" gives 3, "1e40" gives infinity. Independent of the user's locale.
float floatValue(QStringView text);

// The value of `text` when it is a whole number (optional blanks around an optional sign and
// ASCII digits; no fraction, no exponent), else nullopt. Very long numbers give large values
// or infinity, never an error.
std::optional<double> wholeNumberValue(QStringView text);

// The value of `text` when it is a decimal number (optional blanks around a sign, digits with
// an optional fraction and exponent), else nullopt. NaN and infinity texts are not numbers.
std::optional<double> numberValue(QStringView text);

// A whole number as a stepper's field shows it: "%.0f".
QString wholeNumberText(double value);

} // namespace ventara::toolkit
