// Key press to answer: Alt+S sent to the real window (offscreen), measured
// from the key event until the results are in their boxes and the report
// file has been replaced. Aim: under one frame (16 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "form1.h"
#include "shell.h"

using namespace quorvane;

namespace {

class SilentShell : public Shell {
public:
    Answer ShowMessage(QWidget*, const QString&, Buttons) override { return Answer::Ok; }
    bool StartReportViewer(const QString&, QString*) override { return true; }
    bool OpenWebAddress(const QString&, QString*) override { return true; }
    bool SendToSchedule(const HandedBeam&, QString*) override { return true; }
};

void BM_AltSToResults(benchmark::State& state) {
    QTemporaryDir dir;
    SilentShell shell;
    Form1 form(dir.filePath("report.txt"), shell);
    form.Form_Load();
    form.show();
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form)) state.SkipWithError("the window never became active");
    for (auto _ : state) {
        form.Text3->clear();
        QTest::keyPress(&form, Qt::Key_S, Qt::AltModifier);
        if (form.Text3->text() != QLatin1String("10.208"))
            state.SkipWithError("no result after the key press");
        QTest::keyRelease(&form, Qt::Key_S, Qt::AltModifier);
    }
}
BENCHMARK(BM_AltSToResults)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
