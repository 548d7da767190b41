#include <QtTest>

#include <clocale>
#include <map>
#include <vector>

#include "loads.h"

using namespace quorvane;

namespace {

// The eighteen texts: the window's defaults with some fields replaced.
struct Texts {
    std::array<std::string, kInputCount> storage;
    InputTexts views;
    explicit Texts(const QString& overrides) {
        for (std::size_t i = 0; i < kInputCount; ++i) storage[i] = std::string(kParams[i].defaultText);
        for (const QString& pair : overrides.split(';', Qt::SkipEmptyParts)) {
            const int eq = pair.indexOf('=');
            const int index = FindParam(pair.left(eq).toStdString());
            Q_ASSERT(index >= 0);
            storage[static_cast<std::size_t>(index)] = pair.mid(eq + 1).toStdString();
        }
        for (std::size_t i = 0; i < kInputCount; ++i) views[i] = storage[i];
    }
};

QStringList ResultTexts(const LoadResults& r) {
    QStringList list;
    for (std::size_t i = 0; i < kResultCount; ++i) list << QString::fromStdString(ResultText(r, i));
    return list;
}

}  // namespace

class TestLoads : public QObject {
    Q_OBJECT

private slots:
    void defaultTextsConvertToMetres();
    void workedExamplesGiveTheirResults_data();
    void workedExamplesGiveTheirResults();
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
    const LoadInputs in = ConvertInputs(DefaultInputTexts());
    const std::vector<double> expected = {0.2, 0.5, 25,   0.18, 3.0, 18,   0,  2.1, 0.45,
                                          0,   1.8, 0.35, 0.02, 17,  0.02, 17, 3.6, 1};
    for (std::size_t i = 0; i < kInputCount; ++i) QCOMPARE(in.*kParams[i].member, expected[i]);
}

void TestLoads::workedExamplesGiveTheirResults_data() {
    QTest::addColumn<QString>("overrides");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("defaults") << "" << QStringList{"2.908", "9.8", "12.708", "10.208"};
    QTest::newRow("total from displayed texts")
        << "DoorWidth=1414"
        << QStringList{"2.908", "6.93782833333333", "9.84582833333333", "7.34582833333333"};
    QTest::newRow("door and window") << "DoorWidth=900;WindowWidth=1500"
                                     << QStringList{"2.908", "5.30075", "8.20875", "5.70875"};
    QTest::newRow("empty box counts as zero")
        << "WallPlasterThickness=" << QStringList{"2.908", "8.1", "11.008", "8.508"};
    QTest::newRow("wall lower than beam")
        << "WallHeight=400" << QStringList{"2.908", "-0.392", "2.516", "0.016"};
    QTest::newRow("zero ratio") << "ReductionRatio=0" << QStringList{"0", "0", "0", "0"};
    QTest::newRow("ratio 0.9") << "ReductionRatio=0.9" << QStringList{"2.6172", "8.82", "11.4372", "9.1872"};
}

void TestLoads::workedExamplesGiveTheirResults() {
    QFETCH(QString, overrides);
    QFETCH(QStringList, results);
    const Texts texts(overrides);
    QCOMPARE(ResultTexts(ComputeLoads(texts.views).results), results);
}

void TestLoads::defaultIntermediatesAreTheBinary64Values() {
    const LoadResults r = ComputeLoads(DefaultInputTexts()).results;
    QCOMPARE(r.BeamConcreteLoad, 2.5);
    QCOMPARE(r.BeamPlasterLoad, 0.40800000000000003);
    QCOMPARE(r.WallNetWeight, 29.160000000000004);
    QCOMPARE(r.WallPlasterWeight, 6.12);
    QCOMPARE(r.OpeningWeight, 0.0);
    // Exactness down to the last bit, not just to QCOMPARE's fuzz.
    QVERIFY(r.BeamPlasterLoad != 0.408);
    QVERIFY(r.WallNetWeight != 29.16);
}

void TestLoads::resultsAreHandedOutInOrderAsTheyAreMade() {
    std::vector<std::pair<std::size_t, std::string>> seen;
    ComputeLoads(DefaultInputTexts(), [&](std::size_t i, const std::string& t) { seen.emplace_back(i, t); });
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
    const Texts texts(overrides);
    int shown = 0;
    try {
        ComputeLoads(texts.views, [&](std::size_t, const std::string&) { ++shown; });
        QFAIL("the calculation should have stopped");
    } catch (const ArithmeticError& e) {
        QCOMPARE(int(e.step()), step);
        QCOMPARE(int(e.cause()), cause);
        const QString message = QString::fromUtf8(e.what());
        QVERIFY2(message.contains(QString::fromUtf8(StepCaption(e.step()).data())), qPrintable(message));
    }
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
    try {
        CopiedLoadText("1E+308");
    } catch (const ArithmeticError& e) {
        QCOMPARE(e.step(), Step::CopyLoad);
        QCOMPARE(e.cause(), ArithmeticCause::Overflow);
    }
}

void TestLoads::commaDecimalLocaleGivesTheSameResults() {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"),
             "locale de_DE.UTF-8 is missing (scripts/test.sh generates it)");
    const Texts texts("DoorWidth=1414;ReductionRatio=0.9");
    const QStringList results = ResultTexts(ComputeLoads(texts.views).results);
    const std::string copied = CopiedLoadText("10.208");
    std::setlocale(LC_ALL, saved.c_str());
    QCOMPARE(results, ResultTexts(ComputeLoads(texts.views).results));
    QCOMPARE(results.at(0), QString("2.6172"));
    QCOMPARE(copied, std::string("10.3"));
}

QTEST_APPLESS_MAIN(TestLoads)
#include "tst_loads.moc"
