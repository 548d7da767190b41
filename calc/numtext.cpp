#include "numtext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace quorvane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the parts of a plain decimal number stand in a text.
struct NumberScan {
    size_t begin = 0;        // first character of the number (its sign)
    size_t readEnd = 0;      // end of what the reading converts
    size_t syntaxEnd = 0;    // end including an exponent still being typed
    bool hasDigits = false;  // the mantissa has at least one digit
    // For the exact fast path: the digits as an integer, how many of them
    // count (leading zeros do not), and the power of ten to scale by.
    bool negative = false;
    std::uint64_t mantissa = 0;
    int significant = 0;
    long long exponent = 0;
};

NumberScan Scan(std::string_view s) {
    NumberScan r;
    const char* const first = s.data();
    const char* const last = first + s.size();
    const char* p = first;
    while (p != last && IsBlank(*p)) ++p;
    r.begin = static_cast<size_t>(p - first);
    if (p != last && (*p == '+' || *p == '-')) r.negative = *p++ == '-';
    // Leading zeros do not count as significant digits; past 19 digits the
    // integer wraps, but then the fast path (15 at most) is not taken.
    const char* const digitsStart = p;
    std::uint64_t mantissa = 0;
    long long exponent = 0;
    while (p != last && *p == '0') ++p;
    const char* significantStart = p;
    for (; p != last && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    size_t digits = static_cast<size_t>(p - digitsStart);
    int significant = static_cast<int>(p - significantStart);
    if (p != last && *p == '.') {
        const char* const fractionStart = ++p;
        if (significant == 0) {
            while (p != last && *p == '0') ++p;
        }
        const char* const fractionDigits = p;
        for (; p != last && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        digits += static_cast<size_t>(p - fractionStart);
        significant += static_cast<int>(p - fractionDigits);
        exponent -= static_cast<long long>(p - fractionStart);
    }
    r.hasDigits = digits > 0;
    if (!r.hasDigits) {
        // A sign or point on its own, as typed before the first digit.
        r.readEnd = r.begin;
        r.syntaxEnd = static_cast<size_t>(p - first);
        return r;
    }
    r.readEnd = r.syntaxEnd = static_cast<size_t>(p - first);
    if (p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negativeExponent = q != last && *q == '-';
        if (q != last && (*q == '+' || *q == '-')) ++q;
        const char* const expFirst = q;
        // Capped far beyond any text's length, so that the written exponent
        // and the count of fraction digits still decide overflow together.
        constexpr long long kExponentCap = 100000000000000000LL;  // 1e17
        long long e = 0;
        for (; q != last && IsDigit(*q); ++q) e = std::min(e * 10 + (*q - '0'), kExponentCap);
        r.syntaxEnd = static_cast<size_t>(q - first);
        if (q != expFirst) {
            r.readEnd = r.syntaxEnd;
            exponent += negativeExponent ? -e : e;
        }
    }
    r.mantissa = mantissa;
    r.significant = significant;
    r.exponent = exponent;
    return r;
}

double ValueOf(std::string_view text, const NumberScan& scan) {
    if (!scan.hasDigits) return 0.0;
    // Fast path: an integer below 2^53 and a power of ten that binary64
    // holds exactly make one correctly rounded operation.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (scan.significant <= 15 && scan.exponent >= -22 && scan.exponent <= 22) {
        const double m = static_cast<double>(scan.mantissa);
        const double v = scan.exponent >= 0 ? m * kPowers[scan.exponent] : m / kPowers[-scan.exponent];
        return scan.negative ? -v : v;
    }
    std::string_view number = text.substr(scan.begin, scan.readEnd - scan.begin);
    bool negative = false;
    if (number.front() == '+' || number.front() == '-') {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow or underflow: the decimal exponent of the first
        // significant digit tells which.
        const bool overflow = scan.significant > 0 && scan.exponent + scan.significant - 1 >= 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

bool IsWholeNumber(std::string_view text, const NumberScan& scan) {
    if (scan.syntaxEnd == scan.begin) return false;  // nothing of a number at all
    size_t p = scan.syntaxEnd;
    while (p < text.size() && IsBlank(text[p])) ++p;
    return p == text.size();
}

}  // namespace

double ReadNumber(std::string_view text) { return ValueOf(text, Scan(text)); }

bool IsNumeric(std::string_view text) { return IsWholeNumber(text, Scan(text)); }

Reading ReadText(std::string_view text) {
    const NumberScan scan = Scan(text);
    return {ValueOf(text, scan), IsWholeNumber(text, scan)};
}

int ReadStrictFlag(std::string_view text) {
    if (text == "0") return 0;
    if (text == "1") return 1;
    return -1;
}

namespace {

// a * b = product + error exactly (Dekker), for products far from overflow
// and underflow. Needs every operation rounded on its own: no contraction.
double ProductError(double a, double b, double product) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double ca = kSplitter * a, cb = kSplitter * b;
    const double ah = ca - (ca - a), al = a - ah;
    const double bh = cb - (cb - b), bl = b - bh;
    return al * bl - (((product - ah * bh) - al * bh) - ah * bl);
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The magnitude rounded to 15 significant digits, as a 15-digit integer and
// the decimal exponent of its first digit; false where this exact shortcut
// does not reach (the caller then takes the general conversion).
bool RoundToFifteenDigits(double magnitude, std::uint64_t& digits, int& exponent) {
    if (!(magnitude >= 1e-8 && magnitude < 1e15)) return false;
    int x = 14;
    while (x > -8 && magnitude < (x >= 0 ? kPowersOfTen[x] : 1.0 / kPowersOfTen[-x])) --x;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 14 - x;
        if (k < 0 || k > 22) return false;
        // magnitude * 10^k = p + e exactly; round that sum to an integer.
        const double p = magnitude * kPowersOfTen[k];
        const double e = ProductError(magnitude, kPowersOfTen[k], p);
        const double whole = std::floor(p);
        const double fraction = p - whole;  // exact: p is far below 2^53
        bool up = fraction > 0.5 || (fraction == 0.5 && (e > 0 || (e == 0 && std::fmod(whole, 2.0) != 0)));
        const double n = up ? whole + 1 : whole;
        if (n < 1e14) {
            --x;  // the exponent guess was one too high
        } else if (n > 1e15 || (n == 1e15 && whole >= 1e15)) {
            ++x;  // one too low
        } else if (n == 1e15) {
            digits = 100000000000000;  // 9.99...95 rounded up to the next power
            exponent = x + 1;
            return true;
        } else {
            digits = static_cast<std::uint64_t>(n);
            exponent = x;
            return true;
        }
    }
    return false;
}

// %g-style layout of the digits d[0]d[1]... times 10^exponent.
std::string Layout(bool negative, const char* d, int count, int exponent) {
    std::string text;
    text.reserve(24);
    if (negative) text += '-';
    if (exponent < -4 || exponent >= 15) {
        text += d[0];
        if (count > 1) {
            text += '.';
            text.append(d + 1, static_cast<size_t>(count - 1));
        }
        text += exponent < 0 ? "E-" : "E+";
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) text += '0';
        text += IntegerText(magnitude);
    } else if (exponent < 0) {
        text += "0.";
        text.append(static_cast<size_t>(-exponent - 1), '0');
        text.append(d, static_cast<size_t>(count));
    } else {
        const int whole = exponent + 1;
        text.append(d, static_cast<size_t>(std::min(count, whole)));
        if (count < whole) text.append(static_cast<size_t>(whole - count), '0');
        if (count > whole) {
            text += '.';
            text.append(d + whole, static_cast<size_t>(count - whole));
        }
    }
    return text;
}

}  // namespace

