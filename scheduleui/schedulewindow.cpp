#include "schedulewindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "book.h"
#include "commands.h"
#include "frozencolumn.h"
#include "materialmenu.h"
#include "printbook.h"
#include "qttext.h"
#include "recentfiles.h"
#include "scheduletable.h"
#include "sortproxy.h"
#include "xlsx.h"

namespace quorvane {
namespace {

const QString kProgramName = QStringLiteral("Quorvane 梁表");

}  // namespace

// The result, copied-load and error columns shown right after the mark, or
// where the file form has them (at the end).
// Each material column stands right after its unit weight.
void ScheduleWindow::PlaceResultColumns(QTableView* view, bool besideMark) {
    QHeaderView* header = view->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        header->moveSection(header->visualIndex(c), c);  // the file's order
    const int first = static_cast<int>(PositionOf({ColumnKind::Result, 0}));
    for (int k = 0; besideMark && first + k < static_cast<int>(kScheduleColumnCount); ++k)
        header->moveSection(header->visualIndex(first + k), 1 + k);
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        const int material = static_cast<int>(PositionOf({ColumnKind::Material, k}));
        const int weight = header->visualIndex(static_cast<int>(PositionOf({ColumnKind::Input, MaterialWeight(k)})));
        const int from = header->visualIndex(material);
        header->moveSection(from, from > weight ? weight + 1 : weight);
    }
    if (besideMark) view->scrollToTop();
}

// A material column is shown once the file has it or a row names a
// material; fresh: a new view, whose unused ones are hidden.
void ScheduleWindow::ShowMaterialColumns(QTableView* view, const ScheduleModel& model, bool fresh) {
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        const int column = static_cast<int>(PositionOf({ColumnKind::Material, k}));
        if (!fresh && !view->isColumnHidden(column)) continue;
        const auto& columns = model.layout().columns;
        const bool used =
            std::find(columns.begin(), columns.end(), ScheduleColumn{ColumnKind::Material, k}) != columns.end() ||
            std::any_of(model.rows().begin(), model.rows().end(),
                        [k](const ScheduleRow& row) { return !row.material(k).empty(); });
        view->setColumnHidden(column, !used);
    }
}

ScheduleWindow::ScheduleWindow(ScheduleDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      ownDialogs_(dialogs ? nullptr : std::make_unique<DesktopScheduleDialogs>()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      clipboard_(std::make_unique<ScheduleClipboard>(this, dialogs_)),
      tabs_(new QTabWidget(this)),
      finder_(this, dialogs_) {
    setObjectName(QStringLiteral("ScheduleWindow"));
    // Floors along the bottom, as Excel's sheet tabs; a single sheet shows none.
    tabs_->setObjectName(QStringLiteral("SheetTabs"));
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->setDocumentMode(true);
    tabs_->setTabBarAutoHide(true);
    tabs_->setAccessibleName(QStringLiteral("工作表"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { ShowSheet(index); });
    setCentralWidget(tabs_);
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    refusal_ = new QLabel(this);
    refusal_->setObjectName(QStringLiteral("Refusal"));
    refusal_->setStyleSheet(QStringLiteral("color: #b00020"));
    statusBar()->addWidget(refusal_, 2);

    AddSheet(QString(), {}, NewScheduleLayout());
    BuildMenus();
    view_->setCurrentIndex(proxy_->index(0, 0));
    UpdateTitle();
    resize(1200, 640);
    restoreGeometry(ScheduleSettings().value(QStringLiteral("geometry")).toByteArray());
    auto* autosave = new QTimer(this);
    connect(autosave, &QTimer::timeout, this, &ScheduleWindow::Autosave);
    autosave->start(60 * 1000);
}

// What a day's work set up stays for the next: the window's place and
// size, the columns' widths, the sort (the results' place is kept by its
// own menu item).
void ScheduleWindow::KeepViewSettings() const {
    QSettings settings = ScheduleSettings();
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    if (!view_) return;
    QVariantList widths;
    for (int c = 0; c < model_->columnCount(); ++c) widths << view_->columnWidth(c);
    settings.setValue(QStringLiteral("columnWidths"), widths);
    // By the column's name: a number would point elsewhere once the program has another input.
    const int sorted = proxy_->sortColumn();
    settings.setValue(QStringLiteral("sortColumn"),
                      sorted < 0 ? QString() : FromUtf8(ColumnField(ColumnAt(static_cast<std::size_t>(sorted)))));
    settings.setValue(QStringLiteral("sortDescending"), proxy_->sortOrder() == Qt::DescendingOrder);
}

// The widths kept from the last run (as many as the table has columns, or none).
void ScheduleWindow::ApplyKeptWidths(QTableView* view) const {
    const QVariantList widths = ScheduleSettings().value(QStringLiteral("columnWidths")).toList();
    if (widths.size() != view->model()->columnCount()) return;
    for (int c = 0; c < widths.size(); ++c)
        if (const int width = widths[c].toInt(); width >= 16 && width <= 2000) view->setColumnWidth(c, width);
}

// A file opens sorted as the last one was left (a sort is only how the rows are shown).
void ScheduleWindow::ApplyKeptSort(Sheet& sheet) const {
    const QSettings settings = ScheduleSettings();
    const std::optional<ScheduleColumn> kept = FindColumn(ToUtf8(settings.value(QStringLiteral("sortColumn")).toString()));
    if (!kept) return;
    const int column = static_cast<int>(PositionOf(*kept));
    const Qt::SortOrder order =
        settings.value(QStringLiteral("sortDescending")).toBool() ? Qt::DescendingOrder : Qt::AscendingOrder;
    sheet.proxy->sort(column, order);
    sheet.view->horizontalHeader()->setSortIndicator(column, order);
}

ScheduleWindow::Sheet& ScheduleWindow::AddSheet(const QString& name, std::vector<ScheduleRow> rows,
                                                  CsvLayout layout, std::vector<ShownResult> results) {
    Sheet& sheet = *MakeSheet(name, std::move(rows), std::move(layout), std::move(results));
    PlaceSheet(std::move(hidden_.back()), sheetCount());
    hidden_.pop_back();
    return sheet;
}

// A sheet made, not yet shown: kept with the sheets taken out.
// The captions: a click selects the column, as in Excel; sorting is on
// the caption's menu (and 视图), undone like any change.
void ScheduleWindow::SetUpCaptions(QTableView* view, QSortFilterProxyModel* proxy) {
    view->horizontalHeader()->setSortIndicatorShown(true);
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // the file's own order
    view->horizontalHeader()->setSectionsClickable(true);
    // (a click would turn the arrow over; it shows the sort there is, and only that)
    connect(view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [header = view->horizontalHeader(), proxy](int section, Qt::SortOrder order) {
                if (section != proxy->sortColumn() || (section >= 0 && order != proxy->sortOrder()))
                    header->setSortIndicator(proxy->sortColumn(), proxy->sortOrder());
            });
    view->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view->horizontalHeader(), &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
        const int column = view->horizontalHeader()->logicalIndexAt(at);
        if (column < 0 || view != view_) return;
        QMenu menu;
        menu.addAction(QStringLiteral("升序排序(&S)"), this, [this, column] { SortBy(column, Qt::AscendingOrder); });
        menu.addAction(QStringLiteral("降序排序(&O)"), this, [this, column] { SortBy(column, Qt::DescendingOrder); });
        menu.addAction(QStringLiteral("恢复原来的顺序(&R)"), this, &ScheduleWindow::RestoreOrder);
        menu.addSeparator();
        menu.addAction(QStringLiteral("选择整列(&C)"), this, [view, column] { view->selectColumn(column); });
        menu.exec(view->horizontalHeader()->mapToGlobal(at));
    });
}

// Each column as wide as its caption and what it shows (a result: all its
// digits), or as the last run left it.
void ScheduleWindow::SizeColumns(QTableView* view) const {
    const QFontMetrics metrics(view->horizontalHeader()->font());
    // Room for the sort arrow beside the longer caption line, so sorting never clips it.
    const int arrow = view->horizontalHeader()->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr,
                                                                     view->horizontalHeader());
    // A result shows all its digits: up to 15 significant, a sign and a point.
    const int resultWidth = view->fontMetrics().horizontalAdvance(QStringLiteral("-00.0000000000000")) + 16;
    for (int c = 0; c < view->model()->columnCount(); ++c) {
        int caption = 0;
        for (const QString& line :
             view->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split('\n'))
            caption = std::max(caption, metrics.horizontalAdvance(line));
        const ColumnKind kind = ColumnAt(static_cast<std::size_t>(c)).kind;
        // (the error column narrow enough to leave the inputs in sight; its tooltip has the whole message)
        // (a material's column wide enough for the standard's longer names)
        const int least = kind == ColumnKind::Error      ? 220
                          : kind == ColumnKind::Result   ? resultWidth
                          : kind == ColumnKind::Material ? view->fontMetrics().horizontalAdvance(
                                                               QStringLiteral("蒸压粉煤灰加气混凝土砌块")) + 16
                                                         : 56;
        view->setColumnWidth(c, std::max(least, caption + arrow + 16));
    }
    ApplyKeptWidths(view);
}

