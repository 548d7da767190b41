// libFuzzer target for workbooks: the input, as a whole package and as
// the XML of a sheet and its shared strings (split at the first NUL) in a
// package made around them. A workbook that does not read is a message;
// one that reads saves back into itself and reads again as the same rows.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "beam.h"
#include "document.h"
#include "package.h"
#include "workbookfile.h"

using namespace quorvane;

namespace {

std::shared_ptr<const std::string> Around(std::string_view sheet, std::string_view strings) {
    const std::string ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return std::make_shared<const std::string>(workbook::NewPackage({
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"r1\" Type=\"" + ns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns:r=\"" + ns + "\"><sheets><sheet name=\"一层\" r:id=\"r1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"r1\" Type=\"" + ns +
                                           "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", std::string(sheet)},
        {"xl/sharedStrings.xml", std::string(strings)},
    }));
}

// The same text, or the same number written another way ("1E+05", "100000").
bool SameText(std::string_view a, std::string_view b) {
    if (a == b) return true;
    double x = 0, y = 0;
    const auto [ea, fa] = std::from_chars(a.data(), a.data() + a.size(), x);
    const auto [eb, fb] = std::from_chars(b.data(), b.data() + b.size(), y);
    return fa == std::errc() && fb == std::errc() && ea == a.data() + a.size() && eb == b.data() + b.size() && x == y;
}

void Check(std::shared_ptr<const std::string> package) {
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    const Outcome read = ReadWorkbookSchedule(package, 0, layout, rows);
    if (!read.ok) {
        if (read.message.empty()) std::abort();
        return;
    }
    std::vector<ShownResult> results;
    for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
    const CsvLayout saved = SavedLayout(layout, rows, true);
    WorkbookSave save;
    if (!WorkbookFileBytes(saved, rows, results, save).ok) std::abort();
    CsvLayout again;
    std::vector<ScheduleRow> reread;
    if (!ReadWorkbookSchedule(save.bytes, 0, again, reread).ok) std::abort();
    if (reread.size() != rows.size()) std::abort();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!SameText(reread[r].mark(), rows[r].mark())) std::abort();
        for (std::size_t i = 0; i < kInputCount; ++i)
            if (!SameText(reread[r].text(i), rows[r].text(i))) std::abort();
    }
    // A second save, from what the first left (the sheet not read again),
    // writes what a save reading the sheet afresh writes.
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r].SetOrigin(save.ids[r]);
    if (!rows.empty()) rows[rows.size() / 2].SetText(0, "123");
    rows.emplace_back().SetMark("KL-new");
    results.clear();
    for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
    CsvLayout next = SavedLayout(saved, rows, true);
    next.workbook = save.origin;
    WorkbookSave cached, afresh;
    if (!WorkbookFileBytes(next, rows, results, cached).ok) std::abort();
    auto origin = std::make_shared<WorkbookOrigin>(*save.origin);
    origin->saved = nullptr;
    next.workbook = origin;
    if (!WorkbookFileBytes(next, rows, results, afresh).ok || *cached.bytes != *afresh.bytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    Check(std::make_shared<const std::string>(in));
    const std::size_t nul = in.find('\0');
    Check(Around(in.substr(0, nul), nul == std::string_view::npos ? std::string_view() : in.substr(nul + 1)));
    return 0;
}
