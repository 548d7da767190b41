#include "pdfbook.h"

#include <algorithm>

namespace quorvane {

const std::array<TitleField, 8> kTitleFields = {{
    {&BookTitle::project, "工程名称", "--project", "计算书的工程名称", "工程名称(&N):", "book/project"},
    {&BookTitle::projectNumber, "工程编号", "--project-number", "计算书的工程编号", "工程编号(&U):", "book/projectNumber"},
    {&BookTitle::part, "部位/楼层", "--part", "计算书的部位或楼层", "部位/楼层(&A):", "book/part"},
    {&BookTitle::stage, "设计阶段", "--stage", "计算书的设计阶段 (如 施工图)", "设计阶段(&S):", "book/stage"},
    {&BookTitle::preparedBy, "计算", "--prepared-by", "计算书的计算人", "计算人(&R):", "book/preparedBy"},
    {&BookTitle::checkedBy, "校对", "--checked-by", "计算书的校对人", "校对(&C):", "book/checkedBy"},
    {&BookTitle::reviewedBy, "审核", "--reviewed-by", "计算书的审核人", "审核(&V):", "book/reviewedBy"},
    {&BookTitle::approvedBy, "审定", "--approved-by", "计算书的审定人", "审定(&D):", "book/approvedBy"},
}};

std::vector<Revision> Revisions(const std::string& lines) {
    std::vector<Revision> found;
    std::size_t start = 0;
    while (start <= lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        std::string line = lines.substr(start, end - start);
        start = end + 1;
        for (char& c : line)
            if (c == '\t' || c == '\r') c = ' ';
        // (blanks between the parts, however many)
        Revision r;
        std::size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos) continue;
        std::size_t stop = std::min(line.find(' ', at), line.size());
        r.mark = line.substr(at, stop - at);
        at = line.find_first_not_of(' ', stop);
        if (at != std::string::npos) {
            stop = std::min(line.find(' ', at), line.size());
            r.date = line.substr(at, stop - at);
            at = line.find_first_not_of(' ', stop);
            if (at != std::string::npos) r.note = line.substr(at, line.find_last_not_of(' ') + 1 - at);
        }
        found.push_back(std::move(r));
    }
    return found;
}

}  // namespace quorvane
