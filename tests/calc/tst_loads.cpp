#include <QtTest>

#include <clocale>
#include <map>
#include <vector>

#include "beam.h"
#include "beams.h"
#include "exact.h"
#include "loads.h"
#include "locales.h"

using namespace quorvane;

namespace {

QStringList ResultTexts(const LoadResults& r) {
    QStringList list;
    for (std::size_t i = 0; i < kResultCount; ++i) list << QString::fromStdString(ResultText(r, i));
    return list;
}

// "Field=text;Field=text" over the defaults.
BeamTexts FromOverrides(const QString& overrides) {
    BeamTexts texts;
    for (const QString& pair : overrides.split(';', Qt::SkipEmptyParts)) {
        const int eq = int(pair.indexOf('='));
        texts.Set(pair.left(eq).toStdString(), pair.mid(eq + 1).toStdString());
    }
    return texts;
}

void CheckBeam(const test::Beam& beam) {
    const BeamOutcome outcome = EvaluateBeam(test::TextsOf(beam.texts));
    QVERIFY2(outcome.ok(), outcome.error.c_str());
    QStringList expected;
    for (const char* text : beam.results) expected << QString::fromUtf8(text);
    QCOMPARE(ResultTexts(outcome.calculation.results), expected);
    QCOMPARE(QString::fromStdString(outcome.copied), QString::fromUtf8(beam.copied));
}

}  // namespace

class TestLoads : public QObject {
    Q_OBJECT

private slots:
    void defaultTextsConvertToMetres();
    void workedExamplesGiveTheirResults_data();
    void workedExamplesGiveTheirResults();
    void groupingOfEachFormulaShowsInTheDigits_data();
    void groupingOfEachFormulaShowsInTheDigits();
    void defaultIntermediatesAreTheBinary64Values();
    void resultsAreHandedOutInOrderAsTheyAreMade();
    void failingStepIsNamedAndStopsTheCalculation_data();
    void failingStepIsNamedAndStopsTheCalculation();
    void copiedLoadIsCutToOneDecimalAndRaised_data();
    void copiedLoadIsCutToOneDecimalAndRaised();
    void copyOfAnOverflowingTenfoldFails();
    void commaDecimalLocaleGivesTheSameResults();
};

void TestLoads::defaultTextsConvertToMetres() {
    const LoadInputs in = EvaluateBeam(BeamTexts()).calculation.inputs;
    // Every input, from the table: lengths divided by 1000 once, the rest as typed.
    for (std::size_t i = 0; i < kInputCount; ++i) {
        const double typed = ReadNumber(kParams[i].defaultText);
        QCOMPARE_SAME_DOUBLE(in.*kParams[i].member, kParams[i].millimetres ? typed / 1000 : typed);
    }
    // And a few as the window shows them.
    QCOMPARE_SAME_DOUBLE(in.BeamWidth, 0.2);
    QCOMPARE_SAME_DOUBLE(in.WallHeight, 3.0);
    QCOMPARE_SAME_DOUBLE(in.BeamPlasterThickness, 0.02);
    QCOMPARE_SAME_DOUBLE(in.WallDensity, 18);
    QCOMPARE_SAME_DOUBLE(in.BeamLength, 3.6);
    QCOMPARE_SAME_DOUBLE(in.ReductionRatio, 1);
}

void TestLoads::workedExamplesGiveTheirResults_data() { test::AddBeamRows(test::WorkedExamples()); }

void TestLoads::workedExamplesGiveTheirResults() {
    QFETCH(int, beam);
    CheckBeam(test::WorkedExamples().at(std::size_t(beam)));
}

void TestLoads::groupingOfEachFormulaShowsInTheDigits_data() {
    test::AddBeamRows(test::GroupingSensitiveBeams());
}

void TestLoads::groupingOfEachFormulaShowsInTheDigits() {
    QFETCH(int, beam);
    CheckBeam(test::GroupingSensitiveBeams().at(std::size_t(beam)));
}

void TestLoads::defaultIntermediatesAreTheBinary64Values() {
    const LoadResults r = EvaluateBeam(BeamTexts()).calculation.results;
    QCOMPARE_SAME_DOUBLE(r.BeamConcreteLoad, 2.5);
    QCOMPARE_SAME_DOUBLE(r.BeamPlasterLoad, 0.40800000000000003);
    QCOMPARE_SAME_DOUBLE(r.WallNetWeight, 29.160000000000004);
    QCOMPARE_SAME_DOUBLE(r.WallPlasterWeight, 6.12);
    QCOMPARE_SAME_DOUBLE(r.OpeningWeight, 0.0);
}

void TestLoads::resultsAreHandedOutInOrderAsTheyAreMade() {
    std::vector<std::pair<std::size_t, std::string>> seen;
    EvaluateBeam(BeamTexts(), [&](std::size_t i, const std::string& t) { seen.emplace_back(i, t); });
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {0, "2.908"}, {1, "9.8"}, {2, "12.708"}, {3, "10.208"}};
    QCOMPARE(seen, expected);
}

