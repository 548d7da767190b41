// A build without QtGui (the ARM64 reference build): no PDF, said so.
#include "pdfbook.h"

namespace quorvane {

Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<ScheduleRow>&, const BookTitle&,
                     const ProgressCallback&) {
    return Failed(FileMessage("无法写入 PDF 计算书", path, "这个版本的程序不能写 PDF"));
}

Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<BookFloor>&, const BookTitle&,
                     const ProgressCallback&) {
    return Failed(FileMessage("无法写入 PDF 计算书", path, "这个版本的程序不能写 PDF"));
}

Outcome WritePdfBook(AtomicFile& file, const std::filesystem::path& path, const std::vector<BookFloor>&,
                     const BookTitle&, const ProgressCallback&) {
    file.Abort();
    return Failed(FileMessage("无法写入 PDF 计算书", path, "这个版本的程序不能写 PDF"));
}

Outcome PaintBook(QPagedPaintDevice&, const std::vector<ScheduleRow>&, const BookTitle&, const ProgressCallback&) {
    return Failed("这个版本的程序不能画出计算书");
}

Outcome PaintBook(QPagedPaintDevice&, const std::vector<BookFloor>&, const BookTitle&, const ProgressCallback&) {
    return Failed("这个版本的程序不能画出计算书");
}

}  // namespace quorvane
