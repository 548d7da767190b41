// Bit-for-bit comparison of doubles. QCOMPARE on doubles is fuzzy (it lets
// 0.1 and its neighbour pass, and 1e-13 equal 0), which would hide exactly
// the last-digit faults this program must not have.
#pragma once

#include <QString>

#include <cstdint>
#include <cstring>

namespace quorvane::test {

inline std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Empty when the two have the same bit pattern (so -0 differs from 0 and a
// NaN equals only the same NaN); otherwise both with 17 significant digits.
inline QString DoubleMismatch(double actual, double expected) {
    if (Bits(actual) == Bits(expected)) return {};
    return QStringLiteral("got %1 (0x%2), expected %3 (0x%4)")
        .arg(actual, 0, 'g', 17)
        .arg(Bits(actual), 16, 16, QLatin1Char('0'))
        .arg(expected, 0, 'g', 17)
        .arg(Bits(expected), 16, 16, QLatin1Char('0'));
}

}  // namespace quorvane::test

// QCOMPARE for doubles, exact to the last bit.
#define QCOMPARE_SAME_DOUBLE(actual, expected)                                          \
    do {                                                                                \
        const QString mismatch_ = quorvane::test::DoubleMismatch((actual), (expected)); \
        QVERIFY2(mismatch_.isEmpty(), qPrintable(#actual ": " + mismatch_));            \
    } while (false)
