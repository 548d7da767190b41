#include <QtTest>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>

#include "exact.h"
#include "locales.h"
#include "numtext.h"
#include "params.h"

using namespace quorvane;

class TestNumText : public QObject {
    Q_OBJECT

private slots:
    void readingTakesTheLeadingNumber_data();
    void readingTakesTheLeadingNumber();
    void readingKeepsTheSignOfZeroAndSaturatesHugeMagnitudes();
    void numericTestAcceptsOnlyPlainDecimals_data();
    void numericTestAcceptsOnlyPlainDecimals();
    void boxFormRoundsToFifteenDigits_data();
    void boxFormRoundsToFifteenDigits();
    void boxFormReadsBackAsTheValueShown();
    void fastPathsAgreeWithTheLibrarysExactConversions();
    void printFormPadsWithBlanksAndDropsTheLeadingZero_data();
    void printFormPadsWithBlanksAndDropsTheLeadingZero();
    void integerTruncationAndFlagRules();
    void boxAndRatioChecksFollowTheirRules_data();
    void boxAndRatioChecksFollowTheirRules();
    void commaDecimalLocaleChangesNothing();
};

void TestNumText::readingTakesTheLeadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty reads as zero") << "" << 0.0;
    QTest::newRow("plain integer") << "200" << 200.0;
    QTest::newRow("blanks around") << "  3600 \t" << 3600.0;
    QTest::newRow("plus sign") << "+5" << 5.0;
    QTest::newRow("minus sign") << "-5" << -5.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("nearest binary64") << "0.1" << 0.1;
    QTest::newRow("exponent") << "2.5e-3" << 0.0025;
    QTest::newRow("capital exponent with sign") << "1E+3" << 1000.0;
    QTest::newRow("exponent still being typed") << "1e-" << 1.0;
    QTest::newRow("trailing letters ignored") << "12abc" << 12.0;
    QTest::newRow("comma ends the number") << "1,5" << 1.0;
    QTest::newRow("inner blank ends the number") << "1 2" << 1.0;
    QTest::newRow("no number at all") << "abc" << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("box form of a huge value") << "1.23456789012346E+20" << 1.23456789012346e20;
    // Beyond the exact shortcut: more than 15 digits or a power of ten past
    // 1e22. The expected values are the compiler's own rounding of the
    // literal, a conversion independent of the program's.
    QTest::newRow("twenty digits") << "3600.0000000000000001" << 3600.0000000000000001;
    QTest::newRow("seventeen digits, halfway region") << "0.45000000000000001" << 0.45000000000000001;
    QTest::newRow("neighbour of 0.1") << "0.10000000000000002" << 0.10000000000000002;
    QTest::newRow("2^53 + 1 ties to even") << "9007199254740993" << 9007199254740993.0;
    QTest::newRow("1e23 is not exact") << "1e23" << 1e23;
    QTest::newRow("tiny exponent") << "2.5e-30" << 2.5e-30;
    QTest::newRow("long fraction, scaled") << "123.45678901234567890123e-25" << 123.45678901234567890123e-25;
    QTest::newRow("smallest normal") << "2.2250738585072014e-308" << 2.2250738585072014e-308;
    QTest::newRow("largest finite") << "1.7976931348623157e308" << 1.7976931348623157e308;
}

void TestNumText::readingTakesTheLeadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE_SAME_DOUBLE(ReadNumber(text.toStdString()), value);
}

void TestNumText::readingKeepsTheSignOfZeroAndSaturatesHugeMagnitudes() {
    QCOMPARE_SAME_DOUBLE(ReadNumber("-0"), -0.0);
    QCOMPARE_SAME_DOUBLE(ReadNumber("1e400"), std::numeric_limits<double>::infinity());
    QCOMPARE_SAME_DOUBLE(ReadNumber("-123456e99999999999"), -std::numeric_limits<double>::infinity());
    QCOMPARE_SAME_DOUBLE(ReadNumber("1e-400"), 0.0);
    QCOMPARE_SAME_DOUBLE(ReadNumber("-1e-400"), -0.0);
    QCOMPARE_SAME_DOUBLE(ReadNumber("0.000001e-320"), 0.0);
    QCOMPARE_SAME_DOUBLE(ReadNumber("5e-324"), std::numeric_limits<double>::denorm_min());
    // More fraction digits than any exponent cap: the true decimal exponent
    // (written exponent less the leading zeros) decides.
    const std::string zeros(100000000, '0');
    QCOMPARE_SAME_DOUBLE(ReadNumber("0." + zeros + "1e200000000"), std::numeric_limits<double>::infinity());
    QCOMPARE_SAME_DOUBLE(ReadNumber("0." + zeros + "1e100000005"), 1e4);
    QCOMPARE_SAME_DOUBLE(ReadNumber("-0." + zeros + "1e100000000"), -0.1);
}

