// Number text: the only way values pass between text boxes and binary64.
// Every function here is locale-independent ('.' is the only decimal point,
// whatever setlocale() says) and never throws.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// Leading-number reading. Skips blanks, then reads the longest prefix that
// is a plain decimal number ([+-] digits [. digits] [E [+-] digits]) and
// returns the nearest binary64; anything after that prefix is ignored.
// The empty text, and a text without such a prefix, read as 0. A magnitude
// beyond binary64 reads as +-infinity, one below the smallest subnormal as
// +-0, so a huge typed ratio surfaces later as an overflow of the formula.
double ReadNumber(std::string_view text);

// Numeric test. True when the whole text, blanks around it allowed, is a
// plain decimal number with at least one digit before its exponent. While a
// number is being typed, what it may begin or end with passes too: a lone
// sign or point ("-", ".", "+."), a trailing point ("12.") or an exponent
// still waiting for its digits ("1e", "1e-"); those read as the digits
// before them, or 0. False for the empty text, blanks alone, inner blanks,
// group separators and any other character.
bool IsNumeric(std::string_view text);

// Both of the above from one pass over the text.
struct Reading {
    double value;  // the leading-number reading
    bool numeric;  // the numeric test
};
Reading ReadText(std::string_view text);

// Strict reading of the panel-mode flag: "0" gives 0 and "1" gives 1.
// Any other text gives -1, which matches neither.
int ReadStrictFlag(std::string_view text);

// Text-box form: at most 15 significant digits, correctly rounded, no
// trailing zeros or point, '-' only before a negative value ("-0" shows as
// "0"). Magnitudes from 1e-4 up to below 1e15 are written positionally
// (0.35, 12.708, 100000); others as mantissa, 'E', signed exponent of at
// least two digits (1E+15, 2.5E-05), which ReadNumber reads back exactly to
// the value shown. Infinity and NaN, which the calculation never lets
// through, give "inf"/"-inf"/"nan".
std::string FormatBoxText(double value);

// Integer text of a whole number: 0 -> "0", 1 -> "1".
std::string IntegerText(long long value);

// Truncation toward zero: 102.9 -> 102, -101.9 -> -101.
double TruncateTowardZero(double value);

// Print form of a number in a report line: a blank or '-', the magnitude
// with 15 significant digits and no zero before the point (.408), a blank.
std::string FormatPrint(double value);

}  // namespace quorvane
