#include "schedulewindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <filesystem>
#include <set>

#include "book.h"
#include "commands.h"
#include "frozencolumn.h"
#include "printbook.h"
#include "qttext.h"
#include "recentfiles.h"
#include "sortproxy.h"
#include "xlsx.h"

namespace quorvane {
namespace {

const QString kProgramName = QStringLiteral("Quorvane 梁表");

}  // namespace

// The result, copied-load and error columns shown right after the mark, or
// where the file form has them (at the end).
void ScheduleWindow::PlaceResultColumns(bool besideMark) {
    QHeaderView* header = view_->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        header->moveSection(header->visualIndex(c), c);  // the file's order
    const int first = static_cast<int>(PositionOf({ColumnKind::Result, 0}));
    for (int k = 0; besideMark && first + k < header->count(); ++k)
        header->moveSection(header->visualIndex(first + k), 1 + k);
    if (besideMark) view_->scrollToTop();
}

ScheduleWindow::ScheduleWindow(ScheduleDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      ownDialogs_(dialogs ? nullptr : std::make_unique<DesktopScheduleDialogs>()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      proxy_(new ScheduleSortProxy(this)),
      view_(new QTableView(this)) {
    setObjectName(QStringLiteral("ScheduleWindow"));
    connect(&model_, &ScheduleModel::editRequested, this, [this](const CellEdit& edit) {
        undo_.push(new ChangeCellsCommand(&model_, {edit}, 0, QStringLiteral("编辑")));
    });
    proxy_->setSourceModel(&model_);
    view_->setModel(proxy_);
    view_->setObjectName(QStringLiteral("ScheduleTable"));
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // the file's own order
    view_->setSortingEnabled(true);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    view_->setWordWrap(false);
    view_->setAccessibleName(QStringLiteral("梁表"));
    const QFontMetrics metrics(view_->horizontalHeader()->font());
    // Room for the sort arrow beside the longer caption line, so sorting never clips it.
    const int arrow = view_->horizontalHeader()->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr,
                                                                      view_->horizontalHeader());
    // A result shows all its digits: up to 15 significant, a sign and a point.
    const int resultWidth = view_->fontMetrics().horizontalAdvance(QStringLiteral("-00.0000000000000")) + 16;
    for (int c = 0; c < model_.columnCount(); ++c) {
        int caption = 0;
        for (const QString& line :
             model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split('\n'))
            caption = std::max(caption, metrics.horizontalAdvance(line));
        const ColumnKind kind = ColumnAt(static_cast<std::size_t>(c)).kind;
        const int least = kind == ColumnKind::Error ? 360 : kind == ColumnKind::Result ? resultWidth : 56;
        view_->setColumnWidth(c, std::max(least, caption + arrow + 16));
    }
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    frozen_ = new FrozenColumn(view_);
    // Enter ends an edit one row down, as in Excel, so a column types straight in.
    connect(view_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                const QModelIndex current = view_->currentIndex();
                if (hint != QAbstractItemDelegate::SubmitModelCache || !current.isValid()) return;
                // On the last row it grows the table, so that a new schedule is typed
                // mark, Enter, mark, Enter.
                if (current.row() + 1 == proxy_->rowCount())
                    undo_.push(new ChangeCellsCommand(&model_, {}, 1, QStringLiteral("添加行")));
                const QModelIndex below = current.siblingAtRow(current.row() + 1);
                if (below.isValid()) view_->setCurrentIndex(below);
            });
    setCentralWidget(view_);
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);

