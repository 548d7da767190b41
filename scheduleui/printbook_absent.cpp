// Qt without print support: the book is printed from its PDF.
#include "printbook.h"

namespace quorvane {

bool CanPrintBook() { return false; }

void PreviewAndPrintBook(QWidget*, const std::vector<ScheduleRow>&, const BookTitle&, ScheduleDialogs&) {}

}  // namespace quorvane
