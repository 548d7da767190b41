// One press of the compute button without the window: the texts checked
// and converted, the loads computed and formatted, the 25 report lines built. Aim: < 5 us.
// Writing the report file is measured on its own.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "calc.h"

using namespace quorvane;

static void BM_Press(benchmark::State& state) {
    const BeamTexts texts;
    for (auto _ : state) {
        const BeamOutcome beam =
            EvaluateBeam(texts, [](std::size_t, const std::string& t) { benchmark::DoNotOptimize(t.data()); });
        const Calculation& c = beam.calculation;
        ReportLines lines = BuildReportLines(c.inputs, c.results, "2026-12-10 08:30:05");
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_Press);

static void BM_WriteReport(benchmark::State& state) {
    const Calculation c = EvaluateBeam(BeamTexts()).calculation;
    const auto dir = std::filesystem::temp_directory_path() / "quorvane-bench";
    std::filesystem::create_directories(dir);
    const auto path = dir / "report.txt";
    for (auto _ : state) {
        if (!WriteCalculationReport(path, c.inputs, c.results, SystemReportOptions()).ok)
            state.SkipWithError("write failed");
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteReport);

BENCHMARK_MAIN();
