// For the LibreOffice round trip: opens a schedule file in the 梁表 window
// (offscreen), types TEXT into beam ROW's FIELD as a user does, and saves
// it as 保存 does with the cell's editor still open (the save takes what
// was typed). Whatever the window says is printed; a question is
// answered "cancel". Exit 0 once saved.
// Usage: edit_in_window FILE ROW FIELD TEXT
#include <QApplication>
#include <QLineEdit>
#include <QTableView>

#include <cstdio>

#include "dialogs.h"
#include "params.h"
#include "schedulewindow.h"

using namespace quorvane;

namespace {

class PrintingDialogs : public ScheduleDialogs {
public:
    void Inform(QWidget*, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    SaveAnswer AskSave(QWidget*, const QString&) override { return SaveAnswer::Cancel; }
    ChangedAnswer AskChangedOnDisk(QWidget*, const QString&, bool) override { return ChangedAnswer::Keep; }
    LossAnswer AskWorkbookLosses(QWidget*, const QString&, const QString& losses) override {
        std::fprintf(stderr, "asked: %s\n", qPrintable(losses));
        return LossAnswer::Cancel;
    }
    QString OpenPath(QWidget*, const QString&) override { return {}; }
    QString SavePath(QWidget*, const QString&, const QString&) override { return {}; }
    QString FolderPath(QWidget*, const QString&, const QString&) override { return {}; }
    std::unique_ptr<ProgressReport> StartProgress(QWidget*, const QString&) override {
        struct Silent : ProgressReport {
            bool Update(double) override { return true; }
        };
        return std::make_unique<Silent>();
    }
    bool AskBookTitle(QWidget*, BookTitle&) override { return false; }
    BookScope AskBookScope(QWidget*, const QString&, int) override { return BookScope::Cancel; }
    QString AskSheetName(QWidget*, const QString&) override { return {}; }
    QString AskText(QWidget*, const QString&, const QString&) override { return {}; }
    bool AskRecover(QWidget*, const QString&, const QDateTime&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: edit_in_window FILE ROW FIELD TEXT\n");
        return 2;
    }
    PrintingDialogs dialogs;
    ScheduleWindow window(&dialogs);
    window.show();
    if (!window.OpenFile(QString::fromLocal8Bit(argv[1]))) return 2;
    const int field = FindParam(argv[3]);
    if (field < 0) return 2;
    QTableView* view = window.view();
    const QModelIndex at =
        view->model()->index(QString(argv[2]).toInt(), int(PositionOf({ColumnKind::Input, std::size_t(field)})));
    if (!at.isValid()) return 2;
    window.activateWindow();
    view->setCurrentIndex(at);
    view->edit(at);
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(at));
    if (!editor) return 2;
    editor->setFocus();
    editor->setText(QString::fromUtf8(argv[4]));
    QApplication::processEvents();
    return window.Save() ? 0 : 1;
}
