#include "printbook.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

namespace quorvane {

bool CanPrintBook() { return true; }

void PreviewAndPrintBook(QWidget* parent, const std::vector<ScheduleRow>& rows, const BookTitle& title) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("梁上恒载计算书"));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("打印计算书"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&rows, &title](QPrinter* device) { PaintBook(*device, rows, title); });
    preview.exec();
}

}  // namespace quorvane
