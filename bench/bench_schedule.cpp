// The 梁表 window's three speed figures, on a 10,000-beam schedule of
// varied beams (openings, refused and failing rows among them):
//   recompute after pasting every row   aim: < 50 ms
//   open a 10,000-row CSV               aim: < 200 ms
//   format one screenful for the view   (scrolling: the model formats on demand)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QUndoStack>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "document.h"
#include "schedulemodel.h"

using namespace quorvane;

namespace {

constexpr int kBeams = 10000;

std::vector<ScheduleRow> Schedule() {
    std::vector<ScheduleRow> rows(kBeams);
    for (int i = 0; i < kBeams; ++i) {
        ScheduleRow& row = rows[static_cast<std::size_t>(i)];
        const auto set = [&row](std::string_view field, const std::string& text) {
            row.SetText(static_cast<std::size_t>(FindParam(field)), text);
        };
        row.SetMark("KL" + std::to_string(i + 1));
        set("BeamWidth", std::to_string(200 + i % 7 * 50));
        set("BeamHeight", std::to_string(400 + i % 11 * 50));
        set("WallHeight", std::to_string(2800 + i % 13 * 100));
        set("DoorWidth", i % 3 ? "900" : "0");
        set("WindowWidth", i % 5 ? "1500" : "0");
        set("BeamLength", std::to_string(3000 + i % 17 * 300));
        set("ReductionRatio", i % 4 ? "1" : "0.85");
        if (i % 997 == 0) set("BeamWidth", "12a");  // refused
        if (i % 1009 == 0) set("BeamLength", "0");  // fails
    }
    return rows;
}

void BM_RecomputeAfterPaste(benchmark::State& state) {
    const std::vector<ScheduleRow> source = Schedule();
    std::vector<CellEdit> edits;
    for (int r = 0; r < kBeams; ++r)
        for (std::size_t i = 0; i < kInputCount; ++i)
            edits.push_back({r, static_cast<int>(PositionOf({ColumnKind::Input, i})),
                             std::string(source[static_cast<std::size_t>(r)].text(i))});
    for (auto _ : state) {
        state.PauseTiming();
        ScheduleModel model;
        model.Reset(std::vector<ScheduleRow>(kBeams), NewScheduleLayout());
        QUndoStack undo;
        state.ResumeTiming();
        undo.push(new ChangeCellsCommand(&model, edits, 0, QStringLiteral("粘贴")));
        benchmark::DoNotOptimize(model.results().back());
    }
}
BENCHMARK(BM_RecomputeAfterPaste)->Unit(benchmark::kMillisecond);

void BM_OpenCsv(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "quorvane-bench-schedule.csv";
    {
        std::vector<ShownResult> results;
        const std::vector<ScheduleRow> rows = Schedule();
        for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
        CsvLayout layout = NewScheduleLayout();
        if (!SaveScheduleFile(path, layout, rows, results).ok) state.SkipWithError("could not write the CSV");
    }
    for (auto _ : state) {
        CsvLayout layout;
        std::vector<ScheduleRow> rows;
        if (!ReadScheduleFile(path, TextEncoding::Auto, layout, rows).ok) state.SkipWithError("read failed");
        ScheduleModel model;
        model.Reset(std::move(rows), std::move(layout));  // computes every row
        benchmark::DoNotOptimize(model.results().back());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_OpenCsv)->Unit(benchmark::kMillisecond);

void BM_FormatScreenful(benchmark::State& state) {
    ScheduleModel model;
    model.Reset(Schedule(), NewScheduleLayout());
    constexpr int kVisibleRows = 40;
    int top = 0;
    for (auto _ : state) {
        for (int r = top; r < top + kVisibleRows; ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                for (int role :
                     {Qt::DisplayRole, Qt::BackgroundRole, Qt::ForegroundRole, Qt::TextAlignmentRole})
                    benchmark::DoNotOptimize(model.data(model.index(r, c), role));
        top = (top + kVisibleRows) % (kBeams - kVisibleRows);
    }
}
BENCHMARK(BM_FormatScreenful)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
