// A table as another spreadsheet puts it on the clipboard in HTML: each
// cell's shown text and, where the program gives it, the full value
// behind it (LibreOffice's sdval, Excel's x:num), so that a paste takes
// 0.833333333333333 where the sheet shows 0.83. Read with libxml2's HTML
// parser; a build without it reads none (the shown text is pasted).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

struct HtmlCell {
    std::string text;   // as shown, spaces at the ends taken off
    std::string value;  // the full value, when the program gave one
};

// The first table's rows (spanned cells give empty ones after them); none
// when html holds no table.
std::vector<std::vector<HtmlCell>> ReadHtmlTable(std::string_view html);

// The block parsed from the clipboard's text, each cell whose shown text
// is the HTML table's at the same place given that cell's full value.
void TakeFullValues(std::vector<std::vector<std::string>>& block, const std::vector<std::vector<HtmlCell>>& table);

}  // namespace quorvane