    BuildMenus();
    connect(&undo_, &QUndoStack::cleanChanged, this, &ScheduleWindow::UpdateTitle);
    auto counts = [this] {
        std::size_t errors = 0;
        for (const ShownResult& r : model_.results()) errors += r.ok() ? 0 : 1;
        status_->setText(QStringLiteral("%1 根梁").arg(model_.rowCount()) +
                         (errors ? QStringLiteral(",%1 行有错误").arg(errors) : QString()));
    };
    connect(&model_, &QAbstractItemModel::dataChanged, this, counts);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, counts);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, counts);
    connect(&model_, &QAbstractItemModel::modelReset, this, counts);
    // A reset (many rows deleted or brought back at once) keeps the table
    // sorted as shown; once the proxy has rebuilt its own rows.
    connect(proxy_, &QAbstractItemModel::modelReset, this, &ScheduleWindow::KeepSorted);

    model_.Reset(std::vector<ScheduleRow>(1), NewScheduleLayout());
    view_->setCurrentIndex(proxy_->index(0, 0));
    UpdateTitle();
    resize(1200, 640);
}

ScheduleWindow::~ScheduleWindow() = default;

void ScheduleWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("新建(&N)"), QKeySequence::New, this, [this] { NewSchedule(); });
    file->addAction(QStringLiteral("打开(&O)..."), QKeySequence::Open, this, [this] {
        const QString path = dialogs_->OpenPath(this, DefaultFolder());
        if (!path.isEmpty()) OpenFile(path);
    });
    recentMenu_ = file->addMenu(QStringLiteral("最近的文件(&T)"));  // (&R is 保存时包含计算结果)
    file->addSeparator();
    file->addAction(QStringLiteral("保存(&S)"), QKeySequence::Save, this, [this] { Save(); });
    // F12 as in Excel, Ctrl+Shift+S as elsewhere (Windows has no standard key for it).
    QAction* saveAs = file->addAction(QStringLiteral("另存为(&A)..."), this, [this] {
        const QString path = dialogs_->SavePath(this, DefaultFolder() + "/" + DocumentName(),
                                                QStringLiteral("CSV 文件 (*.csv);;Excel 工作簿 (*.xlsx)"));
        if (!path.isEmpty()) SaveAs(path);
    });
    saveAs->setShortcuts({QKeySequence(Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    file->addAction(QStringLiteral("导出 Excel(&E)..."), this, [this] {
        const QString suggested =
            DefaultFolder() + "/" + QFileInfo(DocumentName()).completeBaseName() + ".xlsx";
        const QString path = dialogs_->SavePath(this, suggested, QStringLiteral("Excel 工作簿 (*.xlsx)"));
        if (!path.isEmpty()) ExportExcel(path);
    });
    file->addAction(QStringLiteral("导出 PDF 计算书(&D)..."), this, [this] {
        if (!AskBookTitle()) return;
        const QString suggested =
            DefaultFolder() + "/" + QFileInfo(DocumentName()).completeBaseName() + QStringLiteral("计算书.pdf");
        const QString path = dialogs_->SavePath(this, suggested, QStringLiteral("PDF 文件 (*.pdf)"));
        if (!path.isEmpty()) ExportPdf(path);
    });
    if (CanPrintBook()) {
        QAction* print = file->addAction(QStringLiteral("打印计算书(&P)..."), this, [this] {
            if (AskBookTitle()) PrintBook();
        });
        print->setShortcut(QKeySequence::Print);
    }
    file->addAction(QStringLiteral("写出计算书(&B)..."), this, [this] {
        const QString folder =
            dialogs_->FolderPath(this, QStringLiteral("计算书写到哪个文件夹"), DefaultFolder());
        if (!folder.isEmpty()) WriteBook(folder);
    });
    // An edited schedule is saved with the loads the window shows (its own
    // output form, which reads back); an unchanged file stays as it was.
    QAction* withResults = file->addAction(QStringLiteral("保存时包含计算结果(&R)"));
    withResults->setObjectName(QStringLiteral("SaveResults"));
    withResults->setCheckable(true);
    withResults->setChecked(ScheduleSettings().value(QStringLiteral("saveResults"), true).toBool());
    connect(withResults, &QAction::toggled, this,
            [](bool on) { ScheduleSettings().setValue(QStringLiteral("saveResults"), on); });
    saveResults_ = withResults;
    file->addSeparator();
    // Ctrl+Q everywhere: Windows has no standard quit key of its own.
    file->addAction(QStringLiteral("退出(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);
    UpdateRecentMenu();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    QAction* undo = undo_.createUndoAction(this, QStringLiteral("撤销"));
    undo->setShortcuts(QKeySequence::Undo);
    // Rows an undo brings back go to their places in a sorted table, so the
    // table is again as it was.
    connect(undo, &QAction::triggered, this, &ScheduleWindow::KeepSorted);
    QAction* redo = undo_.createRedoAction(this, QStringLiteral("重做"));
    // Ctrl+Y as in Excel, wherever the platform's redo keys lack it; a key
    // listed twice would make the shortcut ambiguous and dead.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setShortcuts(redoKeys);
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    edit->addAction(QStringLiteral("复制(&C)"), QKeySequence::Copy, this, &ScheduleWindow::CopySelection);
    edit->addAction(QStringLiteral("粘贴(&P)"), QKeySequence::Paste, this, [this] { Paste(); });
    edit->addAction(QStringLiteral("清除内容(&L)"), QKeySequence::Delete, this,
                    &ScheduleWindow::ClearSelection);
    edit->addSeparator();
    edit->addAction(QStringLiteral("插入行(&I)"), QKeySequence(Qt::CTRL | Qt::Key_Insert), this,
                    &ScheduleWindow::InsertRows);
    edit->addAction(QStringLiteral("删除行(&D)"), QKeySequence(Qt::CTRL | Qt::Key_Delete), this,
                    &ScheduleWindow::DeleteRows);
    edit->addAction(QStringLiteral("复制行(&U)"), QKeySequence(Qt::CTRL | Qt::Key_D), this,
                    &ScheduleWindow::DuplicateRows);
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    viewMenu->addAction(QStringLiteral("恢复原来的顺序(&O)"), this, &ScheduleWindow::RestoreOrder);
    // The loads beside the mark, where they are read against their beam.
    QAction* beside = viewMenu->addAction(QStringLiteral("结果列放在梁号旁边(&B)"));
    beside->setObjectName(QStringLiteral("ResultsBesideMark"));
    beside->setCheckable(true);
    connect(beside, &QAction::toggled, this, [this](bool on) {
        ScheduleSettings().setValue(QStringLiteral("resultsBesideMark"), on);
        PlaceResultColumns(on);
    });
    beside->setChecked(ScheduleSettings().value(QStringLiteral("resultsBesideMark"), true).toBool());
    PlaceResultColumns(beside->isChecked());
    for (QAction* action : menuBar()->actions()) addActions(action->menu()->actions());
}

QString ScheduleWindow::DocumentName() const {
    return path_.isEmpty() ? QStringLiteral("未命名.csv") : QFileInfo(path_).fileName();
}

QString ScheduleWindow::DefaultFolder() const {
    if (!path_.isEmpty()) return QFileInfo(path_).absolutePath();
    const QStringList recent = recentFiles();
    if (!recent.isEmpty()) return QFileInfo(recent.first()).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void ScheduleWindow::UpdateTitle() {
    setWindowTitle(DocumentName() + QStringLiteral("[*] - ") + kProgramName);
    setWindowModified(!undo_.isClean());
}

QStringList ScheduleWindow::recentFiles() const { return RecentFiles(); }

void ScheduleWindow::AddRecent(const QString& path) {
    AddRecentFile(path);
    UpdateRecentMenu();
}

void ScheduleWindow::UpdateRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = recentFiles();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)), this,
                               [this, path] { OpenFile(path); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

bool ScheduleWindow::MaybeSave() {
    if (undo_.isClean()) return true;
    switch (dialogs_->AskSave(this, DocumentName())) {
        case SaveAnswer::Save:
            return Save();
        case SaveAnswer::Discard:
            return true;
        case SaveAnswer::Cancel:
            break;
    }
    return false;
}

void ScheduleWindow::closeEvent(QCloseEvent* event) {
    if (MaybeSave())
        event->accept();
    else
        event->ignore();
}

bool ScheduleWindow::NewSchedule() {
    if (!MaybeSave()) return false;
    model_.Reset(std::vector<ScheduleRow>(1), NewScheduleLayout());
    RestoreOrder();
    view_->setCurrentIndex(proxy_->index(0, 0));  // typing goes straight into the first mark
    undo_.clear();
    path_.clear();
    RememberDiskFile();
    UpdateTitle();
    return true;
}

bool ScheduleWindow::OpenFile(const QString& path) { return MaybeSave() && Load(path); }

void ScheduleWindow::RememberDiskFile() {
    disk_ = path_.isEmpty() ? os::FileInfo() : os::Inspect(FilePath(path_));
}

// Another program wrote the file since this window read or saved it (a
// file that is gone is no conflict: saving brings it back).
bool ScheduleWindow::ChangedOnDisk() const {
    if (path_.isEmpty() || !disk_.Identified()) return false;
    const os::FileInfo now = os::Inspect(FilePath(path_));
    if (!now.Identified()) return false;  // gone, or held open so that it cannot be asked
    return !now.SameFileAs(disk_) || now.size != disk_.size || now.modified != disk_.modified;
}

void ScheduleWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || askingAboutDisk_ ||
        !ChangedOnDisk())
        return;
    askingAboutDisk_ = true;
    const ChangedAnswer answer = dialogs_->AskChangedOnDisk(this, DocumentName(), false);
    askingAboutDisk_ = false;
    if (answer == ChangedAnswer::Reload)
        Load(path_);
    else
        RememberDiskFile();  // asked once; the next save writes the window's rows
}

bool ScheduleWindow::Load(const QString& path) {
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    auto progress =
        dialogs_->StartProgress(this, QStringLiteral("正在打开 %1...").arg(QFileInfo(path).fileName()));
    const Outcome read = ReadScheduleFile(FilePath(path), TextEncoding::Auto, layout, rows,
                                              [&](double done) { return progress->Update(done); });
    progress.reset();  // never left standing over a message
    if (read.cancelled) return false;
    if (!read.ok) {
        dialogs_->Inform(this, FromUtf8(read.message));
        return false;
    }
    model_.Reset(std::move(rows), std::move(layout));
    RestoreOrder();
    view_->setCurrentIndex(proxy_->index(0, 0));
    undo_.clear();
    path_ = QFileInfo(path).absoluteFilePath();
    RememberDiskFile();
    AddRecent(path_);
    UpdateTitle();
    if (!read.warnings.empty()) dialogs_->Inform(this, FromUtf8(read.warnings));
    return true;
}

bool ScheduleWindow::SaveAs(const QString& path) {
    if (!path_.isEmpty() && QFileInfo(path).absoluteFilePath() == path_ && ChangedOnDisk()) {
        askingAboutDisk_ = true;
        const ChangedAnswer answer = dialogs_->AskChangedOnDisk(this, DocumentName(), true);
        askingAboutDisk_ = false;
        if (answer == ChangedAnswer::Reload) {
            Load(path_);
            return false;
        }
        if (answer == ChangedAnswer::Keep) return false;
    }
    RemoveStaleTemporaryFiles(os::FollowLinks(FilePath(path)).parent_path());
    // A workbook is saved as a workbook, a CSV as the CSV it was; with the
    // loads once it has been edited or goes to a new file.
    const bool workbook = path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) ||
                          path.endsWith(QStringLiteral(".xlsm"), Qt::CaseInsensitive);
    const bool withResults =
        saveResults_->isChecked() && (!undo_.isClean() || QFileInfo(path).absoluteFilePath() != path_);
    CsvLayout layout = SavedLayout(model_.layout(), model_.rows(), withResults);
    Outcome written;
    if (workbook && layout.workbook) {
        // Into the workbook it came from: only the schedule's own cells change.
        WorkbookSave save;
        written = WorkbookFileBytes(layout, model_.rows(), model_.results(), withResults, save);
        if (written.ok && !save.losses.empty()) {
            switch (dialogs_->AskWorkbookLosses(this, QFileInfo(path).fileName(), FromUtf8(save.losses))) {
                case LossAnswer::SaveAs: {
                    const QString other = dialogs_->SavePath(
                        this, DefaultFolder() + "/" + QFileInfo(path).completeBaseName() + QStringLiteral("-副本.xlsx"),
                        QStringLiteral("Excel 工作簿 (*.xlsx)"));
                    if (other.isEmpty() || QFileInfo(other).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
                        return false;
                    return SaveAs(other);
                }
                case LossAnswer::SaveAnyway:
                    break;
                case LossAnswer::Cancel:
                    return false;
            }
        }
        if (written.ok) written = ReplaceFileAtomically(FilePath(path), *save.bytes, "无法保存梁表文件");
        if (written.ok) {
            layout.workbook = save.origin;
            model_.SetLayout(layout);
            model_.SetOrigins(save.ids);
        }
    } else if (workbook) {
        written = ExportXlsx(FilePath(path), model_.rows(), model_.results());
    } else {
        written = SaveScheduleFile(FilePath(path), layout, model_.rows(), model_.results());
        if (written.ok) {
            layout.workbook.reset();  // a CSV now: its rows no longer name a sheet's
            model_.SetLayout(layout);
        }
    }
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message) + QStringLiteral("\n原来的文件没有改动。"));
        return false;
    }
    path_ = QFileInfo(path).absoluteFilePath();
    RememberDiskFile();
    undo_.setClean();
    AddRecent(path_);
    UpdateTitle();
    statusBar()->showMessage(QStringLiteral("已保存 %1").arg(QDir::toNativeSeparators(path_)), 5000);
    return true;
}