void TestNumText::numericTestAcceptsOnlyPlainDecimals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    // A lone sign or point passes while the number is being typed.
    const char* yes[] = {"0",  "100000", " 5 ",  "-0", "+3", "12.", ".5", "1e5", "1E-5",
                         "1e", "1e+",    "0.45", "-",  "+",  ".",   "-.", "+.",  " - "};
    const char* no[] = {"",
                        " ",
                        "x",
                        "+-",
                        "..",
                        "-e5",
                        ".e1",
                        "200x",
                        "1 2",
                        "1,000",
                        "$5",
                        "(5)",
                        "0x10",
                        "e5",
                        "1e5x",
                        "1e5.5",
                        "1..2",
                        "--1",
                        "\xef\xbc\x91\xef\xbc\x92",
                        "inf",
                        "nan"};
    for (const char* t : yes)
        QTest::newRow(qPrintable(QStringLiteral("yes [%1]").arg(t))) << QString(t) << true;
    for (const char* t : no)
        QTest::newRow(qPrintable(QStringLiteral("no [%1]").arg(QString::fromUtf8(t))))
            << QString::fromUtf8(t) << false;
}

void TestNumText::numericTestAcceptsOnlyPlainDecimals() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(IsNumeric(text.toStdString()), numeric);
}

void TestNumText::boxFormRoundsToFifteenDigits_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("leading zero kept") << 0.35 << "0.35";
    QTest::newRow("negative") << -0.392 << "-0.392";
    QTest::newRow("no trailing zeros") << 12.708 << "12.708";
    QTest::newRow("no trailing point") << 3.0 << "3";
    QTest::newRow("upper bound") << 100000.0 << "100000";
    QTest::newRow("sum error hidden") << 0.1 + 0.2 << "0.3";
    QTest::newRow("copy result") << 10.299999999999999 << "10.3";
    QTest::newRow("all 15 digits") << 6.937828333333333 << "6.93782833333333";
    QTest::newRow("fifteen integer digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("sixteen digits go to exponent") << 1234567890123456.0 << "1.23456789012346E+15";
    QTest::newRow("tie rounds to even, down") << 1000000000000005.0 << "1E+15";
    QTest::newRow("tie rounds to even, up") << 1000000000000015.0 << "1.00000000000002E+15";
    QTest::newRow("small stays positional") << 0.0001 << "0.0001";
    QTest::newRow("tiny goes to exponent") << 0.00001 << "1E-05";
    QTest::newRow("huge") << 1e300 << "1E+300";
    QTest::newRow("subnormal") << 5e-324 << "4.94065645841247E-324";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "inf";
    QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << "-inf";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "nan";
}

void TestNumText::boxFormRoundsToFifteenDigits() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatBoxText(value)), text);
}

void TestNumText::boxFormReadsBackAsTheValueShown() {
    const double values[] = {2.908,  6.937828333333333, 1e-5, -2.5e-7, 1234567890123456.0, 1e300,
                             5e-324, 0.1 + 0.2};
    for (double v : values) {
        const std::string shown = FormatBoxText(v);
        const double back = ReadNumber(shown);
        QCOMPARE(FormatBoxText(back), shown);
        QCOMPARE_SAME_DOUBLE(back, ReadNumber(FormatBoxText(back)));
    }
}

// Reading and the text-box form take exact shortcuts for common values; the
// library's conversions (from_chars, to_chars with 15 digits) are the truth.
void TestNumText::fastPathsAgreeWithTheLibrarysExactConversions() {
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> logMagnitude(-10.0, 16.0);
    char buffer[64];
    QString firstFault;  // one fault gives one failure, not a million lines
    const auto fault = [&firstFault](const QString& text) {
        if (firstFault.isEmpty()) firstFault = text;
    };
    const auto checkFormat = [&](double v) {
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15).ptr;
        std::string expected(buffer, end);
        if (const auto e = expected.find('e'); e != std::string::npos) expected[e] = 'E';
        if (v == 0) expected = "0";
        const std::string got = FormatBoxText(v);
        if (got != expected)
            fault(QString("FormatBoxText(%1): %2 instead of %3")
                      .arg(v, 0, 'g', 17)
                      .arg(got.c_str(), expected.c_str()));
    };
    for (int i = 0; i < 300000; ++i) {
        const double v = std::pow(10.0, logMagnitude(random));
        checkFormat(v);
        checkFormat(-v);
        // Neighbours of 15-digit decimals: where rounding ties and carries live.
        const double decimal = std::round(v * 1e6) / 1e6;
        checkFormat(std::nextafter(decimal, 0.0));
        checkFormat(std::nextafter(decimal, 1e300));
    }
    for (double tie :
         {123456789012345.5, 123456789012344.5, 999999999999999.5, 99999999999999.95, 0.5, 2.5e-8})
        checkFormat(tie);
    std::uniform_int_distribution<long long> mantissa(0, 9999999999999999LL);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_int_distribution<int> zeros(0, 25);
    std::uniform_int_distribution<int> extraDigits(0, 9);
    for (int i = 0; i < 200000; ++i) {
        // Up to 25 significant digits, so the general path is taken as well.
        const std::string digits =
            std::to_string(mantissa(random)) + std::string(std::size_t(extraDigits(random)), '7');
        const std::string point =
            std::string(static_cast<size_t>(zeros(random)) % 4, '0') + digits.substr(0, digits.size() / 2) +
            "." + std::string(static_cast<size_t>(zeros(random)), '0') + digits.substr(digits.size() / 2);
        const std::string text = i % 2 ? digits + "e" + std::to_string(exponent(random)) : point;
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        const QString mismatch = test::DoubleMismatch(ReadNumber(text), expected);
        if (!mismatch.isEmpty()) fault(QString("ReadNumber(%1): %2").arg(text.c_str(), mismatch));
    }
    QVERIFY2(firstFault.isEmpty(), qPrintable(firstFault));
}