ScheduleWindow::Sheet* ScheduleWindow::MakeSheet(const QString& name, std::vector<ScheduleRow> rows, CsvLayout layout,
                                                 std::vector<ShownResult> results) {
    hidden_.push_back(std::make_unique<Sheet>());
    Sheet& sheet = *hidden_.back();
    sheet.name = name;
    auto* view = new ScheduleTable(tabs_);
    sheet.view = view;
    view->setItemDelegate(new ScheduleDelegate(view));
    ScheduleModel* model = new ScheduleModel(view);
    sheet.model = model;
    QUndoStack* undo = &sheet.undo;
    model->Reset(std::move(rows), std::move(layout), std::move(results));
    // A text typed into the empty row makes it a beam, and Enter then goes
    // on to the next empty row, wherever a sort put the new beam.
    auto typedNewBeam = std::make_shared<bool>(false);
    connect(model, &ScheduleModel::editRequested, this, [this, model, undo, typedNewBeam](const CellEdit& edit) {
        const bool added = model->IsEmptyRow(edit.row);
        *typedNewBeam = added;
        undo->push(new ChangeCellsCommand(model, model->WithMaterialWeights({edit}), added ? 1 : 0,
                                          added ? QStringLiteral("添加行") : QStringLiteral("编辑")));
        SayRefusal(*model, edit);
    });
    sheet.proxy = new ScheduleSortProxy(view);
    sheet.proxy->setSourceModel(model);
    view->setModel(sheet.proxy);
    SetUpTable(view, sheet.proxy, name);
    QTableView* frozen = (new FrozenColumn(view))->view();
    // Each view its own editors' delegate (a view warns of another's
    // editor), both ending an edit as a spreadsheet does.
    frozen->setItemDelegate(new ScheduleDelegate(frozen));
    for (QAbstractItemDelegate* editors : {view->itemDelegate(), frozen->itemDelegate()})
        ConnectEditors(view, editors, typedNewBeam);
    WatchSheet(sheet);
    PlaceResultColumns(view, resultsBeside_ && resultsBeside_->isChecked());
    ShowMaterialColumns(view, *model, true);
    view->hide();
    return &sheet;
}

// A sheet's table as the window shows it: captions, fixed rows, the
// context menu (with a unit weight's materials), spreadsheet editing.
void ScheduleWindow::SetUpTable(QTableView* view, QSortFilterProxyModel* proxy, const QString& name) {
    view->setObjectName(QStringLiteral("ScheduleTable"));
    SetUpCaptions(view, proxy);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
        if (view != view_ || !rowMenu_) return;
        // On a unit-weight cell, the standard's materials for it too.
        const QModelIndex cell = view->indexAt(at);
        QMenu* materials = cell.isValid() ? MaterialMenu(cell.column(), rowMenu_) : nullptr;
        QAction* added = materials ? rowMenu_->addMenu(materials) : nullptr;
        rowMenu_->exec(view->viewport()->mapToGlobal(at));
        if (added) rowMenu_->removeAction(added);
        delete materials;
    });
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    view->setWordWrap(false);
    view->setAccessibleName(name.isEmpty() ? QStringLiteral("梁表") : QStringLiteral("梁表 %1").arg(name));
    SizeColumns(view);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
}

// The editors of a view (the table's or its frozen column's): Ctrl+Enter
// fills, their own context menu, and Enter going one row down as in Excel.
void ScheduleWindow::ConnectEditors(QTableView* view, QAbstractItemDelegate* editors, std::shared_ptr<bool> typedNewBeam) {
    connect(static_cast<ScheduleDelegate*>(editors), &ScheduleDelegate::fillRequested, this,
            [this](const QString& text) { FillSelection(text); });
    connect(static_cast<ScheduleDelegate*>(editors), &ScheduleDelegate::editorMenuRequested, this,
            [this, editors](QLineEdit* editor, int column, const QPoint& at) { EditorMenu(editors, editor, column, at); });
    // (A new schedule is typed mark, Enter, mark, Enter, each into the empty row.)
    connect(editors, &QAbstractItemDelegate::closeEditor, this,
            [view, typedNewBeam](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                const bool added = std::exchange(*typedNewBeam, false);
                view->setFocus();  // the keyboard back on the table, wherever the editor was
                const QModelIndex current = view->currentIndex();
                if (hint != QAbstractItemDelegate::SubmitModelCache || !current.isValid()) return;
                const int last = view->model()->rowCount() - 1;
                const QModelIndex below = current.siblingAtRow(added ? last : current.row() + 1);
                if (below.isValid()) view->setCurrentIndex(below);
            });
}

// What the window follows of a sheet: the cursor's cell, its history, its counts, its sort.
void ScheduleWindow::WatchSheet(Sheet& sheet) {
    // What is wrong with the cell the cursor is on, said where it is read.
    connect(sheet.view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { SayCurrentRefusal(); });
    QUndoStack* undo = &sheet.undo;
    undoGroup_.addStack(undo);
    connect(undo, &QUndoStack::indexChanged, this, [this] {
        SayCurrentRefusal();
        clipboard_->Forget();  // the cut cells may have moved
        autosave_.Changed();
    });
    connect(undo, &QUndoStack::cleanChanged, this, &ScheduleWindow::UpdateTitle);
    ScheduleModel* model = sheet.model;
    connect(model, &QAbstractItemModel::dataChanged, this, &ScheduleWindow::UpdateCounts);
    // (a column a material pick showed goes again when the pick is undone)
    QTableView* view = sheet.view;
    connect(model, &ScheduleModel::materialsChanged, this, [view, model] { ShowMaterialColumns(view, *model, true); });
    connect(model, &QAbstractItemModel::rowsInserted, this, &ScheduleWindow::UpdateCounts);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ScheduleWindow::UpdateCounts);
    connect(model, &QAbstractItemModel::modelReset, this, &ScheduleWindow::UpdateCounts);
    // A reset (many rows deleted or brought back at once) keeps the table
    // sorted as shown; once the proxy has rebuilt its own rows.
    connect(sheet.proxy, &QAbstractItemModel::modelReset, this, &ScheduleWindow::KeepSorted);
}