bool ScheduleWindow::Save() {
    if (!path_.isEmpty()) return SaveAs(path_);
    const QString path =
        dialogs_->SavePath(this, DefaultFolder() + "/" + DocumentName(), QStringLiteral("CSV 文件 (*.csv)"));
    return !path.isEmpty() && SaveAs(path);
}

bool ScheduleWindow::ExportExcel(const QString& path) {
    // A new workbook of the schedule alone: never over the workbook it came from.
    if (model_.layout().workbook && QFileInfo(path).absoluteFilePath() == path_) {
        dialogs_->Inform(this, QStringLiteral("“%1”就是打开的工作簿,导出会替换其中的其他工作表,没有导出;"
                                              "请用“保存”写回这个工作簿,或另给一个文件名。")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const Outcome written = ExportXlsx(FilePath(path), model_.rows(), model_.results());
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message));
        return false;
    }
    // Written over the open workbook itself: this window's own change, not another program's.
    if (QFileInfo(path).absoluteFilePath() == path_) RememberDiskFile();
    statusBar()->showMessage(QStringLiteral("已导出 %1").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

bool ScheduleWindow::AskBookTitle() {
    BookTitle title = SavedBookTitle();
    if (!dialogs_->AskBookTitle(this, title)) return false;
    SaveBookTitle(title);
    return true;
}

bool ScheduleWindow::ExportPdf(const QString& path) {
    BookTitle title = SavedBookTitle();
    title.date = CurrentReportDate();
    if (!path_.isEmpty() && QFileInfo(path).absoluteFilePath() == path_) {
        dialogs_->Inform(this, QStringLiteral("“%1”就是打开的梁表,计算书没有写出;请另给一个文件名。")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    RemoveStaleTemporaryFiles(os::FollowLinks(FilePath(path)).parent_path());
    auto progress = dialogs_->StartProgress(this, QStringLiteral("正在写出 PDF 计算书..."));
    const Outcome written = WritePdfBook(FilePath(path), model_.rows(), title,
                                         [&](double done) { return progress->Update(done); });
    progress.reset();  // never left standing over a message
    if (written.cancelled) return false;
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message) + QStringLiteral("\n原来的文件没有改动。"));
        return false;
    }
    dialogs_->Inform(this, QStringLiteral("PDF 计算书已写出,共 %1 页:\n%2")
                               .arg(written.count)
                               .arg(QDir::toNativeSeparators(path)));
    return true;
}

