// What a user of the 梁表 window waits for, through the real window
// (offscreen), each with a yardstick measured in the same run:
//   paste 10^4 / 10^5 rows of tab-separated text: parse, undo command,
//     model, recompute, the table painted                 aim 10^4: <= 100 ms
//     (and with the HTML a spreadsheet puts beside it, for full values)
//   open a 10^4 / 10^5 / 10^6-row CSV until painted       aim 10^4: <= 60 ms;
//                                                         10^6: <= 5 s, peak <= 10x the file
//   delete 5,000 scattered rows and undo it               aim: <= 100 ms
// Yardstick: ParseTabSeparated alone over the same text (the least any
// paste must do). Counters: peak resident memory (MiB) from the first
// round on, and its rise over the start (the paste's includes the parsed block).
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_schedule_window
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTableView>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "csv.h"
#include "dialogs.h"
#include "schedulewindow.h"

using namespace quorvane;

namespace {

// Says nothing and asks nothing: the window's work alone is measured.
class QuietDialogs : public ScheduleDialogs {
public:
    void Inform(QWidget*, const QString&) override {}
    SaveAnswer AskSave(QWidget*, const QString&) override { return SaveAnswer::Discard; }
    ChangedAnswer AskChangedOnDisk(QWidget*, const QString&, bool) override { return ChangedAnswer::Keep; }
    LossAnswer AskWorkbookLosses(QWidget*, const QString&, const QString&) override { return LossAnswer::SaveAnyway; }
    QString OpenPath(QWidget*, const QString&) override { return {}; }
    QString SavePath(QWidget*, const QString&, const QString&) override { return {}; }
    QString FolderPath(QWidget*, const QString&, const QString&) override { return {}; }
    std::unique_ptr<ProgressReport> StartProgress(QWidget*, const QString&) override {
        struct Silent : ProgressReport {
            bool Update(double) override { return true; }
        };
        return std::make_unique<Silent>();
    }
    bool AskBookTitle(QWidget*, BookTitle&) override { return true; }
    BookScope AskBookScope(QWidget*, const QString&, int) override { return BookScope::ThisSheet; }
    QString AskSheetName(QWidget*, const QString&) override { return {}; }
    QString AskText(QWidget*, const QString&, const QString&) override { return {}; }
    bool AskRecover(QWidget*, const QString&, const QDateTime&) override { return false; }
};

// Beam i of the varied beams the benches use.
std::vector<std::string> Beam(int i) {
    return {"KL" + std::to_string(i + 1), std::to_string(200 + i % 7 * 50), std::to_string(400 + i % 11 * 50),
            std::to_string(2800 + i % 13 * 100), i % 3 ? "900" : "0", i % 5 ? "1500" : "0",
            std::to_string(3000 + i % 17 * 300), i % 4 ? "1" : "0.85"};
}

// The beams as Excel puts them on the clipboard: a header of captions.
std::string Block(int rows) {
    std::string text =
        "梁号\t梁宽度(mm)\t梁高度(mm)\t墙高度(mm)\t门宽度(mm)\t窗宽度(mm)\t梁长度(mm)\t折算比例\n";
    for (int i = 0; i < rows; ++i) AppendTabRecord(text, Beam(i));
    return text;
}

// The same beams as a CSV file of field names, written a row at a time.
void WriteSchedule(const std::filesystem::path& path, int rows) {
    std::ofstream out(path, std::ios::binary);
    out << "Mark,BeamWidth,BeamHeight,WallHeight,DoorWidth,WindowWidth,BeamLength,ReductionRatio\r\n";
    std::string record;
    for (int i = 0; i < rows; ++i) {
        record.clear();
        AppendCsvRecord(record, Beam(i), "\r\n");
        out << record;
    }
}

// Resident memory now, and its high-water mark, in MiB.
double StatusMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0;
}

void Painted(ScheduleWindow& window) {
    window.view()->viewport()->repaint();
    QApplication::processEvents();
}

// A window as the user has it before acting: shown and painted.
std::unique_ptr<ScheduleWindow> ShownWindow(ScheduleDialogs* dialogs) {
    auto window = std::make_unique<ScheduleWindow>(dialogs);
    window->show();
    Painted(*window);
    return window;
}