std::string FormatBoxText(double value) {
    if (value == 0.0) return "0";  // also -0
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[40];
    std::uint64_t digits = 0;
    int exponent = 0;
    if (RoundToFifteenDigits(std::fabs(value), digits, exponent)) {
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, digits).ptr;
        int count = static_cast<int>(end - buffer);
        while (count > 1 && buffer[count - 1] == '0') --count;
        return Layout(value < 0, buffer, count, exponent);
    }
    // Everything else: the library's exact conversion, laid out alike.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const char* p = buffer;
    const bool negative = *p == '-';
    if (negative) ++p;
    char d[20];
    int count = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.') d[count++] = *p;
    while (count > 1 && d[count - 1] == '0') --count;
    const char* e = p + 1;
    if (*e == '+') ++e;  // from_chars takes '-' only
    std::from_chars(e, result.ptr, exponent);
    return Layout(negative, d, count, exponent);
}

std::string IntegerText(long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

double TruncateTowardZero(double value) { return std::trunc(value); }

std::string FormatPrint(double value) {
    std::string magnitude = FormatBoxText(std::fabs(value));
    if (magnitude.size() > 1 && magnitude[0] == '0' && magnitude[1] == '.') magnitude.erase(0, 1);
    std::string text;
    text.reserve(magnitude.size() + 2);
    text += value < 0.0 ? '-' : ' ';
    text += magnitude;
    text += ' ';
    return text;
}

}  // namespace quorvane