void ScheduleWindow::PrintBook() {
    BookTitle title = SavedBookTitle();
    title.date = CurrentReportDate();
    PreviewAndPrintBook(this, model_.rows(), title);
}

bool ScheduleWindow::WriteBook(const QString& folder) {
    const ReportOptions options = SystemReportOptions();
    const std::filesystem::path root = FilePath(folder);
    auto progress = dialogs_->StartProgress(this, QStringLiteral("正在写出计算过程..."));
    // Nothing written lands on the schedule itself, wherever it is kept.
    FileClaims claims;
    if (!path_.isEmpty()) claims.Add(FilePath(path_));
    const Outcome beams = WriteBeamReports(
        root / std::filesystem::u8path("计算过程"), model_.rows(), model_.results(), options,
        [&](double done) { return progress->Update(done); }, &claims);
    progress.reset();  // never left standing over a message
    if (beams.cancelled) return false;
    if (!beams.ok) {
        dialogs_->Inform(this, FromUtf8(beams.message));
        return false;
    }
    const std::filesystem::path bookPath = root / std::filesystem::u8path("梁表计算书.txt");
    if (claims.Holds(bookPath)) {
        dialogs_->Inform(this,
                         QStringLiteral("“%1”就是打开的梁表,计算书没有写出;请另选一个文件夹。")
                             .arg(QDir::toNativeSeparators(PathText(bookPath))));
        return false;
    }
    const Outcome book = WriteCalculationBook(bookPath, model_.rows(), model_.results(), options);
    if (!book.ok) {
        dialogs_->Inform(this, FromUtf8(book.message));
        return false;
    }
    const long long skipped = static_cast<long long>(model_.rowCount()) - beams.count;
    dialogs_->Inform(this,
                     QStringLiteral("计算书已写出:\n%1\n各梁的计算过程 %2 份在“计算过程”文件夹中。")
                             .arg(QDir::toNativeSeparators(PathText(bookPath)))
                             .arg(beams.count) +
                         (skipped ? QStringLiteral("\n%1 行有错误,没有计算过程。").arg(skipped) : QString()));
    return true;
}

