// A build without libxml2: no HTML table is read, a paste takes the shown text.
#include "htmltable.h"

namespace quorvane {

std::vector<std::vector<HtmlCell>> ReadHtmlTable(std::string_view) { return {}; }

void TakeFullValues(std::vector<std::vector<std::string>>&, const std::vector<std::vector<HtmlCell>>&) {}

}  // namespace quorvane