void BM_Yardstick_ParseOnly(benchmark::State& state) {
    const std::string text = Block(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ParseTabSeparated(text));
}
BENCHMARK(BM_Yardstick_ParseOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// act on a fresh shown window each round, timed until the table is
// painted. Counters: the process's peak resident memory from the first
// round on (writing 5 to clear_refs resets the high-water mark, so the
// setup is not counted) and how far it rose above the memory at the start.
template <typename Act>
void OnFreshWindows(benchmark::State& state, const Act& act) {
    QuietDialogs dialogs;
    std::ofstream("/proc/self/clear_refs") << "5";
    const double start = StatusMiB("VmRSS:");
    for (auto _ : state) {
        state.PauseTiming();
        const auto window = ShownWindow(&dialogs);
        state.ResumeTiming();
        act(*window);
        Painted(*window);
        state.PauseTiming();
        window->undoStack().setClean();  // closing asks nothing
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = StatusMiB("VmHWM:");
    state.counters["rise_MiB"] = StatusMiB("VmHWM:") - start;
}

void BM_PasteUntilPainted(benchmark::State& state) {
    const QString text = QString::fromStdString(Block(static_cast<int>(state.range(0))));
    OnFreshWindows(state, [&text](ScheduleWindow& window) { window.PasteText(text); });
}
BENCHMARK(BM_PasteUntilPainted)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same block as LibreOffice Calc copies it: the text and, beside it,
// the HTML table whose numbers carry their full values (sdval).
std::string HtmlBlock(int rows) {
    std::string html = "<html><body><table cellspacing=\"0\" border=\"0\">\n<tr>";
    for (const char* caption : {"梁号", "梁宽度(mm)", "梁高度(mm)", "墙高度(mm)", "门宽度(mm)", "窗宽度(mm)", "梁长度(mm)", "折算比例"})
        html += std::string("<td align=\"left\"><font face=\"Noto Sans CJK SC\">") + caption + "</font></td>";
    html += "</tr>\n";
    for (int i = 0; i < rows; ++i) {
        const std::vector<std::string> beam = Beam(i);
        html += "<tr><td height=\"17\" align=\"left\">" + beam[0] + "</td>";
        for (std::size_t c = 1; c < beam.size(); ++c)
            html += "<td align=\"right\" sdval=\"" + beam[c] + "\" sdnum=\"2052;\">" + beam[c] + "</td>";
        html += "</tr>\n";
    }
    return html + "</table></body></html>";
}

void BM_PasteWithHtmlUntilPainted(benchmark::State& state) {
    const QString text = QString::fromStdString(Block(static_cast<int>(state.range(0))));
    const QString html = QString::fromStdString(HtmlBlock(static_cast<int>(state.range(0))));
    OnFreshWindows(state, [&](ScheduleWindow& window) { window.PasteText(text, html); });
}
BENCHMARK(BM_PasteWithHtmlUntilPainted)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenUntilPainted(benchmark::State& state) {
    const auto rows = static_cast<int>(state.range(0));
    const auto path =
        std::filesystem::temp_directory_path() / ("quorvane-bench-" + std::to_string(rows) + ".csv");
    WriteSchedule(path, rows);
    const QString file = QString::fromStdString(path.string());
    OnFreshWindows(state, [&file](ScheduleWindow& window) { window.OpenFile(file); });
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::filesystem::remove(path);
}
BENCHMARK(BM_OpenUntilPainted)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenUntilPainted)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DeleteScatteredRowsAndUndo(benchmark::State& state) {
    const QString text = QString::fromStdString(Block(10000));
    QuietDialogs dialogs;
    ScheduleWindow window(&dialogs);
    window.show();
    window.PasteText(text);
    Painted(window);
    QItemSelection every2nd;
    QAbstractItemModel* view = window.view()->model();
    for (int r = 0; r < 10000; r += 2) every2nd.select(view->index(r, 0), view->index(r, 0));
    for (auto _ : state) {
        state.PauseTiming();
        window.view()->selectionModel()->select(every2nd, QItemSelectionModel::ClearAndSelect);
        state.ResumeTiming();
        window.DeleteRows();
        Painted(window);
        window.undoStack().undo();
        Painted(window);
    }
    window.undoStack().setClean();
}
BENCHMARK(BM_DeleteScatteredRowsAndUndo)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