void ScheduleWindow::PlaceSheet(std::unique_ptr<Sheet> sheet, int index) {
    const QSignalBlocker quiet(tabs_);
    tabs_->insertTab(index, sheet->view, sheet->name.isEmpty() ? QStringLiteral("梁表") : sheet->name);
    sheets_.insert(sheets_.begin() + index, std::move(sheet));
    if (sheets_.size() == 1) ShowSheet(0);
}

std::unique_ptr<ScheduleWindow::Sheet> ScheduleWindow::TakeSheet(int index) {
    CommitEdit();
    const QSignalBlocker quiet(tabs_);
    tabs_->removeTab(index);
    std::unique_ptr<Sheet> sheet = std::move(sheets_[static_cast<std::size_t>(index)]);
    sheets_.erase(sheets_.begin() + index);
    sheet->view->hide();
    return sheet;
}

int ScheduleWindow::IndexOf(const Sheet* sheet) const {
    for (int i = 0; i < sheetCount(); ++i)
        if (sheets_[static_cast<std::size_t>(i)].get() == sheet) return i;
    return -1;
}

// The sheet among those taken out, back in its place.
void ScheduleWindow::Restore(Sheet* sheet, int index) {
    for (auto it = hidden_.begin(); it != hidden_.end(); ++it) {
        if (it->get() != sheet) continue;
        std::unique_ptr<Sheet> owned = std::move(*it);
        hidden_.erase(it);
        PlaceSheet(std::move(owned), std::min(index, sheetCount()));
        ShowSheet(IndexOf(sheet));
        return;
    }
}

void ScheduleWindow::Hide(Sheet* sheet) {
    const int index = IndexOf(sheet);
    if (index < 0) return;
    hidden_.push_back(TakeSheet(index));
    ShowSheet(std::min(index, sheetCount() - 1));
}

// Excel's rules for a sheet's name, and none twice (letter case aside).
QString ScheduleWindow::SheetNameRefusal(const QString& name, const Sheet* except) const {
    if (name.trimmed().isEmpty()) return QStringLiteral("工作表的名称不能为空。");
    if (name.size() > 31) return QStringLiteral("工作表的名称最多 31 个字符。");
    for (const QChar c : QStringLiteral(":\\/?*[]"))
        if (name.contains(c)) return QStringLiteral("工作表的名称不能含有 : \\ / ? * [ ] 这些字符。");
    if (name.startsWith('\'') || name.endsWith('\''))
        return QStringLiteral("工作表的名称不能以单引号开头或结尾。");
    QStringList taken;
    for (const auto& sheet : sheets_)
        if (sheet.get() != except) taken << sheet->name;
    // The workbook's other sheets (notes and the like) keep their names too.
    for (const auto& sheet : sheets_) {
        const auto& origin = sheet->model->layout().workbook;
        if (!origin) continue;
        for (std::size_t i = 0; i < origin->sheetNames.size(); ++i) {
            const bool floor = std::any_of(sheets_.begin(), sheets_.end(), [&](const auto& s) {
                const auto& o = s->model->layout().workbook;
                return o && o->sheet == i;
            });
            if (!floor) taken << FromUtf8(origin->sheetNames[i]);
        }
        break;
    }
    for (const QString& other : taken)
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            return QStringLiteral("已经有名为“%1”的工作表。").arg(other);
    return {};
}

void ScheduleWindow::InsertSheet() {
    CommitEdit();
    QString name;
    for (int n = 1; name.isEmpty() || !SheetNameRefusal(name, nullptr).isEmpty(); ++n) name = QStringLiteral("Sheet%1").arg(n);
    const int at = currentSheet() + 1;
    Sheet* sheet = MakeSheet(name, {}, NewScheduleLayout());
    // On the new sheet's own history: Ctrl+Z right after takes it away again.
    sheet->undo.push(new FunctionCommand(
        QStringLiteral("插入工作表"), [this, sheet, at] { Restore(sheet, at); }, [this, sheet] { Hide(sheet); }));
    view_->setCurrentIndex(proxy_->index(0, 0));
}

bool ScheduleWindow::DeleteSheet() {
    CommitEdit();
    if (sheetCount() < 2) {
        dialogs_->Inform(this, QStringLiteral("工作簿至少要有一个工作表,“%1”没有删除。").arg(sheetName(currentSheet())));
        return false;
    }
    const int at = currentSheet();
    Sheet* gone = sheets_[static_cast<std::size_t>(at)].get();
    Sheet* shown = sheets_[static_cast<std::size_t>(at > 0 ? at - 1 : 1)].get();
    // On the history of the sheet shown next: Ctrl+Z there brings it back.
    shown->undo.push(new FunctionCommand(
        QStringLiteral("删除工作表"),
        [this, gone, shown] {
            Hide(gone);
            ShowSheet(IndexOf(shown));
        },
        [this, gone, at] { Restore(gone, at); }));
    return true;
}

bool ScheduleWindow::RenameSheet(const QString& name) {
    CommitEdit();
    Sheet* sheet = sheets_[static_cast<std::size_t>(currentSheet())].get();
    if (name == sheet->name) return true;
    if (const QString refusal = SheetNameRefusal(name, sheet); !refusal.isEmpty()) {
        dialogs_->Inform(this, refusal);
        return false;
    }
    const QString before = sheet->name;
    const auto name_ = [this, sheet](const QString& text) {
        sheet->name = text;
        const int index = IndexOf(sheet);
        if (index >= 0) tabs_->setTabText(index, text);
        sheet->view->setAccessibleName(QStringLiteral("梁表 %1").arg(text));
    };
    sheet->undo.push(new FunctionCommand(
        QStringLiteral("重命名工作表"), [name_, name] { name_(name); }, [name_, before] { name_(before); }));
    return true;
}

void ScheduleWindow::MoveSheet(int delta) {
    CommitEdit();
    const int from = currentSheet(), to = from + delta;
    if (to < 0 || to >= sheetCount()) return;
    Sheet* sheet = sheets_[static_cast<std::size_t>(from)].get();
    const auto place = [this, sheet](int index) {
        const int now = IndexOf(sheet);
        if (now < 0 || now == index) return;
        std::unique_ptr<Sheet> owned = TakeSheet(now);
        PlaceSheet(std::move(owned), index);
        ShowSheet(index);
    };
    sheet->undo.push(new FunctionCommand(
        delta < 0 ? QStringLiteral("左移工作表") : QStringLiteral("右移工作表"), [place, to] { place(to); },
        [place, from] { place(from); }));
}

void ScheduleWindow::RemoveSheets() {
    clipboard_->Forget();
    const QSignalBlocker quiet(tabs_);
    while (tabs_->count() > 0) tabs_->removeTab(0);
    for (auto& sheet : hidden_) sheets_.push_back(std::move(sheet));
    hidden_.clear();
    for (auto& sheet : sheets_) {
        undoGroup_.removeStack(&sheet->undo);
        sheet->model->disconnect(this);
        sheet->proxy->disconnect(this);
        sheet->view->itemDelegate()->disconnect(this);
        sheet->view->hide();
        sheet->view->deleteLater();
    }
    sheets_.clear();
    model_ = nullptr;
    proxy_ = nullptr;
    view_ = nullptr;
    undo_ = nullptr;
}

QString ScheduleWindow::sheetName(int index) const { return sheets_.at(static_cast<std::size_t>(index))->name; }

int ScheduleWindow::currentSheet() const { return tabs_->currentIndex(); }

// Edits of existing beams, and of the empty row (which becomes a beam).
void ScheduleWindow::PushEdits(std::vector<CellEdit> edits, const QString& text) {
    if (edits.empty()) return;
    const bool grows = std::any_of(edits.begin(), edits.end(), [this](const CellEdit& e) { return model_->IsEmptyRow(e.row); });
    undo_->push(new ChangeCellsCommand(model_, model_->WithMaterialWeights(std::move(edits)), grows ? 1 : 0, text));
}

