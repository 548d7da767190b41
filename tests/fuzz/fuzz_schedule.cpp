// libFuzzer target: any bytes as a beam schedule, read in each encoding
// mode and computed; nothing may crash or trip a sanitizer. As the 梁表
// window reads them, a schedule saved and opened again has the same rows;
// pasted as tab-separated text, nothing crashes either.
#include <cstdint>
#include <cstdio>
#include <string>

#include "document.h"
#include "schedulerun.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Output to a private temporary file, written over for each input.
    static std::FILE* const out = std::tmpfile();
    std::rewind(out);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (TextEncoding encoding : {TextEncoding::Auto, TextEncoding::Gb18030}) {
        // (fmemopen refuses an empty buffer; one byte more that it never reads)
        std::FILE* in = fmemopen(bytes.data(), size > 0 ? size : 1, "rb");
        if (!in || !out) std::abort();
        if (size == 0) std::fgetc(in);
        ScheduleOptions options;
        options.encoding = encoding;
        const Outcome run = RunSchedule(in, out, options);
        if (!run.ok && run.message.empty()) std::abort();  // a refusal always says why
        std::fclose(in);
    }
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    // Any encoding. Kept bytes go back as they were, but requoting may set a
    // kept byte beside one it now forms a character with: then the rows
    // must still be there, their texts may read otherwise.
    if (ReadScheduleBytes(bytes, TextEncoding::Auto, layout, rows).ok) {
        std::vector<ShownResult> results;
        for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
        const std::string saved = ScheduleFileBytes(SavedLayout(layout, rows, true), rows, results);
        CsvLayout again;
        std::vector<ScheduleRow> reread;
        if (!ReadScheduleBytes(saved, layout.encoding, again, reread).ok) std::abort();
        if (reread.size() != rows.size()) std::abort();
        for (std::size_t r = 0; r < rows.size() && !layout.keptBytes; ++r) {
            if (reread[r].mark() != rows[r].mark()) std::abort();
            for (std::size_t i = 0; i < kInputCount; ++i)
                if (reread[r].text(i) != rows[r].text(i)) std::abort();
        }
    }
    std::size_t cells = 0;
    for (const auto& record : ParseTabSeparated(bytes)) cells += record.size();
    if (size > 0 && cells == 0) std::abort();  // some text always gives a cell
    return 0;
}
