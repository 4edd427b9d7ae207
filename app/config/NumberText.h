#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// How the program reads and writes the numbers that users type: size fields, step ratios,
// manual move fields and command-line arguments all follow the same rule.

// Reads a decimal number: optional blanks around it, an optional sign, digits with at most one
// decimal separator ("," or "."), and an optional exponent ("1e-3"). Returns nothing for any
// other text, including an empty one and a value too large to be finite.
std::optional<double> parseNumber(QStringView text);

// As parseNumber, then rounded to a whole number with halves to even. Returns nothing when the
// text is not a number or the rounded value does not fit a signed 32-bit integer.
std::optional<int> parseWholeNumber(QStringView text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Rounds half to even and returns the result when it fits a signed 32-bit integer.
std::optional<int> toInt32(double value);

// The smallest whole number not below value, computed as the program always has: round half to
// even, then add one when the result lies below the value.
double roundUp(double value);

// The general number format with the decimal comma: up to 15 significant digits, no trailing
// zeros (0.005 -> "0,005", 200 -> "200", -1.5 -> "-1,5"). An infinite value shows as "∞" and
// NaN as "(не число)", never as "inf" or "nan".
QString formatGeneral(double value);