void ScheduleWindow::FillDown() {
    CommitEdit();
    PushEdits(FillEdits(Shown(), true), QStringLiteral("向下填充"));
}

void ScheduleWindow::FillRight() {
    CommitEdit();
    PushEdits(FillEdits(Shown(), false), QStringLiteral("向右填充"));
}

void ScheduleWindow::FillSelection(const QString& text) {
    PushEdits(FillSelectionEdits(Shown(), ToUtf8(text)), QStringLiteral("填充"));
}

bool ScheduleWindow::Find() {
    CommitEdit();
    return finder_.Find(Shown());
}

bool ScheduleWindow::FindNext() {
    CommitEdit();
    return finder_.FindNext(Shown());
}

int ScheduleWindow::Replace() {
    CommitEdit();
    int count = 0;
    std::vector<CellEdit> edits = finder_.Replace(Shown(), count);
    if (edits.empty()) return 0;
    PushEdits(std::move(edits), QStringLiteral("替换"));
    statusBar()->showMessage(QStringLiteral("替换了 %1 处。").arg(count), 5000);
    return count;
}

bool ScheduleWindow::GoToMark() {
    CommitEdit();
    return finder_.GoToMark(Shown());
}

void ScheduleWindow::EditorMenu(QAbstractItemDelegate* delegate, QLineEdit* editor, int column, const QPoint& at) {
    ShowEditorMenu(delegate, editor, [this, column](QWidget* parent) { return MaterialMenu(column, parent); }, at);
}

// Picking sets the weight and its material in the selected rows of that
// column (the material's column shown while a row names one).
QMenu* ScheduleWindow::MaterialMenu(int column, QWidget* parent) {
    return MakeMaterialMenu(column, parent, [this, column](std::size_t k, const Material& m, const QString& name) {
        const int weight = static_cast<int>(PositionOf({ColumnKind::Input, MaterialWeight(k)}));
        const int material = static_cast<int>(PositionOf({ColumnKind::Material, k}));
        std::vector<CellEdit> edits;
        const ShownTable table = Shown();
        for (const QModelIndex& index : table.SelectedCells()) {
            if (index.column() != column) continue;
            edits.push_back({table.ModelRow(index.row()), weight, m.high});
            edits.push_back({table.ModelRow(index.row()), material, ToUtf8(name)});
        }
        PushEdits(std::move(edits), QStringLiteral("材料 %1").arg(name));
    });
}

void ScheduleWindow::AppendBeam(const HandedBeam& beam) {
    CommitEdit();
    ScheduleRow row;
    row.SetMark(beam.mark);
    for (std::size_t i = 0; i < kInputCount; ++i) row.SetText(i, beam.texts[i]);
    for (std::size_t k = 0; k < kMaterialCount; ++k) row.SetMaterial(k, beam.materials[k]);
    const int at = model_->beamCount();
    undo_->push(new InsertRowsCommand(model_, at, {std::move(row)}, QStringLiteral("从计算器添加")));
    ShowMaterialColumns(view_, *model_, false);
    const QModelIndex added = proxy_->mapFromSource(model_->index(at, 0));
    view_->selectionModel()->setCurrentIndex(added, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(added);
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    statusBar()->showMessage(QStringLiteral("已从计算器添加一根梁 (第 %1 行)").arg(at + 1), 5000);
}

bool ScheduleWindow::OpenInCalculator() {
    CommitEdit();
    const int row = CurrentSourceRow();
    if (row < 0 || model_->IsEmptyRow(row)) {
        dialogs_->Inform(this, QStringLiteral("请先选中一根梁。"));
        return false;
    }
    const ScheduleRow& beam = model_->rows()[static_cast<std::size_t>(row)];
    HandedBeam handed;
    handed.mark = std::string(beam.mark());
    for (std::size_t i = 0; i < kInputCount; ++i) handed.texts[i] = std::string(beam.text(i));
    for (std::size_t k = 0; k < kMaterialCount; ++k) handed.materials[k] = std::string(beam.material(k));
#ifdef Q_OS_WIN
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane.exe");
#else
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane");
#endif
    QString reason;
    if (!SendBeam(Inbox::Calculator, handed, program, &reason)) {
        dialogs_->Inform(this, QStringLiteral("没有在计算器中打开:") + reason);
        return false;
    }
    statusBar()->showMessage(QStringLiteral("已在计算器中打开 %1").arg(FromUtf8(handed.mark)), 5000);
    return true;
}

// The clipboard's commands on the sheet shown (an edit in progress committed first).
void ScheduleWindow::CopySelection() {
    CommitEdit();
    clipboard_->Copy(Shown());
}

void ScheduleWindow::CutSelection() {
    CommitEdit();
    clipboard_->Cut(Shown());
}

// The text flavour places the cells; where another spreadsheet also gave
// its HTML, a number shown rounded there comes in at its full value.
bool ScheduleWindow::Paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const QString html = mime && mime->hasHtml() ? mime->html() : QString();
    return PasteText(QGuiApplication::clipboard()->text(), html);
}

bool ScheduleWindow::PasteText(const QString& text, const QString& html) {
    return clipboard_->Paste(Shown(), *undo_, text, html);
}

void ScheduleWindow::ClearSelection() { clipboard_->Clear(Shown(), *undo_); }

