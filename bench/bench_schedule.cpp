// The 梁表 window's speed figures, on a 10,000-beam schedule of varied
// beams (openings, refused and failing rows among them):
//   recompute after pasting every row   aim: < 50 ms
//   open a 10,000-row CSV               aim: < 200 ms
//   format one screenful for the view   (scrolling: the model formats on demand)
//   open and save it as a sheet of a 5-sheet workbook   aim: each <= 1.5x the CSV's
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QUndoStack>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "document.h"
#include "files.h"
#include "package.h"
#include "workbookfile.h"
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

std::filesystem::path BenchFile(const char* name) { return std::filesystem::temp_directory_path() / name; }

// The schedule as a CSV file, with its loads (as the window saves it).
void WriteCsv(const std::filesystem::path& path) {
    std::vector<ShownResult> results;
    const std::vector<ScheduleRow> rows = Schedule();
    for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
    SaveScheduleFile(path, SavedLayout(NewScheduleLayout(), rows, true), rows, results);
}

// The same beams as the first of five floors of a workbook, each floor a
// sheet of 10,000 rows (marks as shared strings, numbers as numbers).
void WriteWorkbook(const std::filesystem::path& path) {
    const std::vector<ScheduleRow> rows = Schedule();
    const CsvLayout layout = NewScheduleLayout();
    std::string strings, sheet = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"1\">";
    for (std::size_t c = 0; c < layout.columns.size(); ++c)
        sheet += "<c t=\"inlineStr\"><is><t>" + layout.headers[c] + "</t></is></c>";
    sheet += "</row>";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        sheet += "<row r=\"" + std::to_string(r + 2) + "\"><c t=\"s\"><v>" + std::to_string(r) + "</v></c>";
        strings += "<si><t>" + std::string(rows[r].mark()) + "</t></si>";
        for (std::size_t i = 0; i < kInputCount; ++i) {
            const std::string_view text = rows[r].text(i);
            sheet += IsCsvNumber(text) ? "<c s=\"1\"><v>" + std::string(text) + "</v></c>"
                                       : "<c t=\"inlineStr\"><is><t>" + std::string(text) + "</t></is></c>";
        }
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::vector<std::pair<std::string, std::string>> parts;
    std::string book = "<workbook xmlns:r=\"" + rel + "\"><sheets>", rels = "<Relationships>";
    for (int f = 1; f <= 5; ++f) {
        const std::string n = std::to_string(f);
        book += "<sheet name=\"" + n + "层\" r:id=\"s" + n + "\"/>";
        rels += "<Relationship Id=\"s" + n + "\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheet);
    }
    parts.emplace_back("xl/workbook.xml", book + "</sheets></workbook>");
    parts.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    parts.emplace_back("xl/sharedStrings.xml", "<sst>" + strings + "</sst>");
    ReplaceFileAtomically(path, workbook::NewPackage(parts));
}

// Opening as the window does: read, then every row computed.
void Open(benchmark::State& state, const std::filesystem::path& path) {
    for (auto _ : state) {
        CsvLayout layout;
        std::vector<ScheduleRow> rows;
        if (!ReadScheduleFile(path, TextEncoding::Auto, layout, rows).ok) state.SkipWithError("read failed");
        ScheduleModel model;
        model.Reset(std::move(rows), std::move(layout));
        benchmark::DoNotOptimize(model.results().back());
    }
    std::filesystem::remove(path);
}

// The five floors as the window opens them: every floor read, every row computed.
void OpenFloors(benchmark::State& state, const std::vector<std::filesystem::path>& files) {
    for (auto _ : state) {
        for (const auto& path : files) {
            std::vector<ScheduleSheet> sheets;
            if (!ReadScheduleSheets(path, TextEncoding::Auto, sheets).ok) state.SkipWithError("read failed");
            for (ScheduleSheet& sheet : sheets) {
                ScheduleModel model;
                model.Reset(std::move(sheet.rows), std::move(sheet.layout), std::move(sheet.results));
                benchmark::DoNotOptimize(model.results().back());
            }
        }
    }
    for (const auto& path : files) std::filesystem::remove(path);
}

void BM_OpenCsvWithLoads(benchmark::State& state) {
    WriteCsv(BenchFile("quorvane-bench-open.csv"));
    Open(state, BenchFile("quorvane-bench-open.csv"));
}
BENCHMARK(BM_OpenCsvWithLoads)->Unit(benchmark::kMillisecond);

// The yardstick of the workbook's: the same five floors as five CSV files.
void BM_OpenFiveFloorsAsCsv(benchmark::State& state) {
    std::vector<std::filesystem::path> files;
    for (int f = 1; f <= 5; ++f) {
        files.push_back(BenchFile(("quorvane-bench-floor" + std::to_string(f) + ".csv").c_str()));
        WriteCsv(files.back());
    }
    OpenFloors(state, files);
}
BENCHMARK(BM_OpenFiveFloorsAsCsv)->Unit(benchmark::kMillisecond);

void BM_OpenWorkbookOfFiveFloors(benchmark::State& state) {
    WriteWorkbook(BenchFile("quorvane-bench-open.xlsx"));
    OpenFloors(state, {BenchFile("quorvane-bench-open.xlsx")});
}
BENCHMARK(BM_OpenWorkbookOfFiveFloors)->Unit(benchmark::kMillisecond);

// Saving as the window does, into the file it came from, after one cell
// was typed: a saved file (its loads written once), then a width changed
// and saved, over and over.
void Save(benchmark::State& state, const std::filesystem::path& path) {
    ScheduleModel model;
    {
        CsvLayout layout;
        std::vector<ScheduleRow> rows;
        if (!ReadScheduleFile(path, TextEncoding::Auto, layout, rows).ok) state.SkipWithError("read failed");
        model.Reset(std::move(rows), std::move(layout));
    }
    const auto save = [&]() {
        CsvLayout layout = SavedLayout(model.layout(), model.rows(), true);
        if (!layout.workbook) return SaveScheduleFile(path, layout, model.rows(), model.results()).ok;
        WorkbookSave saved;
        if (!WorkbookFileBytes(layout, model.rows(), model.results(), saved).ok ||
            !ReplaceFileAtomically(path, *saved.bytes).ok)
            return false;
        layout.workbook = saved.origin;
        model.SetLayout(std::move(layout));
        model.SetOrigins(saved.ids);
        return true;
    };
    if (!save()) state.SkipWithError("save failed");
    const int width = static_cast<int>(PositionOf({ColumnKind::Input, static_cast<std::size_t>(FindParam("BeamWidth"))}));
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.Apply({{5000, width, ++turn % 2 ? "260" : "270"}});
        state.ResumeTiming();
        if (!save()) state.SkipWithError("save failed");
    }
    std::filesystem::remove(path);
}

void BM_SaveCsvWithLoads(benchmark::State& state) {
    WriteCsv(BenchFile("quorvane-bench-save.csv"));
    Save(state, BenchFile("quorvane-bench-save.csv"));
}
BENCHMARK(BM_SaveCsvWithLoads)->Unit(benchmark::kMillisecond);

void BM_SaveIntoWorkbookOfFiveFloors(benchmark::State& state) {
    WriteWorkbook(BenchFile("quorvane-bench-save.xlsx"));
    Save(state, BenchFile("quorvane-bench-save.xlsx"));
}
BENCHMARK(BM_SaveIntoWorkbookOfFiveFloors)->Unit(benchmark::kMillisecond);

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
