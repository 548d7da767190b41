#include "printbook.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include "qttext.h"

namespace quorvane {

bool CanPrintBook() { return true; }

void PreviewAndPrintBook(QWidget* parent, const std::vector<ScheduleRow>& rows, const BookTitle& title,
                         ScheduleDialogs& dialogs) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("梁上恒载计算书"));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("打印计算书"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* device) {
        auto progress = dialogs.StartProgress(parent, QStringLiteral("正在准备打印的页面..."));
        const Outcome painted =
            PaintBook(*device, rows, title, [&progress](double done) { return progress->Update(done); });
        progress.reset();
        if (!painted.ok && !painted.cancelled) dialogs.Inform(parent, FromUtf8(painted.message));
    });
    preview.exec();
}

}  // namespace quorvane