// The cell being typed into, committed as leaving it would commit it: an
// action that reads or replaces the table never misses a typed value.
void ScheduleWindow::CommitEdit() {
    if (!view_) return;
    QWidget* editor = QApplication::focusWidget();
    QWidget* owner = editor ? editor->parentWidget() : nullptr;
    while (owner && !qobject_cast<QAbstractItemView*>(owner)) owner = owner->parentWidget();
    auto* table = qobject_cast<QAbstractItemView*>(owner);
    if (!table || table->indexWidget(table->currentIndex()) != editor ||
        (table != view_ && !view_->isAncestorOf(table)))
        return;
    QAbstractItemDelegate* delegate = table->itemDelegate();
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ScheduleWindow::ShowSheet(int index) {
    if (index < 0 || index >= sheetCount()) return;
    if (index != currentSheet()) CommitEdit();
    Sheet& sheet = *sheets_[static_cast<std::size_t>(index)];
    model_ = sheet.model;
    proxy_ = sheet.proxy;
    view_ = sheet.view;
    undo_ = &sheet.undo;
    undoGroup_.setActiveStack(undo_);
    if (tabs_->currentIndex() != index) {
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentIndex(index);
    }
    view_->setFocus();
    UpdateCounts();
    typedRefusal_ = {-1, -1};  // (another sheet's)
    SayCurrentRefusal();
}

// A typed value the row cannot compute with: the cell is shaded and says
// why in its tooltip; the status bar says it too, and a screen reader is
// told at once (an alert), not left to find the shade.
void ScheduleWindow::SayRefusal(const ScheduleModel& model, const CellEdit& edit) {
    if (&model != model_ || !RefusalOf(edit.row, edit.column, nullptr)) return;
    typedRefusal_ = {edit.row, edit.column};
    SayCurrentRefusal();
    QAccessibleEvent alert(refusal_, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

// Whether the cell (model row and column) holds a refused text, and what is said of it.
bool ScheduleWindow::RefusalOf(int row, int column, QString* said) const {
    if (row < 0 || model_->IsEmptyRow(row) || column < 0 || column >= model_->columnCount()) return false;
    const ScheduleColumn kind = ColumnAt(static_cast<std::size_t>(column));
    if (kind.kind != ColumnKind::Input || !model_->results()[static_cast<std::size_t>(row)].IsRefused(kind.index))
        return false;
    const ScheduleRow& beam = model_->rows()[static_cast<std::size_t>(row)];
    if (said)
        *said = QStringLiteral("%1 (%2):%3")
                    .arg(FromUtf8(ColumnCaption(kind)))
                    .arg(FromUtf8(beam.mark()))
                    .arg(FromUtf8(InputRefusal(kind.index, beam.text(kind.index))));
    return true;
}

// The status bar: what is wrong with the cell the cursor is on, else with
// the last one typed wrong while it still is; else nothing.
void ScheduleWindow::SayCurrentRefusal() {
    if (!view_ || !refusal_) return;
    const QModelIndex current = view_->currentIndex();
    QString said;
    if (!(current.isValid() && RefusalOf(proxy_->mapToSource(current).row(), current.column(), &said)) &&
        !RefusalOf(typedRefusal_.first, typedRefusal_.second, &said))
        typedRefusal_ = {-1, -1};
    refusal_->setText(said);
}

void ScheduleWindow::UpdateCounts() {
    if (!model_) return;
    std::size_t errors = 0;
    for (const ShownResult& r : model_->results()) errors += r.ok() ? 0 : 1;
    status_->setText(QStringLiteral("%1 根梁").arg(model_->beamCount()) +
                     (errors ? QStringLiteral(",%1 行有错误").arg(errors) : QString()));
}

bool ScheduleWindow::AnyUnsaved() const {
    return std::any_of(sheets_.begin(), sheets_.end(), [](const auto& sheet) { return !sheet->undo.isClean(); });
}

ScheduleWindow::~ScheduleWindow() = default;

void ScheduleWindow::BuildMenus() {
    BuildFileMenu();
    BuildEditMenu();
    BuildSheetMenu();
    BuildViewMenu();
    // Every item's keys work wherever the keyboard is in the window.
    for (QAction* action : menuBar()->actions()) addActions(action->menu()->actions());
}

void ScheduleWindow::BuildFileMenu() {
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

}

void ScheduleWindow::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    QAction* undo = undoGroup_.createUndoAction(this, QStringLiteral("撤销"));
    undo->setShortcuts(QKeySequence::Undo);
    // Rows an undo brings back go to their places in a sorted table, so the
    // table is again as it was.
    connect(undo, &QAction::triggered, this, &ScheduleWindow::KeepSorted);
    QAction* redo = undoGroup_.createRedoAction(this, QStringLiteral("重做"));
    // Ctrl+Y as in Excel, wherever the platform's redo keys lack it; a key
    // listed twice would make the shortcut ambiguous and dead.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setShortcuts(redoKeys);
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    edit->addAction(QStringLiteral("剪切(&T)"), QKeySequence::Cut, this, &ScheduleWindow::CutSelection);
    edit->addAction(QStringLiteral("复制(&C)"), QKeySequence::Copy, this, [this] {
        CopySelection();
        clipboard_->Forget();
    });
    edit->addAction(QStringLiteral("粘贴(&P)"), QKeySequence::Paste, this, [this] { Paste(); });
    edit->addAction(QStringLiteral("清除内容(&L)"), QKeySequence::Delete, this,
                    &ScheduleWindow::ClearSelection);
    edit->addSeparator();
    // Excel's fill keys.
    edit->addAction(QStringLiteral("向下填充(&W)"), QKeySequence(Qt::CTRL | Qt::Key_D), this,
                    &ScheduleWindow::FillDown);
    edit->addAction(QStringLiteral("向右填充(&G)"), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                    &ScheduleWindow::FillRight);
    edit->addSeparator();
    // Ctrl+Shift+= and Ctrl+- as in Excel (Ctrl++ on the number pad), and the keys this window had.
    // (Ctrl++ is what Ctrl+Shift+= sends: the shortcut map drops the Shift
    // that makes the +; a second entry for the same keys would make both dead.)
    QAction* insertRows = edit->addAction(QStringLiteral("插入行(&I)"), this, &ScheduleWindow::InsertRows);
    insertRows->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    QAction* deleteRows = edit->addAction(QStringLiteral("删除行(&D)"), this, &ScheduleWindow::DeleteRows);
    deleteRows->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Delete)});
    edit->addAction(QStringLiteral("复制行(&U)"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), this,
                    &ScheduleWindow::DuplicateRows);
    edit->addSeparator();
    edit->addAction(QStringLiteral("查找(&F)..."), QKeySequence(Qt::CTRL | Qt::Key_F), this, [this] { Find(); });
    QAction* findNext = edit->addAction(QStringLiteral("查找下一个(&N)"), this, [this] { FindNext(); });
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    edit->addAction(QStringLiteral("替换(&H)..."), QKeySequence(Qt::CTRL | Qt::Key_H), this, [this] { Replace(); });
    edit->addAction(QStringLiteral("定位梁号(&J)..."), QKeySequence(Qt::CTRL | Qt::Key_G), this,
                    [this] { GoToMark(); });
    edit->addSeparator();
    QAction* calculator =
        edit->addAction(QStringLiteral("在计算器中打开(&K)"), this, [this] { OpenInCalculator(); });
    calculator->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    // The row commands where the right button is, as in a spreadsheet.
    rowMenu_ = new QMenu(this);
    for (QAction* action : edit->actions())
        if (!action->isSeparator() && action != undo && action != redo) rowMenu_->addAction(action);
}

void ScheduleWindow::BuildSheetMenu() {
    // The floors: as Excel's sheet tabs do, from this menu or a tab's own.
    QMenu* sheets = menuBar()->addMenu(QStringLiteral("工作表(&W)"));
    sheets->setObjectName(QStringLiteral("SheetMenu"));
    sheets->addAction(QStringLiteral("插入工作表(&I)"), this, &ScheduleWindow::InsertSheet);
    sheets->addAction(QStringLiteral("删除工作表(&D)"), this, [this] { DeleteSheet(); });
    sheets->addAction(QStringLiteral("重命名工作表(&R)..."), this, [this] {
        const QString name = dialogs_->AskSheetName(this, sheetName(currentSheet()));
        if (!name.isEmpty()) RenameSheet(name);
    });
    sheets->addAction(QStringLiteral("左移(&L)"), this, [this] { MoveSheet(-1); });
    sheets->addAction(QStringLiteral("右移(&M)"), this, [this] { MoveSheet(1); });
    tabs_->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tabs_->tabBar(), &QWidget::customContextMenuRequested, this, [this, sheets](const QPoint& at) {
        const int tab = tabs_->tabBar()->tabAt(at);
        if (tab >= 0) ShowSheet(tab);
        sheets->exec(tabs_->tabBar()->mapToGlobal(at));
    });
}