int ScheduleWindow::CurrentSourceRow() const {
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? proxy_->mapToSource(current).row() : -1;
}

std::vector<int> ScheduleWindow::SelectedSourceRows() const {
    std::set<int> rows;
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes())
        rows.insert(proxy_->mapToSource(index).row());
    if (rows.empty() && CurrentSourceRow() >= 0) rows.insert(CurrentSourceRow());
    return {rows.begin(), rows.end()};
}

void ScheduleWindow::InsertRows() {
    const std::vector<int> rows = SelectedSourceRows();
    const int at = rows.empty() ? model_.rowCount() : rows.front();
    const std::size_t count = std::max<std::size_t>(1, rows.size());
    undo_.push(new InsertRowsCommand(&model_, at, std::vector<ScheduleRow>(count), QStringLiteral("插入行")));
}

void ScheduleWindow::DeleteRows() {
    std::vector<int> rows = SelectedSourceRows();
    if (!rows.empty()) undo_.push(new RemoveRowsCommand(&model_, std::move(rows), QStringLiteral("删除行")));
}

void ScheduleWindow::DuplicateRows() {
    const std::vector<int> rows = SelectedSourceRows();
    if (rows.empty()) return;
    std::vector<ScheduleRow> copies;
    for (int r : rows) {
        copies.push_back(model_.rows()[static_cast<std::size_t>(r)]);
        copies.back().SetOrigin(0);  // a new beam: none of the workbook's rows is its own
    }
    undo_.push(new InsertRowsCommand(&model_, rows.back() + 1, std::move(copies), QStringLiteral("复制行")));
}

void ScheduleWindow::KeepSorted() {
    const QHeaderView* header = view_->horizontalHeader();
    if (header->sortIndicatorSection() < 0) return;
    // (sorting by the same column again would be taken as already done)
    const int section = header->sortIndicatorSection();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    proxy_->sort(-1);
    proxy_->sort(section, order);
}

void ScheduleWindow::RestoreOrder() {
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    proxy_->sort(-1);
}

}  // namespace quorvane
