// The 梁表 window: a table of beams (ScheduleModel under a sorting proxy)
// per sheet, as tabs along the bottom (a workbook's floors; a CSV file is
// one sheet), file and clipboard commands around them, and an undo stack
// per sheet that every change goes through, so the title's unsaved mark
// and the question before closing always know whether there is work to
// lose. The commands act on the sheet shown.
#pragma once

#include <QMainWindow>
#include <QUndoGroup>
#include <QUndoStack>

#include <memory>
#include <optional>

#include "autosave.h"
#include "dialogs.h"
#include "finder.h"
#include "handoff.h"
#include "clipboard.h"
#include "pasteplan.h"
#include "schedulemodel.h"
#include "showntable.h"

class QAbstractItemDelegate;
class QLineEdit;
class QTableView;
class QSortFilterProxyModel;
class QMenu;
class QLabel;
class QTabWidget;

namespace quorvane {

class FrozenColumn;

class ScheduleWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ScheduleWindow(ScheduleDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~ScheduleWindow() override;

    // The commands as the menus run them; each reports its own failures
    // through the dialogs and returns whether it did its work.
    bool NewSchedule();
    bool OpenFile(const QString& path);
    bool Save();
    bool SaveAs(const QString& path);
    bool ExportExcel(const QString& path);
    bool WriteBook(const QString& folder);
    // The PDF calculation book, its title block asked for first (and kept
    // for next time); ExportPdf writes it with the title block kept.
    bool AskBookTitle();
    // The book's date: the one the engineer gave in this run, or now.
    std::string BookDate() const;
    bool ExportPdf(const QString& path);
    void PrintBook();
    void CopySelection();
    void CutSelection();
    bool Paste();
    void ClearSelection();
    void InsertRows();
    void DeleteRows();
    void DuplicateRows();
    // Excel's fills: the selection's first row down it (a single row: the
    // row above into it), its first column right across it; Ctrl+Enter's
    // text into every selected cell.
    void FillDown();
    void FillRight();
    void FillSelection(const QString& text);
    // Find a text in the marks and values (case aside), from the cell after
    // the current one; replace it in the marks and inputs; go to a mark.
    bool Find();
    bool FindNext();
    int Replace();
    bool GoToMark();
    // GB 50009-2012's materials for a unit-weight column (常用材料, on a
    // cell's context menu): picking one sets the selected cells of that
    // column to its figure (a range's upper one), one undoable step.
    // Null for a column the table gives nothing for.
    QMenu* MaterialMenu(int column, QWidget* parent);
    void EditorMenu(QAbstractItemDelegate* delegate, QLineEdit* editor, int column, const QPoint& at);
    void SortBy(int column, Qt::SortOrder order);  // column -1: the file's own order
    void RestoreOrder();

    // The sheet shown.
    ScheduleModel& model() { return *model_; }
    QTableView* view() const { return view_; }
    QUndoStack& undoStack() { return *undo_; }
    // The sheets, in tab order, and which is shown.
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    QString sheetName(int index) const;
    void ShowSheet(int index);
    int currentSheet() const;
    // The floors themselves, each undoable: a new sheet after the one shown,
    // the one shown taken out (never the last), renamed (Excel's rules),
    // moved one place left (-1) or right (+1).
    void InsertSheet();
    bool DeleteSheet();
    bool RenameSheet(const QString& name);
    void MoveSheet(int delta);
    const QString& path() const { return path_; }

    // A beam sent from the calculator (发送到梁表): a new row at the end of
    // the sheet shown, made current, the window brought to the front.
    void AppendBeam(const HandedBeam& beam);
    // The current beam in the calculator (在计算器中打开), started when it
    // is not open; false (said) when it could not be handed over.
    bool OpenInCalculator();

    // A copy of unsaved work (each minute, and whenever called); offered
    // back by the next window started after this one ended without
    // saving it (true when the user took it).
    void Autosave();
    bool OfferRecovery();
    static QString AutosaveRoot() { return AutosaveCopy::Root(); }
    QStringList recentFiles() const;

    // Rows and columns of text as the clipboard carries them, placed at
    // the current cell (false, with a message, when it holds nothing
    // usable); html: the same table in HTML, for its cells' full values.
    bool PasteText(const QString& text, const QString& html = {});

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // One sheet of the window: its beams, the sort over them, its view (with
    // the mark column frozen) and its own undo history.
    // The view owns the model and the sort, so that a sheet closed while one
    // of its own events is running goes once that event is done.
    struct Sheet {
        QString name;
        QTableView* view = nullptr;
        ScheduleModel* model = nullptr;
        QSortFilterProxyModel* proxy = nullptr;
        QUndoStack undo;
    };
    Sheet& AddSheet(const QString& name, std::vector<ScheduleRow> rows, CsvLayout layout,
                    std::vector<ShownResult> results = {});
    Sheet* MakeSheet(const QString& name, std::vector<ScheduleRow> rows, CsvLayout layout,
                     std::vector<ShownResult> results = {});
    void SetUpCaptions(QTableView* view, QSortFilterProxyModel* proxy);
    void SetUpTable(QTableView* view, QSortFilterProxyModel* proxy, const QString& name);
    void ConnectEditors(QTableView* view, QAbstractItemDelegate* editors, std::shared_ptr<bool> typedNewBeam);
    void WatchSheet(Sheet& sheet);
    void SizeColumns(QTableView* view) const;
    void PlaceSheet(std::unique_ptr<Sheet> sheet, int index);
    std::unique_ptr<Sheet> TakeSheet(int index);
    int IndexOf(const Sheet* sheet) const;
    void Restore(Sheet* sheet, int index);
    void Hide(Sheet* sheet);
    QString SheetNameRefusal(const QString& name, const Sheet* except) const;
    void RemoveSheets();
    void UpdateCounts();
    void SayRefusal(const ScheduleModel& model, const CellEdit& edit);
    void SayCurrentRefusal();
    bool RefusalOf(int row, int column, QString* said) const;
    bool AnyUnsaved() const;
    bool SaveWorkbook(const QString& path);
    struct WorkbookWrite;
    bool WriteFloors(WorkbookWrite& write, bool newPath);
    bool ArrangeFloors(WorkbookWrite& write);
    std::optional<bool> AskAboutLosses(const QString& path, const std::string& losses);
    void TakeWrittenWorkbook(WorkbookWrite& write);
    void CommitEdit();
    void BuildMenus();
    void BuildFileMenu();
    void BuildEditMenu();
    void BuildSheetMenu();
    void BuildViewMenu();
    void KeepViewSettings() const;
    void ApplyKeptWidths(QTableView* view) const;
    void ApplyKeptSort(Sheet& sheet) const;
    void UpdateTitle();
    void UpdateRecentMenu();
    void AddRecent(const QString& path);
    bool MaybeSave();
    void PlaceResultColumns(QTableView* view, bool besideMark);
    static void ShowMaterialColumns(QTableView* view, const ScheduleModel& model, bool fresh);
    void KeepSorted();
    bool Load(const QString& path);
    void RememberDiskFile();
    bool IsOpenFile(const QString& path) const;
    bool ChangedOnDisk() const;
    void TakeRecovered(std::vector<ScheduleSheet> sheets, const QString& path);
    std::vector<int> SelectedSourceRows() const;
    // The sheet shown, as the user sees it.
    ShownTable Shown() const { return {view_, proxy_, model_}; }
    void PushEdits(std::vector<CellEdit> edits, const QString& text);
    int CurrentSourceRow() const;
    QString DocumentName() const;
    QString DefaultFolder() const;

    std::unique_ptr<ScheduleDialogs> ownDialogs_;
    ScheduleDialogs* dialogs_;
    // (before the sheets: their undo stacks, going, tell it to forget a cut)
    std::unique_ptr<ScheduleClipboard> clipboard_;
    std::vector<std::unique_ptr<Sheet>> sheets_;
    std::vector<std::unique_ptr<Sheet>> hidden_;  // taken out (or not yet placed), kept for undo
    QTabWidget* tabs_ = nullptr;
    QUndoGroup undoGroup_;
    // The sheet shown: its table, the sort over it, its view and undo stack.
    ScheduleModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTableView* view_ = nullptr;
    QUndoStack* undo_ = nullptr;
    QString path_;
    os::FileInfo disk_;  // the file as this window last read or wrote it
    bool askingAboutDisk_ = false;
    QMenu* recentMenu_ = nullptr;
    QMenu* rowMenu_ = nullptr;  // the table's context menu
    QAction* saveResults_ = nullptr;
    QAction* resultsBeside_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* refusal_ = nullptr;  // a refused value's column, beam and reason
    std::pair<int, int> typedRefusal_{-1, -1};  // the last cell typed wrong (model row, column)
    ScheduleFinder finder_;
    AutosaveCopy autosave_;
    std::string bookDate_;          // the book's date the engineer gave (empty: the time it is made)
};

}  // namespace quorvane