void ScheduleWindow::BuildViewMenu() {
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    viewMenu->addAction(QStringLiteral("按当前列升序排序(&S)"), this, [this] {
        if (view_->currentIndex().isValid()) SortBy(view_->currentIndex().column(), Qt::AscendingOrder);
    });
    viewMenu->addAction(QStringLiteral("按当前列降序排序(&D)"), this, [this] {
        if (view_->currentIndex().isValid()) SortBy(view_->currentIndex().column(), Qt::DescendingOrder);
    });
    viewMenu->addAction(QStringLiteral("恢复原来的顺序(&O)"), this, &ScheduleWindow::RestoreOrder);
    // The loads beside the mark, where they are read against their beam.
    QAction* beside = viewMenu->addAction(QStringLiteral("结果列放在梁号旁边(&B)"));
    beside->setObjectName(QStringLiteral("ResultsBesideMark"));
    beside->setCheckable(true);
    connect(beside, &QAction::toggled, this, [this](bool on) {
        ScheduleSettings().setValue(QStringLiteral("resultsBesideMark"), on);
        for (const auto& sheet : sheets_) PlaceResultColumns(sheet->view, on);
    });
    resultsBeside_ = beside;
    beside->setChecked(ScheduleSettings().value(QStringLiteral("resultsBesideMark"), true).toBool());
    for (const auto& sheet : sheets_) PlaceResultColumns(sheet->view, beside->isChecked());
    viewMenu->addSeparator();
    // Ctrl+PgDn / Ctrl+PgUp move between floors, as between Excel's sheets.
    QAction* next = viewMenu->addAction(QStringLiteral("下一个工作表(&N)"), this, [this] {
        if (currentSheet() + 1 < sheetCount()) ShowSheet(currentSheet() + 1);
    });
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    QAction* previous = viewMenu->addAction(QStringLiteral("上一个工作表(&P)"), this, [this] {
        if (currentSheet() > 0) ShowSheet(currentSheet() - 1);
    });
    previous->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
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
    setWindowModified(AnyUnsaved());
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
    CommitEdit();
    if (!AnyUnsaved()) return true;
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

void ScheduleWindow::Autosave() {
    if (!AnyUnsaved()) {
        autosave_.Discard();
        return;
    }
    std::vector<AutosaveCopy::SheetView> sheets;
    for (int i = 0; i < sheetCount(); ++i) {
        const Sheet& sheet = *sheets_[static_cast<std::size_t>(i)];
        sheets.push_back({sheet.name.isEmpty() ? tabs_->tabText(i) : sheet.name, &sheet.model->rows(),
                          &sheet.model->results()});
    }
    autosave_.Write(path_, sheets);
}

// The newest copy the user takes, at most one; the others offered after it go.
bool ScheduleWindow::OfferRecovery() {
    bool recovered = false;
    autosave_.ForEachLeft([this, &recovered](const AutosaveCopy::LeftCopy& copy) {
        const QString name = copy.path.isEmpty() ? QStringLiteral("未命名的梁表") : QFileInfo(copy.path).fileName();
        if (recovered || copy.names.isEmpty() || !dialogs_->AskRecover(this, name, copy.when) || !MaybeSave())
            return AutosaveCopy::Left::Gone;
        std::vector<ScheduleSheet> read;
        if (!copy.ReadSheets(read)) {
            dialogs_->Inform(this, QStringLiteral("自动保存的副本读不出来,没有恢复。"));
            return AutosaveCopy::Left::Kept;
        }
        TakeRecovered(std::move(read), copy.path);
        recovered = true;
        Autosave();  // the work's own copy before the left one goes: a second crash loses nothing
        return AutosaveCopy::Left::Gone;
    });
    return recovered;
}

void ScheduleWindow::TakeRecovered(std::vector<ScheduleSheet> sheets, const QString& path) {
    RemoveSheets();
    for (ScheduleSheet& sheet : sheets) {
        Sheet& added = AddSheet(sheets.size() > 1 ? FromUtf8(sheet.name) : QString(), std::move(sheet.rows),
                                NewScheduleLayout(), std::move(sheet.results));
        added.undo.resetClean();  // recovered work is unsaved work
    }
    ShowSheet(0);
    path_.clear();
    RememberDiskFile();
    UpdateTitle();
    statusBar()->showMessage(
        QStringLiteral("已恢复上次没有保存的梁表%1,请另存。")
            .arg(path.isEmpty() ? QString() : QStringLiteral(" (原来的文件:%1)").arg(QDir::toNativeSeparators(path))),
        15000);
}

void ScheduleWindow::closeEvent(QCloseEvent* event) {
    if (!MaybeSave()) {
        event->ignore();
        return;
    }
    KeepViewSettings();
    autosave_.End();  // saved, or given up when asked
    event->accept();
}

bool ScheduleWindow::NewSchedule() {
    if (!MaybeSave()) return false;
    autosave_.Discard();
    RemoveSheets();
    AddSheet(QString(), {}, NewScheduleLayout());
    view_->setCurrentIndex(proxy_->index(0, 0));  // typing goes straight into the first mark
    path_.clear();
    RememberDiskFile();
    UpdateTitle();
    return true;
}

bool ScheduleWindow::OpenFile(const QString& path) { return MaybeSave() && Load(path); }

// path is the open schedule's file: by the file itself, whatever the
// spelling (a link to it, another case on Windows), as the command line decides.
bool ScheduleWindow::IsOpenFile(const QString& path) const {
    if (path_.isEmpty()) return false;
    FileClaims open;
    open.Add(FilePath(path_));
    return open.Holds(FilePath(path));
}

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
    std::vector<ScheduleSheet> sheets;
    auto progress =
        dialogs_->StartProgress(this, QStringLiteral("正在打开 %1...").arg(QFileInfo(path).fileName()));
    const Outcome read = ReadScheduleSheets(FilePath(path), TextEncoding::Auto, sheets,
                                            [&](double done) { return progress->Update(done); });
    progress.reset();  // never left standing over a message
    if (read.cancelled) return false;
    if (!read.ok) {
        dialogs_->Inform(this, FromUtf8(read.message));
        return false;
    }
    autosave_.Discard();
    RemoveSheets();
    for (ScheduleSheet& sheet : sheets)
        ApplyKeptSort(AddSheet(FromUtf8(sheet.name), std::move(sheet.rows), std::move(sheet.layout),
                               std::move(sheet.results)));
    ShowSheet(0);
    view_->setCurrentIndex(proxy_->index(0, 0));
    path_ = QFileInfo(path).absoluteFilePath();
    RememberDiskFile();
    AddRecent(path_);
    UpdateTitle();
    if (!read.warnings.empty()) dialogs_->Inform(this, FromUtf8(read.warnings));
    return true;
}

bool ScheduleWindow::SaveAs(const QString& path) {
    CommitEdit();
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
    const bool fromWorkbook = std::any_of(sheets_.begin(), sheets_.end(),
                                          [](const auto& sheet) { return sheet->model->layout().workbook != nullptr; });
    if (workbook && (fromWorkbook || sheetCount() > 1)) {
        if (!SaveWorkbook(path)) return false;
    } else if (sheetCount() > 1) {
        // (CSV is one sheet; the floors would be dropped.)
        dialogs_->Inform(this, QStringLiteral("梁表有 %1 个工作表 (楼层),CSV 文件只能放一个,没有保存。\n"
                                              "请另存为 Excel 工作簿 (.xlsx)。")
                                   .arg(sheetCount()));
        return false;
    } else {
        const bool withResults =
            saveResults_->isChecked() && (!undo_->isClean() || QFileInfo(path).absoluteFilePath() != path_);
        CsvLayout layout = SavedLayout(model_->layout(), model_->rows(), withResults);
        Outcome written;
        if (workbook) {
            written = ExportXlsx(FilePath(path), model_->rows(), model_->results());
        } else {
            written = SaveScheduleFile(FilePath(path), layout, model_->rows(), model_->results());
            if (written.ok) {
                layout.workbook.reset();  // a CSV now: its rows no longer name a sheet's
                model_->SetLayout(layout);
            }
        }
        if (!written.ok) {
            dialogs_->Inform(this, FromUtf8(written.message) + QStringLiteral("\n原来的文件没有改动。"));
            return false;
        }
    }
    path_ = QFileInfo(path).absoluteFilePath();
    RememberDiskFile();
    for (const auto& sheet : sheets_) sheet->undo.setClean();
    autosave_.Discard();
    AddRecent(path_);
    UpdateTitle();
    statusBar()->showMessage(QStringLiteral("已保存 %1").arg(QDir::toNativeSeparators(path_)), 5000);
    return true;
}

