// Printing the calculation book: Qt's print preview of the same pages as
// the PDF. A build whose Qt has no print support (the Windows package's)
// offers the PDF alone.
#pragma once

#include <vector>

#include "dialogs.h"
#include "pdfbook.h"

class QWidget;

namespace quorvane {

bool CanPrintBook();
// The preview is drawn with progress (and cancel) through dialogs: a big
// schedule takes a while.
void PreviewAndPrintBook(QWidget* parent, const std::vector<ScheduleRow>& rows, const BookTitle& title,
                         ScheduleDialogs& dialogs);

}  // namespace quorvane