void TestLoads::failingStepIsNamedAndStopsTheCalculation_data() {
    QTest::addColumn<QString>("overrides");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("cause");
    QTest::addColumn<int>("resultsShown");
    const int div0 = int(ArithmeticCause::DivisionByZero), overflow = int(ArithmeticCause::Overflow);
    QTest::newRow("empty beam length") << "BeamLength=" << int(Step::MasonryWeight) << div0 << 1;
    QTest::newRow("zero beam length") << "BeamLength=0" << int(Step::MasonryWeight) << div0 << 1;
    QTest::newRow("zero over zero") << "BeamLength=0;WallHeight=500" << int(Step::MasonryWeight) << div0 << 1;
    QTest::newRow("ratio overflows the self-weight")
        << "ReductionRatio=1e308" << int(Step::BeamSelfWeight) << overflow << 0;
    QTest::newRow("ratio beyond binary64")
        << "ReductionRatio=1e400" << int(Step::BeamSelfWeight) << overflow << 0;
    QTest::newRow("ratio overflows the masonry")
        << "ReductionRatio=5e307" << int(Step::MasonryWeight) << overflow << 1;
    QTest::newRow("sum of shown texts overflows")
        << "ReductionRatio=1.6e307;BeamLength=1" << int(Step::TotalDeadLoad) << overflow << 2;
    QTest::newRow("infinite ratio times zero")
        << "ReductionRatio=1e400;BeamDensity=0;BeamPlasterDensity=0" << int(Step::BeamSelfWeight)
        << int(ArithmeticCause::Invalid) << 0;
}

void TestLoads::failingStepIsNamedAndStopsTheCalculation() {
    QFETCH(QString, overrides);
    QFETCH(int, step);
    QFETCH(int, cause);
    QFETCH(int, resultsShown);
    const BeamTexts texts = FromOverrides(overrides);
    int shown = 0;
    const BeamOutcome outcome = EvaluateBeam(texts, [&](std::size_t, const std::string&) { ++shown; });
    QVERIFY2(outcome.failedStep.has_value(), "the calculation should have stopped");
    QVERIFY(!outcome.computed() && !outcome.refused);
    QCOMPARE(int(*outcome.failedStep), step);
    QCOMPARE(int(outcome.cause), cause);
    const QString message = QString::fromStdString(outcome.error);
    QVERIFY2(message.contains(QString::fromUtf8(StepCaption(*outcome.failedStep).data())), qPrintable(message));
    QCOMPARE(shown, resultsShown);
}

void TestLoads::copiedLoadIsCutToOneDecimalAndRaised_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("copied");
    QTest::newRow("default result") << "10.208"
                                    << "10.3";
    QTest::newRow("one decimal still gains a tenth") << "10.2"
                                                     << "10.3";
    QTest::newRow("rounds up to whole") << "12.95"
                                        << "13";
    QTest::newRow("many decimals") << "3.14159"
                                   << "3.2";
    QTest::newRow("empty") << ""
                           << "0.1";
    QTest::newRow("negative cut toward zero") << "-10.25"
                                              << "-10.1";
    QTest::newRow("upper bound") << "100000"
                                 << "100000.1";
    QTest::newRow("text after the number") << "7.77 kN"
                                           << "7.8";
}

void TestLoads::copiedLoadIsCutToOneDecimalAndRaised() {
    QFETCH(QString, text);
    QFETCH(QString, copied);
    QCOMPARE(QString::fromStdString(CopiedLoadText(text.toStdString())), copied);
}

void TestLoads::copyOfAnOverflowingTenfoldFails() {
    QVERIFY_THROWS_EXCEPTION(ArithmeticError, CopiedLoadText("1e308"));
    bool stopped = false;
    try {
        CopiedLoadText("1E+308");
    } catch (const ArithmeticError& e) {
        stopped = true;
        QCOMPARE(e.step(), Step::CopyLoad);
        QCOMPARE(e.cause(), ArithmeticCause::Overflow);
    }
    QVERIFY(stopped);
}

void TestLoads::commaDecimalLocaleGivesTheSameResults() {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    QVERIFY2(std::setlocale(LC_ALL, test::kCommaDecimalLocale),
             "the comma-decimal locale is missing (scripts/test.sh generates it)");
    const BeamTexts texts = test::TextsOf({{"DoorWidth", "1414"}, {"ReductionRatio", "0.9"}});
    const QStringList results = ResultTexts(EvaluateBeam(texts).calculation.results);
    const std::string copied = CopiedLoadText("10.208");
    std::setlocale(LC_ALL, saved.c_str());
    QCOMPARE(results, ResultTexts(EvaluateBeam(texts).calculation.results));
    QCOMPARE(results.at(0), QString("2.6172"));
    QCOMPARE(copied, std::string("10.3"));
}

QTEST_APPLESS_MAIN(TestLoads)
#include "tst_loads.moc"