// A save into a workbook in the making: its bytes as they grow, each floor
// as it will be written (its layout and, once saved, its rows' ids), what
// it cannot keep, and whether the floors themselves were arranged.
struct ScheduleWindow::WorkbookWrite {
    struct Floor {
        Sheet* sheet;
        CsvLayout layout;
        std::vector<std::uint32_t> ids;
        bool saved = false;
    };
    bool withResults = false;
    std::shared_ptr<const std::string> bytes;
    std::vector<Floor> floors;
    std::string losses;
    bool arranged = false;
    ArrangedBook book;
};

// Into the workbook the sheets came from, each floor's changes in its own
// sheet and every other part as it was; floors added, renamed, moved or
// taken out are arranged after; what cannot be kept is asked first.
bool ScheduleWindow::SaveWorkbook(const QString& path) {
    WorkbookWrite write;
    write.withResults = saveResults_->isChecked();
    // A sheet of a CSV file or a new schedule has no name yet: in a workbook, the tab's.
    for (const auto& sheet : sheets_)
        if (sheet->name.isEmpty()) sheet->name = tabs_->tabText(IndexOf(sheet.get()));
    for (const auto& sheet : sheets_)
        if (sheet->model->layout().workbook) write.bytes = sheet->model->layout().workbook->package;
    if (!WriteFloors(write, QFileInfo(path).absoluteFilePath() != path_) || !ArrangeFloors(write)) return false;
    if (const std::optional<bool> answered = AskAboutLosses(path, write.losses)) return *answered;
    const Outcome written = ReplaceFileAtomically(FilePath(path), *write.bytes, "无法保存梁表文件");
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message) + QStringLiteral("\n原来的文件没有改动。"));
        return false;
    }
    TakeWrittenWorkbook(write);
    return true;
}

// Each floor read from the workbook with changes (or all, into another
// file) written into its sheet, one after another into the same bytes.
bool ScheduleWindow::WriteFloors(WorkbookWrite& write, bool newPath) {
    for (const auto& sheet : sheets_) {
        WorkbookWrite::Floor floor{sheet.get(), SavedLayout(sheet->model->layout(), sheet->model->rows(), write.withResults),
                                   {}, false};
        if (floor.layout.workbook && (!sheet->undo.isClean() || newPath)) {
            auto origin = std::make_shared<WorkbookOrigin>(*floor.layout.workbook);
            origin->package = write.bytes;  // with the floors saved before it
            floor.layout.workbook = origin;
            WorkbookSave save;
            const Outcome made = WorkbookFileBytes(floor.layout, sheet->model->rows(), sheet->model->results(), save);
            if (!made.ok) {
                dialogs_->Inform(this, FromUtf8(made.message) + QStringLiteral("\n原来的文件没有改动。"));
                return false;
            }
            write.losses += save.losses;
            write.bytes = save.bytes;
            floor.layout.workbook = save.origin;
            floor.ids = std::move(save.ids);
            floor.saved = true;
        }
        write.floors.push_back(std::move(floor));
    }
    return true;
}

// The floors themselves, when any is new, renamed, moved or taken out.
bool ScheduleWindow::ArrangeFloors(WorkbookWrite& write) {
    std::vector<std::size_t> dropped;
    for (const auto& sheet : hidden_)
        if (const auto& origin = sheet->model->layout().workbook) dropped.push_back(origin->sheet);
    write.arranged = !write.bytes || !dropped.empty();
    long last = -1;
    for (const WorkbookWrite::Floor& f : write.floors) {
        const auto& origin = f.layout.workbook;
        if (!origin) {
            write.arranged = true;
            continue;
        }
        write.arranged = write.arranged || static_cast<long>(origin->sheet) <= last ||
                         ToUtf8(f.sheet->name) != origin->sheetNames.at(origin->sheet);
        last = static_cast<long>(origin->sheet);
    }
    if (!write.arranged) return true;
    std::vector<FloorInBook> inBook;
    for (const WorkbookWrite::Floor& f : write.floors) {
        const auto& origin = f.layout.workbook;
        inBook.push_back({origin ? std::optional<std::size_t>(origin->sheet) : std::nullopt, ToUtf8(f.sheet->name),
                          &f.layout, &f.sheet->model->rows(), &f.sheet->model->results()});
    }
    const Outcome made = ArrangeWorkbookFloors(write.bytes, inBook, dropped, write.book);
    if (!made.ok) {
        dialogs_->Inform(this, FromUtf8(made.message) + QStringLiteral("\n原来的文件没有改动。"));
        return false;
    }
    write.losses += write.book.losses;
    write.bytes = write.book.bytes;
    return true;
}

