// The calculation book an engineer hands in: a PDF (A4 portrait) with a
// title block, a summary table of every beam, and a page for each computed
// beam with a to-scale sketch of its wall and section and the report's
// formulas, digit for digit as the text report has them. Fonts embedded,
// text searchable. Written through the file service: the old file stays
// whole if anything fails.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "document.h"
#include "files.h"
#include "row.h"

class QPagedPaintDevice;

namespace quorvane {

// The first page's title block.
struct BookTitle {
    std::string project;        // 工程名称
    std::string projectNumber;  // 工程编号
    std::string part;           // 部位 / 楼层
    std::string stage;          // 设计阶段
    std::string preparedBy;     // 计算人
    std::string checkedBy;      // 校对
    std::string reviewedBy;     // 审核
    std::string approvedBy;     // 审定
    std::string date;           // as it should stand; also each beam report's date line
    std::string revisions;      // the cover's revision table: a line each, "版次 日期 说明"
};

// A revision line's three parts: 版次, 日期 and what changed (the rest).
struct Revision {
    std::string mark, date, note;
};
std::vector<Revision> Revisions(const std::string& lines);

// The title block's fields the user gives, in order, in one place: the
// book's caption, the command line's option and its help, the window's
// label (with its access key) and the key it is kept under.
struct TitleField {
    std::string BookTitle::*member;
    const char* caption;
    const char* option;
    const char* help;
    const char* label;
    const char* key;
};
extern const std::array<TitleField, 8> kTitleFields;

// One floor of a building: a sheet's name and its beams, with each
// beam's outcome when the caller has computed them (else the book does).
struct BookFloor {
    std::string name;
    std::vector<ScheduleRow> rows;
    std::vector<BeamOutcome> outcomes;  // none, or one per row
};

// The book of rows, written as a PDF over path; count: its pages.
// Progress with cancel: a cancelled book leaves no file and the old one whole.
Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                     const BookTitle& title, const ProgressCallback& progress = {});

// A building's book: the title block and a contents page (目录: each floor
// and each beam with its page), then each floor's summary and beam pages,
// the floor named in every page's header. One unnamed floor is the book
// of its rows.
Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<BookFloor>& floors,
                     const BookTitle& title, const ProgressCallback& progress = {});

// The same into file, opened by the caller, who commits it (with other
// files of the same run) or drops it; on failure it is dropped here.
Outcome WritePdfBook(AtomicFile& file, const std::filesystem::path& path, const std::vector<BookFloor>& floors,
                     const BookTitle& title, const ProgressCallback& progress = {});

// The same pages onto a paint device of the caller's (a printer);
// cancelled when the progress callback stopped it, failed without a GUI.
Outcome PaintBook(QPagedPaintDevice& device, const std::vector<ScheduleRow>& rows, const BookTitle& title,
                  const ProgressCallback& progress = {});
Outcome PaintBook(QPagedPaintDevice& device, const std::vector<BookFloor>& floors, const BookTitle& title,
                  const ProgressCallback& progress = {});

}  // namespace quorvane