void TestNumText::printFormPadsWithBlanksAndDropsTheLeadingZero_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 25.0 << " 25 ";
    QTest::newRow("below one") << 0.2 << " .2 ";
    QTest::newRow("negative") << -1.1664 << "-1.1664 ";
    QTest::newRow("negative below one") << -0.392 << "-.392 ";
    QTest::newRow("zero") << 0.0 << " 0 ";
    QTest::newRow("negative zero") << -0.0 << " 0 ";
    QTest::newRow("fifteen digits") << 0.40800000000000003 << " .408 ";
    QTest::newRow("wall net weight") << 29.160000000000004 << " 29.16 ";
    QTest::newRow("exponent") << 1e-5 << " 1E-05 ";
}

void TestNumText::printFormPadsWithBlanksAndDropsTheLeadingZero() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatPrint(value)), text);
}

void TestNumText::integerTruncationAndFlagRules() {
    QCOMPARE(IntegerText(0), std::string("0"));
    QCOMPARE(IntegerText(1), std::string("1"));
    QCOMPARE_SAME_DOUBLE(TruncateTowardZero(102.9), 102.0);
    QCOMPARE_SAME_DOUBLE(TruncateTowardZero(-101.9), -101.0);
    QCOMPARE_SAME_DOUBLE(TruncateTowardZero(-0.5), -0.0);
    QCOMPARE(ReadStrictFlag("0"), 0);
    QCOMPARE(ReadStrictFlag("1"), 1);
    QCOMPARE(ReadStrictFlag(" 1"), -1);
}

void TestNumText::boxAndRatioChecksFollowTheirRules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("box");
    QTest::addColumn<bool>("ratio");
    QTest::newRow("empty") << "" << true << false;
    QTest::newRow("blanks only") << "  " << false << false;
    QTest::newRow("zero") << "0" << true << true;
    QTest::newRow("signed zero") << "-0" << true << true;
    QTest::newRow("upper bound") << "100000" << true << true;
    QTest::newRow("above bound") << "100001" << false << true;
    QTest::newRow("half above bound") << "100000.5" << false << true;
    QTest::newRow("negative") << "-5" << false << true;
    QTest::newRow("negative ratio") << "-2" << false << true;
    QTest::newRow("huge ratio") << "250000" << false << true;
    QTest::newRow("letter") << "200x" << false << false;
    QTest::newRow("lone point, being typed") << "." << true << true;
    QTest::newRow("lone minus, being typed") << "-" << true << true;
    QTest::newRow("sign and point, being typed") << "+." << true << true;
}

void TestNumText::boxAndRatioChecksFollowTheirRules() {
    QFETCH(QString, text);
    QFETCH(bool, box);
    QFETCH(bool, ratio);
    QCOMPARE(IsAcceptableInputText(0, text.toStdString()), box);
    QCOMPARE(IsAcceptableInputText(kRatioIndex, text.toStdString()), ratio);
}

void TestNumText::commaDecimalLocaleChangesNothing() {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    QVERIFY2(std::setlocale(LC_ALL, test::kCommaDecimalLocale),
             "the comma-decimal locale is missing (scripts/test.sh generates it)");
    const double read = ReadNumber("2.908");
    const std::string box = FormatBoxText(12.708), print = FormatPrint(0.408);
    const bool numeric = IsNumeric("0.45") && !IsNumeric("0,45");
    std::setlocale(LC_ALL, saved.c_str());
    QCOMPARE_SAME_DOUBLE(read, 2.908);
    QCOMPARE(box, std::string("12.708"));
    QCOMPARE(print, std::string(" .408 "));
    QVERIFY(numeric);
}

QTEST_APPLESS_MAIN(TestNumText)
#include "tst_numtext.moc"
