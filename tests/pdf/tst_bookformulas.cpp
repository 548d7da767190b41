// The book's formulas follow the program's inputs: each input has its
// symbol, and each one's value stands in the numbers of some step, so an
// input added to the calculation but not to the book fails here.
#include <QtTest>

#include <string>

#include "bookformulas.h"
#include "calc.h"
#include "numtext.h"

using namespace quorvane;

class TestBookFormulas : public QObject {
    Q_OBJECT

private slots:
    void everyInputHasItsSymbolAndStandsInAStep() {
        QCOMPARE(BookInputs(LoadInputs{}).size(), kInputCount);
        for (std::size_t i = 0; i < kInputCount; ++i) {
            BeamTexts texts;
            texts[i] = "7.77";  // a figure no other input has
            const BeamOutcome beam = EvaluateBeam(texts);
            QVERIFY2(beam.ok(), beam.error.c_str());
            const std::string value = BookNumber(FormatPrint(beam.calculation.inputs.*kParams[i].member));
            std::string numbers;
            for (const BookStep& step : BookSteps(beam.calculation.inputs, beam.calculation.results))
                numbers += step.numbers + "\n";
            QVERIFY2(numbers.find(value) != std::string::npos,
                     qPrintable(QString::fromUtf8(kParams[i].field) + " " + QString::fromStdString(value)));
        }
    }
};

QTEST_APPLESS_MAIN(TestBookFormulas)
#include "tst_bookformulas.moc"