// What the save cannot keep, asked about: nothing when the save goes on,
// else what came of it (cancelled, or saved as another file).
std::optional<bool> ScheduleWindow::AskAboutLosses(const QString& path, const std::string& losses) {
    if (losses.empty()) return std::nullopt;
    switch (dialogs_->AskWorkbookLosses(this, QFileInfo(path).fileName(), FromUtf8(losses))) {
        case LossAnswer::SaveAs: {
            const QString other = dialogs_->SavePath(
                this, DefaultFolder() + "/" + QFileInfo(path).completeBaseName() + QStringLiteral("-副本.xlsx"),
                QStringLiteral("Excel 工作簿 (*.xlsx)"));
            if (other.isEmpty() || QFileInfo(other).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
                return false;
            return SaveAs(other);
        }
        case LossAnswer::SaveAnyway:
            return std::nullopt;
        case LossAnswer::Cancel:
            break;
    }
    return false;
}

// Every floor now reads from the bytes written: the saved ones with
// their rows' new places, a new one with its own sheet.
void ScheduleWindow::TakeWrittenWorkbook(WorkbookWrite& write) {
    for (std::size_t k = 0; k < write.floors.size(); ++k) {
        WorkbookWrite::Floor& f = write.floors[k];
        // Nothing of a floor was written: its own layout stands, on the new bytes.
        const bool unwritten = !f.saved && f.layout.workbook;
        CsvLayout layout = unwritten ? f.sheet->model->layout() : std::move(f.layout);
        if (write.arranged) {
            layout.workbook = write.book.origins[k];
            if (!write.book.ids[k].empty()) f.ids = write.book.ids[k];
        } else {
            auto origin = std::make_shared<WorkbookOrigin>(*layout.workbook);
            origin->package = write.bytes;
            layout.workbook = origin;
        }
        f.sheet->model->SetLayout(std::move(layout));
        if (!f.ids.empty()) f.sheet->model->SetOrigins(f.ids);
    }
    // A floor taken out is no longer in the file: brought back, it is new.
    for (const auto& sheet : hidden_) {
        CsvLayout layout = sheet->model->layout();
        layout.workbook.reset();
        sheet->model->SetLayout(std::move(layout));
        sheet->model->SetOrigins(std::vector<std::uint32_t>(sheet->model->rows().size(), 0));
    }
}

bool ScheduleWindow::Save() {
    CommitEdit();
    if (!path_.isEmpty()) return SaveAs(path_);
    // Floors go into a workbook; one schedule into CSV, as quorvane-calc reads it.
    const bool floors = sheetCount() > 1;
    const QString suggested = DefaultFolder() + "/" +
                              (floors ? QFileInfo(DocumentName()).completeBaseName() + ".xlsx" : DocumentName());
    const QString path = dialogs_->SavePath(
        this, suggested, floors ? QStringLiteral("Excel 工作簿 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    return !path.isEmpty() && SaveAs(path);
}

bool ScheduleWindow::ExportExcel(const QString& path) {
    CommitEdit();
    // A new workbook of the schedule alone: never over the workbook it came from.
    if (model_->layout().workbook && IsOpenFile(path)) {
        dialogs_->Inform(this, QStringLiteral("“%1”就是打开的工作簿,导出会替换其中的其他工作表,没有导出;"
                                              "请用“保存”写回这个工作簿,或另给一个文件名。")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const Outcome written = ExportXlsx(FilePath(path), model_->rows(), model_->results());
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message));
        return false;
    }
    // Written over the open workbook itself: this window's own change, not another program's.
    if (IsOpenFile(path)) RememberDiskFile();
    statusBar()->showMessage(QStringLiteral("已导出 %1").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

bool ScheduleWindow::AskBookTitle() {
    BookTitle title = SavedBookTitle();
    const std::string now = CurrentReportDate();
    title.date = bookDate_.empty() ? now : bookDate_;
    if (!dialogs_->AskBookTitle(this, title)) return false;
    // A date left as offered, or emptied, is the moment the book is made.
    bookDate_ = title.date == now ? std::string() : title.date;
    SaveBookTitle(title);
    return true;
}

std::string ScheduleWindow::BookDate() const { return bookDate_.empty() ? CurrentReportDate() : bookDate_; }

bool ScheduleWindow::ExportPdf(const QString& path) {
    CommitEdit();
    BookTitle title = SavedBookTitle();
    title.date = BookDate();
    if (IsOpenFile(path)) {
        dialogs_->Inform(this, QStringLiteral("“%1”就是打开的梁表,计算书没有写出;请另给一个文件名。")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    // Of a building: the floor shown or every floor, with contents.
    std::vector<BookFloor> floors;
    const BookScope scope = sheetCount() > 1 ? dialogs_->AskBookScope(this, sheetName(currentSheet()), sheetCount())
                                             : BookScope::ThisSheet;
    if (scope == BookScope::Cancel) return false;
    for (int i = 0; i < sheetCount(); ++i) {
        if (scope == BookScope::ThisSheet && i != currentSheet()) continue;
        floors.push_back({scope == BookScope::AllSheets ? ToUtf8(sheetName(i)) : std::string(),
                          sheets_[static_cast<std::size_t>(i)]->model->rows(), {}});
    }
    RemoveStaleTemporaryFiles(os::FollowLinks(FilePath(path)).parent_path());
    auto progress = dialogs_->StartProgress(this, QStringLiteral("正在写出 PDF 计算书..."));
    const Outcome written = WritePdfBook(FilePath(path), floors, title,
                                         [&](double done) { return progress->Update(done); });
    progress.reset();  // never left standing over a message
    if (written.cancelled) return false;
    if (!written.ok) {
        dialogs_->Inform(this, FromUtf8(written.message) + QStringLiteral("\n原来的文件没有改动。"));
        return false;
    }
    dialogs_->Inform(this, QStringLiteral("PDF 计算书已写出,共 %1 页:\n%2")
                               .arg(written.count)
                               .arg(QDir::toNativeSeparators(path)) +
                               (written.warnings.empty() ? QString() : QStringLiteral("\n\n") + FromUtf8(written.warnings)));
    return true;
}

void ScheduleWindow::PrintBook() {
    CommitEdit();
    BookTitle title = SavedBookTitle();
    title.date = BookDate();
    PreviewAndPrintBook(this, model_->rows(), title, *dialogs_);
}

bool ScheduleWindow::WriteBook(const QString& folder) {
    CommitEdit();
    const ReportOptions options = SystemReportOptions();
    const std::filesystem::path root = FilePath(folder);
    auto progress = dialogs_->StartProgress(this, QStringLiteral("正在写出计算过程..."));
    // Nothing written lands on the schedule itself, wherever it is kept.
    FileClaims claims;
    if (!path_.isEmpty()) claims.Add(FilePath(path_));
    std::string sections;  // the book's part of each report, as the reports compute it
    const Outcome beams = WriteBeamReports(
        root / std::filesystem::u8path("计算过程"), model_->rows(), model_->results(), options,
        [&](double done) { return progress->Update(done); }, &claims, &sections);
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
    const Outcome book = WriteCalculationBook(bookPath, model_->rows(), model_->results(), options, &sections);
    if (!book.ok) {
        dialogs_->Inform(this, FromUtf8(book.message));
        return false;
    }
    const long long skipped = static_cast<long long>(model_->beamCount()) - beams.count;
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
    for (const QModelIndex& index : Shown().SelectedCells()) rows.insert(proxy_->mapToSource(index).row());
    rows.erase(rows.lower_bound(model_->beamCount()), rows.end());  // the empty row is no beam
    return {rows.begin(), rows.end()};
}

void ScheduleWindow::InsertRows() {
    CommitEdit();
    const std::vector<int> rows = SelectedSourceRows();
    const int at = rows.empty() ? model_->beamCount() : rows.front();
    const std::size_t count = std::max<std::size_t>(1, rows.size());
    const int column = std::max(0, view_->currentIndex().column());
    undo_->push(new InsertRowsCommand(model_, at, std::vector<ScheduleRow>(count), QStringLiteral("插入行")));
    view_->selectionModel()->setCurrentIndex(proxy_->mapFromSource(model_->index(at, column)),
                                             QItemSelectionModel::ClearAndSelect);  // on the new row, as in Excel
}

void ScheduleWindow::DeleteRows() {
    CommitEdit();
    std::vector<int> rows = SelectedSourceRows();
    if (rows.empty()) return;
    const QModelIndex current = view_->currentIndex();
    undo_->push(new RemoveRowsCommand(model_, std::move(rows), QStringLiteral("删除行")));
    // The cell stays where it was: on the row that came up into the place.
    if (current.isValid())
        view_->selectionModel()->setCurrentIndex(
            proxy_->index(std::min(current.row(), proxy_->rowCount() - 1), current.column()),
            QItemSelectionModel::ClearAndSelect);
}

void ScheduleWindow::DuplicateRows() {
    CommitEdit();
    const std::vector<int> rows = SelectedSourceRows();
    if (rows.empty()) return;
    std::vector<ScheduleRow> copies;
    for (int r : rows) {
        copies.push_back(model_->rows()[static_cast<std::size_t>(r)]);
        copies.back().SetOrigin(0);  // a new beam: none of the workbook's rows is its own
    }
    undo_->push(new InsertRowsCommand(model_, rows.back() + 1, std::move(copies), QStringLiteral("复制行")));
}

void ScheduleWindow::KeepSorted() {
    if (proxy_->sortColumn() < 0) return;
    // (sorting by the same column again would be taken as already done)
    const int section = proxy_->sortColumn();
    const Qt::SortOrder order = proxy_->sortOrder();
    proxy_->sort(-1);
    proxy_->sort(section, order);
}

void ScheduleWindow::RestoreOrder() { SortBy(-1, Qt::AscendingOrder); }

// The rows shown in another order (never the file's), on the sheet's own
// history so that Ctrl+Z puts them back as they were.
void ScheduleWindow::SortBy(int column, Qt::SortOrder order) {
    CommitEdit();
    QHeaderView* header = view_->horizontalHeader();
    QSortFilterProxyModel* proxy = proxy_;
    const int before = proxy->sortColumn();
    const Qt::SortOrder beforeOrder = proxy->sortOrder();
    if (before == column && (column < 0 || beforeOrder == order)) return;
    const auto sort = [header, proxy](int by, Qt::SortOrder way) {
        proxy->sort(-1);
        if (by >= 0) proxy->sort(by, way);
        header->setSortIndicator(by, way);
    };
    undo_->push(new FunctionCommand(
        column < 0 ? QStringLiteral("恢复原来的顺序") : QStringLiteral("排序"), [sort, column, order] { sort(column, order); },
        [sort, before, beforeOrder] { sort(before, beforeOrder); }));
}

}  // namespace quorvane
