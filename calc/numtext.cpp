#include "numtext.h"

#include <charconv>
#include <cmath>
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
};

NumberScan Scan(std::string_view s) {
    NumberScan r;
    size_t p = 0;
    const size_t n = s.size();
    while (p < n && IsBlank(s[p])) ++p;
    r.begin = p;
    if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
    size_t digits = 0;
    while (p < n && IsDigit(s[p])) ++p, ++digits;
    if (p < n && s[p] == '.') {
        ++p;
        while (p < n && IsDigit(s[p])) ++p, ++digits;
    }
    r.hasDigits = digits > 0;
    if (!r.hasDigits) {
        r.readEnd = r.syntaxEnd = r.begin;
        return r;
    }
    r.readEnd = r.syntaxEnd = p;
    if (p < n && (s[p] == 'e' || s[p] == 'E')) {
        size_t q = p + 1;
        if (q < n && (s[q] == '+' || s[q] == '-')) ++q;
        size_t expDigits = 0;
        while (q < n && IsDigit(s[q])) ++q, ++expDigits;
        r.syntaxEnd = q;
        if (expDigits > 0) r.readEnd = q;
    }
    return r;
}

// from_chars reports out_of_range both for overflow and for underflow below
// the smallest subnormal; the decimal exponent of the first significant
// digit tells which one it was.
bool IsOverflowingMagnitude(std::string_view m) {
    long exponent = 0;  // of the first significant digit
    bool seenPoint = false, seenNonZero = false;
    size_t i = 0;
    for (; i < m.size() && m[i] != 'e' && m[i] != 'E'; ++i) {
        const char c = m[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!seenNonZero) {
            if (c != '0') seenNonZero = true;
            if (seenPoint) --exponent;
        } else if (!seenPoint) {
            ++exponent;
        }
    }
    if (!seenNonZero) return false;
    if (i < m.size()) {
        ++i;
        bool negative = false;
        if (i < m.size() && (m[i] == '+' || m[i] == '-')) negative = m[i++] == '-';
        long e = 0;
        for (; i < m.size(); ++i) e = std::min(e * 10 + (m[i] - '0'), 100000000L);
        exponent += negative ? -e : e;
    }
    return exponent >= 0;
}

}  // namespace

double ReadNumber(std::string_view text) {
    const NumberScan scan = Scan(text);
    if (!scan.hasDigits) return 0.0;
    std::string_view number = text.substr(scan.begin, scan.readEnd - scan.begin);
    bool negative = false;
    if (number.front() == '+' || number.front() == '-') {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = IsOverflowingMagnitude(number) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

bool IsNumeric(std::string_view text) {
    const NumberScan scan = Scan(text);
    if (!scan.hasDigits) return false;
    size_t p = scan.syntaxEnd;
    while (p < text.size() && IsBlank(text[p])) ++p;
    return p == text.size();
}

int ReadStrictFlag(std::string_view text) {
    if (text == "0") return 0;
    if (text == "1") return 1;
    return -1;
}

std::string FormatBoxText(double value) {
    if (value == 0.0) return "0";  // also -0
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    const size_t e = text.find('e');
    if (e != std::string::npos) text[e] = 'E';
    return text;
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
