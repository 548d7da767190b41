// The 梁表 window through its real widgets, offscreen: pasting from Excel
// gives the digits of quorvane-calc --csv, undo gives the table back, files
// come back byte for byte, the .xlsx holds the same numbers, and no work is
// lost to a failed save or a careless close.
#include <QtTest>
#include <QCompleter>

#include <QAccessible>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

#include <clocale>
#include <deque>
#include <map>

#include "book.h"
#include "csv.h"
#include "dialogs.h"
#include "encoding.h"
#include "exact.h"
#include "filelimit.h"
#include "handoff.h"
#include "locales.h"
#include "pdfbook.h"
#include "qtchinese.h"
#include "recentfiles.h"
#include "row.h"
#include "schedulewindow.h"
#include "testfiles.h"
#include "sheets.h"
#include "workbooks.h"

using namespace quorvane;

namespace {

// Counts the updates and the boxes standing; answers "cancelled" when told to.
class CountedProgress : public ProgressReport {
public:
    CountedProgress(int* updates, int* standing, bool cancel)
        : updates_(updates), standing_(standing), cancel_(cancel) {
        ++*standing_;
    }
    ~CountedProgress() override { --*standing_; }
    bool Update(double) override {
        ++*updates_;
        return !cancel_;
    }

private:
    int* updates_;
    int* standing_;
    bool cancel_;
};

// Records what the window would have asked or shown.
class RecordingDialogs : public ScheduleDialogs {
public:
    QStringList messages;
    QStringList questions;
    std::deque<SaveAnswer> answers;  // default Cancel
    QString savePath;
    int progressUpdates = 0;
    int progressStanding = 0;
    int messagesOverProgress = 0;  // a message shown while a progress box still stands
    bool cancelProgress = false;

    void Inform(QWidget*, const QString& text) override {
        messages << text;
        if (progressStanding > 0) ++messagesOverProgress;
    }
    SaveAnswer AskSave(QWidget*, const QString& name) override {
        questions << name;
        if (answers.empty()) return SaveAnswer::Cancel;
        const SaveAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList changedQuestions;              // "save: name" or "front: name"
    std::deque<ChangedAnswer> changedAnswers;  // default Keep
    ChangedAnswer AskChangedOnDisk(QWidget*, const QString& name, bool beforeSave) override {
        changedQuestions << (beforeSave ? "save: " : "front: ") + name;
        if (changedAnswers.empty()) return ChangedAnswer::Keep;
        const ChangedAnswer a = changedAnswers.front();
        changedAnswers.pop_front();
        return a;
    }
    QStringList lossQuestions;
    std::deque<LossAnswer> lossAnswers;  // default Cancel
    LossAnswer AskWorkbookLosses(QWidget*, const QString&, const QString& losses) override {
        lossQuestions << losses;
        if (lossAnswers.empty()) return LossAnswer::Cancel;
        const LossAnswer a = lossAnswers.front();
        lossAnswers.pop_front();
        return a;
    }
    QString OpenPath(QWidget*, const QString&) override { return {}; }
    QString SavePath(QWidget*, const QString&, const QString&) override { return savePath; }
    QString FolderPath(QWidget*, const QString&, const QString&) override { return {}; }
    std::unique_ptr<ProgressReport> StartProgress(QWidget*, const QString&) override {
        return std::make_unique<CountedProgress>(&progressUpdates, &progressStanding, cancelProgress);
    }
    BookTitle bookTitle;  // what the user types into the title block
    int titleAsked = 0;
    bool AskBookTitle(QWidget*, BookTitle& title) override {
        ++titleAsked;
        title = bookTitle;
        return true;
    }
    BookScope bookScope = BookScope::AllSheets;
    BookScope AskBookScope(QWidget*, const QString&, int) override { return bookScope; }
    QString sheetName;  // what the user types as a sheet's new name
    QString AskSheetName(QWidget*, const QString&) override { return sheetName; }
    bool recover = true;
    QStringList offered;  // the files whose unsaved work was offered back
    bool AskRecover(QWidget*, const QString& name, const QDateTime&) override {
        offered << name;
        return recover;
    }
    QStringList typed;  // what the user types when asked for a text, in turn
    QString AskText(QWidget*, const QString&, const QString&) override {
        return typed.isEmpty() ? QString() : typed.takeFirst();
    }
};

using test::ReadAll;
using test::WriteAll;

int Column(ColumnKind kind, std::size_t index = 0) { return static_cast<int>(PositionOf({kind, index})); }

// What the table shows, row by row, every column (the beams: not the
// empty row below them, which is checked to be empty).
// The cells of the columns shown (a material's only once used), in model order.
QList<QStringList> Table(ScheduleWindow& w) {
    QList<QStringList> rows;
    QAbstractItemModel* view = w.view()->model();
    for (int c = 0; c < view->columnCount(); ++c)
        if (!view->index(view->rowCount() - 1, c).data().toString().isEmpty()) return {{"the last row is not empty"}};
    for (int r = 0; r + 1 < view->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < view->columnCount(); ++c)
            if (!w.view()->isColumnHidden(c)) cells << view->index(r, c).data().toString();
        rows << cells;
    }
    return rows;
}

// The beams a test pastes: field -> text, a refused width and a zero
// length among them, Chinese marks.
using Beam = std::map<std::string, std::string>;
const std::vector<Beam>& Beams() {
    static const std::vector<Beam> beams = {
        {{"Mark", "KL1"},
         {"BeamWidth", "300"},
         {"BeamHeight", "850"},
         {"WallHeight", "4600"},
         {"DoorWidth", "900"},
         {"BeamLength", "4300"},
         {"ReductionRatio", "0.8"}},
        {{"Mark", "框架梁-2"},
         {"BeamWidth", "190"},
         {"BeamHeight", "1084"},
         {"WallHeight", "4500"},
         {"DoorWidth", "1000"},
         {"BeamLength", "4500"},
         {"ReductionRatio", "0.52"}},
        {{"Mark", "KL3 \"外\""},
         {"BeamWidth", "-5"},
         {"BeamHeight", "500"},
         {"WallHeight", "3000"},
         {"DoorWidth", "0"},
         {"BeamLength", "3600"},
         {"ReductionRatio", "1"}},
        {{"Mark", "悬挑梁"},
         {"BeamWidth", "200"},
         {"BeamHeight", "500"},
         {"WallHeight", "3000"},
         {"DoorWidth", ""},
         {"BeamLength", "0"},
         {"ReductionRatio", "1"}},
    };
    return beams;
}

const std::vector<std::string> kGiven = {"Mark",      "BeamWidth",  "BeamHeight",    "WallHeight",
                                         "DoorWidth", "BeamLength", "ReductionRatio"};

// The rows quorvane-calc --csv writes for the beams: every column's text.
QList<QStringList> CalcRows(const QString& folder) {
    std::string csv;
    AppendCsvRecord(csv, kGiven, "\r\n");
    for (const Beam& beam : Beams()) {
        std::vector<std::string> cells;
        for (const std::string& field : kGiven) cells.push_back(beam.at(field));
        AppendCsvRecord(csv, cells, "\r\n");
    }
    const QString in = folder + "/in.csv", out = folder + "/out.csv";
    WriteAll(in, QByteArray::fromStdString(csv));
    QProcess calc;
    calc.start(QUORVANE_CALC_EXE, {"--csv", in, "-o", out});
    if (!calc.waitForFinished(30000)) return {};
    CsvReader reader{ReadAll(out).toStdString()};
    std::vector<std::string> header, cells;
    reader.Next(header);
    QList<QStringList> rows;
    while (reader.Next(cells)) {
        QStringList row;
        for (std::size_t c = 0; c < kScheduleColumnCount; ++c) {
            const auto at =
                std::find(header.begin(), header.end(), ColumnField(ColumnAt(c))) - header.begin();
            row << QString::fromStdString(cells.at(static_cast<std::size_t>(at)));
        }
        rows << row;
    }
    return rows;
}

}  // namespace

class TestScheduleWindow : public QObject {
    Q_OBJECT

private slots:
    void cutCellsMoveWithThePaste();
    void init();
    void cleanup();
    void pastedExcelBlockGivesTheDigitsOfTheCommandLineTool_data();
    void pastedExcelBlockGivesTheDigitsOfTheCommandLineTool();
    void undoAfterPasteRestoresTheTableExactly();
    void refusedCellIsKeptMarkedAndNamedUntilFixed();
    void copyGivesExcelCellsAndTheCadColumnItsRoundedLoad();
    void rowsInsertDeleteDuplicateAndUndo();
    void unchangedFileSavesBackByteIdentical_data();
    void unchangedFileSavesBackByteIdentical();
    void sortingDoesNotChangeTheSavedOrder();
    void xlsxHoldsTheSameNumbers();
    void ownWorkbookOpensBackAndSavesAsAWorkbook();
    void savingIntoAWorkbookKeepsEveryOtherSheetAndFormula();
    void aSaveThatWouldMoveFormulasAsksFirst();
    void formulasThatTheSaveCannotFollowAreSaid();
    void aValueStillBeingTypedIsNeverLost();
    void everyActionTakesTheValueBeingTyped_data();
    void everyActionTakesTheValueBeingTyped();
    void floorsAreAddedRenamedMovedAndTakenOutWithUndo();
    void aBuildingsBookHasEveryFloorOrTheOneShown();
    void windowAndCommandLineReadAFileAlike_data();
    void windowAndCommandLineReadAFileAlike();
    void pastedHeaderPlacesColumnsByNameOrLeavesThemOut_data();
    void pastedHeaderPlacesColumnsByNameOrLeavesThemOut();
    void pasteGoesToTheSelectionsTopLeftAndFillsIt();
    void aNewScheduleIsTypedMarkEnterMarkEnter();
    void tabFromATypedMarkGoesOnAlongTheRow();
    void aPasteBelowTheDataAddsBeamsAndOverwritesNone();
    void excelsKeysDoWhatExcelsDo_data();
    void excelsKeysDoWhatExcelsDo();
    void aMarkIsTypedWhereItCanBeSeen();
    void aDaysSetUpIsKeptForTheNextRun();
    void unsavedWorkComesBackAfterACrash();
    void beamsGoBetweenTheCalculatorAndTheSchedule();
    void aUnitWeightCellTakesAMaterialsFigure();
    void aMaterialColumnIsKeptBesideItsWeight();
    void aPasteTakesTheFullValueBehindARoundedCell_data();
    void aPasteTakesTheFullValueBehindARoundedCell();
    void f12SavesAs();
    void qtsOwnDialogsSpeakChinese();
    void anEditedScheduleIsSavedWithItsLoads();
    void resultsStandBesideTheMarkAtTheStartSize();
    void manyScatteredRowsDeleteAndComeBackExactly();
    void failedSaveKeepsTheOldFileAndTheWork();
    void outsideChangeIsNeverOverwrittenWithoutAsking();
    void linkedAndReadOnlyFilesAreNotReplaced();
    void strayBytesStayAndTypedChineseIsInTheFilesEncoding();
    void closingWithUnsavedChangesAsks();
    void titleShowsTheFileAndTheUnsavedMark();
    void calculationBookHasEveryBeam();
    void pdfBookHasItsTitleBlockAndEveryComputedBeam();
    void everyMenuHasDistinctAccessKeys();
    void cancelledLongOperationsChangeNothing();

private:
    void Paste(const QString& text, int row, int column);
    void TypeInto(int row, int column, const QString& text);
    void TypeWithoutEnter(int row, int column, const QString& text);
    void ShowAgain();

    std::unique_ptr<RecordingDialogs> dialogs_;
    std::unique_ptr<ScheduleWindow> window_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestScheduleWindow::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    dialogs_ = std::make_unique<RecordingDialogs>();
    window_ = std::make_unique<ScheduleWindow>(dialogs_.get());
    // The view options as the tests' blocks expect them, whatever an earlier
    // test chose: the results at the end, so that a block of a mark and
    // inputs pastes at the mark as in the file's order.
    window_->findChild<QAction*>("SaveResults")->setChecked(true);
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(false);
    for (const char* kept : {"geometry", "columnWidths", "sortColumn", "sortDescending"})
        ScheduleSettings().remove(kept);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestScheduleWindow::cleanup() {
    // No message of any test came while a progress box stood over the window.
    QCOMPARE(dialogs_->messagesOverProgress, 0);
    window_->undoStack().setClean();  // nothing to ask about on the way out
    window_.reset();
    dialogs_.reset();
    dir_.reset();
}

void TestScheduleWindow::ShowAgain() {
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestScheduleWindow::Paste(const QString& text, int row, int column) {
    QGuiApplication::clipboard()->setText(text);
    QTableView* view = window_->view();
    const QModelIndex at = view->model()->index(row, column);
    view->scrollTo(at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(at).center());
    QCOMPARE(view->currentIndex(), at);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.join('\n')));
}

// F2 on the cell, its text replaced, no Enter yet.
void TestScheduleWindow::TypeWithoutEnter(int row, int column, const QString& text) {
    QTableView* view = window_->view();
    const QModelIndex at = view->model()->index(row, column);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(at).center());
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    editor->insert(text);  // as typed, Chinese included
}

void TestScheduleWindow::TypeInto(int row, int column, const QString& text) {
    TypeWithoutEnter(row, column, text);
    const QModelIndex at = window_->view()->model()->index(row, column);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits on the next turn
    QCOMPARE(at.data().toString(), text);
}

void TestScheduleWindow::pastedExcelBlockGivesTheDigitsOfTheCommandLineTool_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<int>("column");
    auto block = [](bool captions, bool header, const std::vector<std::string>& fields) {
        std::string text;
        if (header) {
            std::vector<std::string> names;
            for (const std::string& f : fields) {
                names.push_back(captions ? ColumnCaption(*FindColumn(f)) : f);
            }
            AppendTabRecord(text, names);
        }
        for (const Beam& beam : Beams()) {
            std::vector<std::string> cells;
            for (const std::string& f : fields)
                cells.push_back(beam.count(f) ? beam.at(f) : std::string(kParams[FindParam(f)].defaultText));
            AppendTabRecord(text, cells);
        }
        return QString::fromStdString(text);
    };
    std::vector<std::string> all = {"Mark"};
    for (const ParamInfo& p : kParams) all.emplace_back(p.field);
    QTest::newRow("header of captions") << block(true, true, kGiven) << Column(ColumnKind::Input, 5);
    QTest::newRow("header of field names") << block(false, true, kGiven) << 0;
    QTest::newRow("no header, at the mark column") << block(false, false, all) << 0;
    QString crlf = block(false, false, all);
    QTest::newRow("no header, CR LF lines as Excel on Windows") << crlf.replace("\n", "\r\n") << 0;
}

void TestScheduleWindow::pastedExcelBlockGivesTheDigitsOfTheCommandLineTool() {
    QFETCH(QString, block);
    QFETCH(int, column);
    Paste(block, 0, column);
    const QList<QStringList> expected = CalcRows(dir_->path());
    QCOMPARE(expected.size(), int(Beams().size()));
    QCOMPARE(Table(*window_), expected);
    QVERIFY(!expected[2].last().isEmpty() && !expected[3].last().isEmpty());  // refused width; zero length
    QVERIFY(dialogs_->messages.isEmpty());
}

void TestScheduleWindow::undoAfterPasteRestoresTheTableExactly() {
    TypeInto(0, Column(ColumnKind::Mark), "L0");
    const QList<QStringList> before = Table(*window_);
    std::string text;
    AppendTabRecord(text, {"梁号", "梁宽度(mm)", "梁自重(KN/M)"});
    for (int i = 0; i < 3; ++i)
        AppendTabRecord(text, {"P" + std::to_string(i), "2" + std::to_string(i) + "0", "99"});
    Paste(QString::fromStdString(text), 0, 0);
    const QList<QStringList> after = Table(*window_);
    QCOMPARE(after.size(), 3);
    QCOMPARE(after[2][Column(ColumnKind::Input, 0)], QString("220"));
    QVERIFY(after[2][Column(ColumnKind::Result, 0)] != "99");  // results are computed, never pasted
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Table(*window_), before);
    QTest::keyClick(window_->view(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Table(*window_), after);
}

void TestScheduleWindow::refusedCellIsKeptMarkedAndNamedUntilFixed() {
    const int width = Column(ColumnKind::Input, 0), total = Column(ColumnKind::Result, kTotalDeadLoad);
    QAbstractItemModel* model = window_->view()->model();
    TypeInto(0, 0, "KL1");  // a beam of the default texts
    QCOMPARE(model->index(0, total).data().toString(), QString("12.708"));
    TypeInto(0, width, "12a");
    QVERIFY(dialogs_->messages.isEmpty());  // no message box: the cell says it
    // The status bar says it too, where a screen reader is told of it as it happens.
    QAccessibleInterface* said = QAccessible::queryAccessibleInterface(window_->findChild<QLabel*>("Refusal"));
    QVERIFY(said);
    QVERIFY2(said->text(QAccessible::Name).contains(QString::fromStdString(InputRefusal(0, "12a"))) &&
                 said->text(QAccessible::Name).contains("KL1"),
             qPrintable(said->text(QAccessible::Name)));
    const QModelIndex cell = model->index(0, width);
    QCOMPARE(cell.data().toString(), QString("12a"));
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QString::fromStdString(InputRefusal(0, "12a")));
    QVERIFY(cell.data(Qt::BackgroundRole).isValid());
    // A screen reader hears the rule where the eye sees the colour.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window_->view());
    QVERIFY(table && table->tableInterface());
    QAccessibleInterface* spoken = table->tableInterface()->cellAt(0, width);
    QVERIFY(spoken);
    QCOMPARE(spoken->text(QAccessible::Name), QString("12a"));
    QCOMPARE(spoken->text(QAccessible::Description), QString::fromStdString(InputRefusal(0, "12a")));
    QVERIFY(model->index(0, total).data().toString().isEmpty());
    QCOMPARE(model->index(0, Column(ColumnKind::Error)).data().toString(),
             QString::fromStdString(InputRefusal(0, "12a")));
    TypeInto(0, width, "200");
    QVERIFY(!model->index(0, width).data(Qt::BackgroundRole).isValid());
    QCOMPARE(model->index(0, total).data().toString(), QString("12.708"));
    QVERIFY(model->index(0, Column(ColumnKind::Error)).data().toString().isEmpty());
}

void TestScheduleWindow::copyGivesExcelCellsAndTheCadColumnItsRoundedLoad() {
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(true);  // (as it starts)
    const int width = Column(ColumnKind::Input, 0);
    Paste("KL1\nKL2\n", 0, 0);
    Paste("300\n250\n", 0, width);
    QTableView* view = window_->view();
    QAbstractItemModel* model = view->model();
    TypeInto(0, width, "300");
    QCOMPARE(view->currentIndex(), model->index(1, width));  // Enter went one row down, as in Excel
    const int cad = Column(ColumnKind::Result, kCadInputLoad);
    // One CAD cell: the rounded load, as the quick calculator's copy gives it.
    view->selectionModel()->setCurrentIndex(model->index(1, cad), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const std::string shown = model->index(1, cad).data().toString().toStdString();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(CopiedLoadText(shown)));
    QVERIFY(QGuiApplication::clipboard()->text() != QString::fromStdString(shown));
    // A block as seen: the mark and the three results beside it, four cells a row.
    const QHeaderView* header = view->horizontalHeader();
    QCOMPARE(header->logicalIndex(1), Column(ColumnKind::Result, 0));
    QItemSelection seen;
    for (int place = 0; place < 4; ++place)
        seen.select(model->index(0, header->logicalIndex(place)), model->index(1, header->logicalIndex(place)));
    view->selectionModel()->select(seen, QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (int r = 0; r < 2; ++r)
        for (int place = 0; place < 4; ++place)
            expected += model->index(r, header->logicalIndex(place)).data().toString() + (place < 3 ? "\t" : "\n");
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    // A block pasted where it would put a number on a result column: refused, nothing changed.
    const QList<QStringList> before = Table(*window_);
    QGuiApplication::clipboard()->setText("新梁\t999");
    view->setCurrentIndex(model->index(0, 0));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY(dialogs_->messages[0].contains("999"));
    QCOMPARE(Table(*window_), before);
    dialogs_->messages.clear();
    // Whole rows pasted into a new schedule give the same rows again.
    view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, model->columnCount() - 1)),
                                   QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    window_->undoStack().setClean();
    QVERIFY(window_->NewSchedule());
    Paste(QGuiApplication::clipboard()->text(), 0, 0);
    QCOMPARE(Table(*window_), before);
}

void TestScheduleWindow::rowsInsertDeleteDuplicateAndUndo() {
    Paste("A\nB\nC\n", 0, 0);
    auto marks = [this] {
        QStringList m;
        for (const QStringList& row : Table(*window_)) m << row[0];
        return m;
    };
    QTableView* view = window_->view();
    auto selectRows = [view](std::initializer_list<int> rows) {
        view->selectionModel()->clearSelection();
        for (int r : rows)
            view->selectionModel()->setCurrentIndex(view->model()->index(r, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    selectRows({1});
    window_->DuplicateRows();
    QCOMPARE(marks(), (QStringList{"A", "B", "B", "C"}));
    selectRows({0});
    window_->InsertRows();
    QCOMPARE(marks(), (QStringList{"", "A", "B", "B", "C"}));
    QCOMPARE(Table(*window_)[0][Column(ColumnKind::Input, 0)], QString(kParams[0].defaultText.data()));
    selectRows({1, 4});
    window_->DeleteRows();
    QCOMPARE(marks(), (QStringList{"", "B", "B"}));
    window_->undoStack().undo();
    QCOMPARE(marks(), (QStringList{"", "A", "B", "B", "C"}));
    window_->undoStack().undo();
    window_->undoStack().undo();
    QCOMPARE(marks(), (QStringList{"A", "B", "C"}));
}

void TestScheduleWindow::unchangedFileSavesBackByteIdentical_data() {
    QTest::addColumn<QByteArray>("bytes");
    const std::string gbk =
        "梁号,梁宽度(mm),墙高度(mm),梁长度(mm),折算比例\r\n"
        "KL1,300,4600,4300,0.8\r\n\"框架梁 \"\"甲\"\"\",250,3000,3600,1\r\n\"L3,悬挑\",-5,3000,3600,1\r\n";
    QTest::newRow("GBK from Chinese Excel, captions")
        << QByteArray::fromStdString(*EncodeFromUtf8(gbk, Gb18030Charset()));
    QTest::newRow("UTF-8 with a byte-order mark, LF, field names")
        << QByteArray("\xEF\xBB\xBFMark,BeamWidth,BeamLength\nKL1,300,4300\n梁2,,0\n");
    QTest::newRow("no line end after the last row") << QByteArray("Mark,BeamWidth\r\nKL1,300\r\nKL2,250");
    // As LibreOffice writes it with "quote all text cells": numbers and empty cells bare.
    QTest::newRow("every text cell quoted") << QByteArray(
        "\"Mark\",\"BeamWidth\",\"BeamLength\",\"ReductionRatio\"\n\"KL1\",300,4300,0.85\n"
        "\"L2 \"\"甲\"\"\",,3600,1\n\"KL3\",\"12a\",4200,1\n\"-\",\"12.\",-0.5,1E+05\n");
}

void TestScheduleWindow::unchangedFileSavesBackByteIdentical() {
    QFETCH(QByteArray, bytes);
    const QString path = dir_->filePath("梁表.csv");
    WriteAll(path, bytes);
    QVERIFY(window_->OpenFile(path));
    QVERIFY(dialogs_->messages.isEmpty());
    QVERIFY(window_->Save());
    QCOMPARE(ReadAll(path), bytes);
    // An edit saves in the same encoding, and opens again as typed.
    TypeInto(0, Column(ColumnKind::Mark), "框架梁-1");
    QVERIFY(window_->Save());
    const QList<QStringList> saved = Table(*window_);
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(Table(*window_), saved);
    QCOMPARE(Table(*window_)[0][0], QString("框架梁-1"));
    QCOMPARE(ReadAll(path).startsWith("\xEF\xBB\xBF"), bytes.startsWith("\xEF\xBB\xBF"));
}

void TestScheduleWindow::sortingDoesNotChangeTheSavedOrder() {
    Paste("KL10\t300\nKL2\t200\nKL1\t250\n", 0, 0);
    window_->SortBy(0, Qt::AscendingOrder);
    QStringList marks;
    for (const QStringList& row : Table(*window_)) marks << row[0];
    QCOMPARE(marks, (QStringList{"KL1", "KL2", "KL10"}));
    QCOMPARE(window_->view()->horizontalHeader()->sortIndicatorSection(), 0);
    // A sort is undone like any change, and done again.
    window_->undoStack().undo();
    QCOMPARE(Table(*window_)[0][0], QString("KL10"));
    QCOMPARE(window_->view()->horizontalHeader()->sortIndicatorSection(), -1);
    window_->undoStack().redo();
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));
    const QString path = dir_->filePath("sorted.csv");
    QVERIFY(window_->SaveAs(path));
    const QList<QByteArray> lines = ReadAll(path).split('\n');
    QVERIFY(lines[1].startsWith("KL10,") && lines[2].startsWith("KL2,") && lines[3].startsWith("KL1,"));
    window_->RestoreOrder();
    QCOMPARE(Table(*window_)[0][0], QString("KL10"));
}

void TestScheduleWindow::xlsxHoldsTheSameNumbers() {
    Paste("KL1\t300\t850\nKL2\t12a\t500\n", 0, 0);
    const QString path = dir_->filePath("梁表.xlsx");
    // Under a comma-decimal locale, as a German desktop gives the program.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const bool comma = std::setlocale(LC_ALL, test::kCommaDecimalLocale) != nullptr;
    const bool exported = window_->ExportExcel(path);
    std::setlocale(LC_ALL, locale.c_str());
    if (!comma) qWarning("no comma-decimal locale here: exported under the C locale");
    QVERIFY2(exported, qPrintable(dialogs_->messages.join('\n')));
    QVERIFY(ReadAll(path).startsWith("PK"));  // a zip, as every .xlsx is
#ifdef Q_OS_WIN
    QSKIP("the sheet is read by Python on the build machine; under Wine only its zip is checked");
#endif
    QProcess python;
    python.start("python3", {READ_XLSX_PY, path});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);  // header, two beams, the frozen pane
    const QStringList header = lines[0].split('\t');
    QCOMPARE(header[0], QString("s:梁号"));
    QCOMPARE(header[Column(ColumnKind::Result, kCadInputLoad)], QString("s:广厦结构CAD应输入(KN/M)"));
    const QList<QStringList> table = Table(*window_);
    for (int r = 0; r < 2; ++r) {
        const QStringList cells = lines[r + 1].split('\t');
        QCOMPARE(cells[0], "s:" + table[r][0]);
        for (int c = 1; c < table[r].size(); ++c) {
            const QString shown = table[r][c];
            const QString cell = c < cells.size() ? cells[c] : QString();
            if (shown.isEmpty()) {
                QCOMPARE(cell, QString());
            } else if (c != Column(ColumnKind::Error) && ReadText(shown.toStdString()).numeric) {
                QVERIFY2(cell.startsWith("n:"), qPrintable(cell));
                QCOMPARE_SAME_DOUBLE(cell.mid(2).toDouble(), ReadText(shown.toStdString()).value);
            } else {
                QCOMPARE(cell, "s:" + shown);
            }
        }
    }
    QCOMPARE(lines[3], QString("frozen:1,1"));
}

// Another program (Excel, a colleague's script) writes the file while it
// is open here: saving asks first, and so does coming back to the window.
void TestScheduleWindow::outsideChangeIsNeverOverwrittenWithoutAsking() {
    const QString path = dir_->filePath("beams.csv");
    WriteAll(path, "Mark,BeamWidth\r\nKL1,300\r\n");
    QVERIFY(window_->OpenFile(path));
    const QByteArray theirs = "Mark,BeamWidth\r\nKL1,300\r\nKL2,250\r\n";
    WriteAll(path, theirs);
    TypeInto(0, Column(ColumnKind::Mark), "KL9");

    QVERIFY(!window_->Save());  // answered Keep: nothing written
    QCOMPARE(dialogs_->changedQuestions, QStringList{"save: beams.csv"});
    QCOMPARE(ReadAll(path), theirs);
    QVERIFY(window_->isWindowModified());

    dialogs_->changedAnswers = {ChangedAnswer::Reload};
    QVERIFY(!window_->Save());
    QCOMPARE(window_->model().beamCount(), 2);  // their rows, read again
    QCOMPARE(Table(*window_)[1][0], QString("KL2"));
    QVERIFY(!window_->isWindowModified());

    TypeInto(1, Column(ColumnKind::Mark), "KL3");
    WriteAll(path, theirs + "KL4,200\r\n");
    dialogs_->changedAnswers = {ChangedAnswer::Overwrite};
    QVERIFY(window_->Save());
    QVERIFY(ReadAll(path).contains("KL3") && !ReadAll(path).contains("KL4"));
    QVERIFY(window_->Save());  // our own save is no outside change
    QCOMPARE(dialogs_->changedQuestions.size(), 3);

    // Coming back to the window after another program wrote the file.
    WriteAll(path, theirs + "KL5,200\r\n");
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    dialogs_->changedAnswers = {ChangedAnswer::Reload};
    ShowAgain();
    QCOMPARE(dialogs_->changedQuestions.last(), QString("front: beams.csv"));
    QCOMPARE(window_->model().beamCount(), 3);
    QCOMPARE(Table(*window_)[2][0], QString("KL5"));
}

void TestScheduleWindow::linkedAndReadOnlyFilesAreNotReplaced() {
#ifdef Q_OS_WIN
    QSKIP("POSIX links and permissions");
#else
    const QString real = dir_->filePath("shared.csv"), link = dir_->filePath("link.csv");
    WriteAll(real, "Mark,BeamWidth\r\nKL1,300\r\n");
    QVERIFY(QFile::link(real, link));
    QVERIFY(window_->OpenFile(link));
    TypeInto(0, Column(ColumnKind::Mark), "KL7");
    QVERIFY(window_->Save());
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(ReadAll(real).contains("KL7"));

    const QString locked = dir_->filePath("locked.csv");
    const QByteArray old = "Mark,BeamWidth\r\nKL1,300\r\n";
    WriteAll(locked, old);
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner));
    QVERIFY(window_->OpenFile(locked));
    TypeInto(0, Column(ColumnKind::Mark), "KL8");
    QVERIFY(!window_->Save());
    QVERIFY2(dialogs_->messages.last().contains("只读") && dialogs_->messages.last().contains("梁表文件"),
             qPrintable(dialogs_->messages.last()));
    QCOMPARE(ReadAll(locked), old);
    QVERIFY(window_->isWindowModified());
#endif
}

void TestScheduleWindow::strayBytesStayAndTypedChineseIsInTheFilesEncoding() {
    const QString path = dir_->filePath("gbk.csv");
    const auto gbk = [](const char* text) {
        return QByteArray::fromStdString(*EncodeFromUtf8(text, Gb18030Charset()));
    };
    const QByteArray bytes = gbk("梁号,梁宽度(mm)\r\n梁1,300\r\n") + "KL\x80" + gbk(",250\r\n");
    WriteAll(path, bytes);
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY2(dialogs_->messages[0].contains("第 3 行"), qPrintable(dialogs_->messages[0]));
    QVERIFY(window_->Save());
    QCOMPARE(ReadAll(path), bytes);
    window_->findChild<QAction*>("SaveResults")->setChecked(false);  // the inputs alone, to compare
    TypeInto(0, Column(ColumnKind::Mark), "框架梁");
    QVERIFY(window_->Save());
    QCOMPARE(ReadAll(path), gbk("梁号,梁宽度(mm)\r\n框架梁,300\r\n") + "KL\x80" + gbk(",250\r\n"));
}

void TestScheduleWindow::ownWorkbookOpensBackAndSavesAsAWorkbook() {
    Paste("KL1\t300\t850\nKL/2\t-5\t500\n框架梁3\t250\t0.45\n", 0, 0);
    const QList<QStringList> typed = Table(*window_);
    const QString book = dir_->filePath("二层.xlsx");
    QVERIFY(window_->ExportExcel(book));
    window_->undoStack().setClean();
    QVERIFY(window_->OpenFile(book));
    QCOMPARE(Table(*window_), typed);  // every cell, results and refusals included
    // Exported over itself it would lose whatever else the workbook holds: refused.
    const QByteArray before = ReadAll(book);
    QVERIFY(!window_->ExportExcel(book));
    QVERIFY2(dialogs_->messages.last().contains("就是打开的工作簿"), qPrintable(dialogs_->messages.last()));
    QCOMPARE(ReadAll(book), before);
    {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    ShowAgain();
    QVERIFY(dialogs_->changedQuestions.isEmpty());
    TypeInto(0, Column(ColumnKind::Mark), "KL9");
    QVERIFY(window_->Save());
    QVERIFY(ReadAll(book).startsWith("PK"));  // still a workbook
    const QList<QStringList> saved = Table(*window_);
    QVERIFY(window_->OpenFile(book));
    QCOMPARE(Table(*window_), saved);
    QCOMPARE(Table(*window_)[0][0], QString("KL9"));
    // Saved as CSV instead, it is the CSV the command line reads.
    const QString csv = dir_->filePath("二层.csv");
    QVERIFY(window_->SaveAs(csv));
    QVERIFY(window_->OpenFile(csv));
    QCOMPARE(Table(*window_), saved);
}

int Field(const char* field) { return Column(ColumnKind::Input, std::size_t(FindParam(field))); }

// A part of the workbook at path, inflated ("<missing>" when it is not there).
std::string Part(const QString& path, const std::string& name) {
    const std::string bytes = ReadAll(path).toStdString();
    workbook::Package package(bytes);
    workbook::PartStatus status;
    return package.ReadWhole(name, status).value_or("<missing>");
}

// A building of two floors opens as two sheet tabs, each with its own
// undo; a cell changed on each and saved: the formula beside the schedule,
// the merge, the styles and every other part stay; the edits are there and
// the formulas are computed again when Excel opens it.
void TestScheduleWindow::savingIntoAWorkbookKeepsEveryOtherSheetAndFormula() {
    const QString path = dir_->filePath("楼.xlsx");
    const std::string original = test::TwoFloors();
    WriteAll(path, QByteArray::fromStdString(original));
    QVERIFY(window_->OpenFile(path));
    QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.join('\n')));
    QCOMPARE(window_->sheetCount(), 2);
    QCOMPARE(window_->sheetName(0), QString("一层"));
    QCOMPARE(window_->sheetName(1), QString("二层"));
    QVERIFY(window_->findChild<QTabWidget*>("SheetTabs")->tabBar()->isVisible());
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));
    TypeInto(0, Field("BeamWidth"), "250");
    QCOMPARE(window_->model().beamCount(), 1);
    QTest::keyClick(window_->view(), Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(window_->currentSheet(), 1);
    QCOMPARE(Table(*window_)[0][0], QString("KL2"));
    QVERIFY(window_->undoStack().isClean());  // its own history
    TypeInto(0, Field("BeamHeight"), "650");
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window_->model().rows()[0].text(std::size_t(FindParam("BeamHeight"))), std::string_view("600"));
    QTest::keyClick(window_->view(), Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(window_->view(), Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(window_->currentSheet(), 0);
    QCOMPARE(window_->model().rows()[0].text(std::size_t(FindParam("BeamWidth"))), std::string_view("250"));
    QVERIFY(window_->isWindowModified());
    QTest::keyClick(window_->view(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!window_->isWindowModified());
    const std::string sheet = Part(path, "xl/worksheets/sheet1.xml");
    QVERIFY2(sheet.find("<c r=\"B2\" s=\"1\"><v>250</v></c>") != std::string::npos, sheet.c_str());
    QVERIFY(sheet.find("<c r=\"E2\"><f>B2+C2</f><v>700</v></c>") != std::string::npos);
    QVERIFY(sheet.find("<cols><col min=\"1\" max=\"1\" width=\"14.625\" customWidth=\"1\"/></cols>") != std::string::npos);
    const std::string second = Part(path, "xl/worksheets/sheet2.xml");
    QVERIFY2(second.find("<c r=\"C2\"><v>650</v></c>") != std::string::npos, second.c_str());
    QVERIFY(second.find("<mergeCell ref=\"F1:G1\"/>") != std::string::npos);
    workbook::Package before(original);
    workbook::PartStatus status;
    for (const char* kept : {"xl/styles.xml", "xl/sharedStrings.xml", "xl/calcChain.xml", "docProps/app.xml", "_rels/.rels"})
        QCOMPARE(Part(path, kept), before.ReadWhole(kept, status).value_or("<was missing>"));
    QVERIFY(Part(path, "xl/workbook.xml").find("fullCalcOnLoad=\"1\"") != std::string::npos);
    // Opened again, both edits are there, on their floors.
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->model().rows()[0].text(std::size_t(FindParam("BeamWidth"))), std::string_view("250"));
    QProcess calc;
    calc.start(QUORVANE_CALC_EXE, {"--csv", path, "--sheet", "二层"});
    QVERIFY(calc.waitForFinished(30000));
    QCOMPARE(calc.exitCode(), 0);
    QVERIFY(calc.readAllStandardOutput().contains("KL2,250,650,"));
    // Saved as CSV, the floors would be lost: refused, nothing written.
    QVERIFY(!window_->SaveAs(dir_->filePath("楼.csv")));
    QVERIFY(dialogs_->messages.last().contains("CSV"));
    QVERIFY(!QFile::exists(dir_->filePath("楼.csv")));
}

// The names of the sheets of the workbook at path, in tab order.
QStringList SheetNames(const QString& path) {
    const std::string bytes = ReadAll(path).toStdString();
    workbook::WorkbookReader reader(bytes);
    QStringList names;
    if (!reader.Open().empty()) return {"<does not read>"};
    for (const auto& sheet : reader.sheets()) names << QString::fromStdString(sheet.name);
    return names;
}

// Floors as Excel's sheet tabs: added, renamed (by Excel's rules), moved
// and taken out, each undone by Ctrl+Z; saved, the workbook has them so,
// its notes sheet kept where it was.
void TestScheduleWindow::floorsAreAddedRenamedMovedAndTakenOutWithUndo() {
    const QString path = dir_->filePath("楼.xlsx");
    const std::string header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Mark</t></is></c><c r=\"B1\" "
                               "t=\"inlineStr\"><is><t>BeamWidth</t></is></c></row>";
    const auto beam = [](const char* mark, const char* width) {
        return std::string("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>") + mark +
               "</t></is></c><c r=\"B2\"><v>" + width + "</v></c></row>";
    };
    WriteAll(path, QByteArray::fromStdString(test::ExcelWorkbook(
                       {{"说明", test::ExcelSheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>注</t></is></c></row>")},
                        {"一层", test::ExcelSheet(header + beam("KL1", "200"))},
                        {"二层", test::ExcelSheet(header + beam("KL2", "250"))}},
                       "")));
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->sheetCount(), 2);
    QVERIFY(window_->findChild<QMenu*>("SheetMenu"));
    // Renamed by Excel's rules: not to a name taken (the notes' too), nor with / in it.
    for (const char* refused : {"二层", "说明", "a/b", ""}) {
        QVERIFY(!window_->RenameSheet(refused));
        QCOMPARE(window_->sheetName(0), QString("一层"));
    }
    QVERIFY(window_->RenameSheet("1F"));
    QCOMPARE(window_->findChild<QTabWidget*>("SheetTabs")->tabText(0), QString("1F"));
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window_->sheetName(0), QString("一层"));
    QTest::keyClick(window_->view(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(window_->sheetName(0), QString("1F"));
    // A new floor after the one shown; Ctrl+Z there takes it away again.
    window_->ShowSheet(1);
    window_->InsertSheet();
    QCOMPARE(window_->sheetCount(), 3);
    QCOMPARE(window_->currentSheet(), 2);
    QCOMPARE(window_->sheetName(2), QString("Sheet1"));
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window_->sheetCount(), 2);
    window_->InsertSheet();
    dialogs_->messages.clear();  // (the name refusals, and that 说明 is kept)
    Paste("KL9\t300", 0, 0);
    // Moved left and back.
    window_->MoveSheet(-1);
    QCOMPARE(window_->sheetName(1), QString("Sheet1"));
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window_->sheetName(2), QString("Sheet1"));
    // 二层 taken out, brought back by Ctrl+Z, taken out again; the last floor never goes.
    window_->ShowSheet(1);
    QVERIFY(window_->DeleteSheet());
    QCOMPARE(window_->sheetCount(), 2);
    QTest::keyClick(window_->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window_->sheetCount(), 3);
    QCOMPARE(window_->sheetName(1), QString("二层"));
    QCOMPARE(Table(*window_)[0][0], QString("KL2"));
    QVERIFY(window_->DeleteSheet());
    QVERIFY(window_->isWindowModified());
    QVERIFY(window_->Save());
    QCOMPARE(SheetNames(path), (QStringList{"说明", "1F", "Sheet1"}));
    QProcess calc;
    calc.start(QUORVANE_CALC_EXE, {"--csv", path, "--sheet", "all"});
    QVERIFY(calc.waitForFinished(30000));
    const QString out = QString::fromUtf8(calc.readAllStandardOutput());
    QVERIFY2(out.contains("\n1F,KL1,200,") && out.contains("\nSheet1,KL9,300,") && !out.contains("KL2"), qPrintable(out));
    // Saved again after an edit on the new floor: written into its own sheet, not added twice.
    window_->ShowSheet(1);
    TypeInto(0, Field("BeamWidth"), "350");
    QVERIFY(window_->Save());
    calc.start(QUORVANE_CALC_EXE, {"--csv", path, "--sheet", "Sheet1"});
    QVERIFY(calc.waitForFinished(30000));
    const QString again = QString::fromUtf8(calc.readAllStandardOutput());
    QVERIFY2(again.contains("\nKL9,350,") && again.count("KL9") == 1, qPrintable(again));
    QCOMPARE(SheetNames(path), (QStringList{"说明", "1F", "Sheet1"}));
    // A new schedule of two floors is saved as a workbook of two sheets (never as CSV).
    QVERIFY(window_->NewSchedule());
    Paste("KL1\t200", 0, 0);
    window_->InsertSheet();
    Paste("KL2\t250", 0, 0);
    QVERIFY(!window_->SaveAs(dir_->filePath("新.csv")));
    const QString fresh = dir_->filePath("新.xlsx");
    QVERIFY(window_->SaveAs(fresh));
    QCOMPARE(SheetNames(fresh), (QStringList{"梁表", "Sheet1"}));
    calc.start(QUORVANE_CALC_EXE, {"--csv", fresh, "--sheet", "all"});
    QVERIFY(calc.waitForFinished(30000));
    const QString both = QString::fromUtf8(calc.readAllStandardOutput());
    QVERIFY2(both.contains("\n梁表,KL1,200,") && both.contains("\nSheet1,KL2,250,"), qPrintable(both));
}

// A value typed without Enter is committed before anything reads or
// replaces the table: saved (into a workbook too), asked about on closing.
// Every action that reads or replaces the table first takes the value
// still being typed (no Enter): what it writes or shows has it.
void TestScheduleWindow::everyActionTakesTheValueBeingTyped_data() {
    QTest::addColumn<QString>("action");
    for (const char* action : {"save", "save as", "export Excel", "PDF book", "calculation book", "sort",
                               "next sheet", "new sheet", "fill down", "find", "close"})
        QTest::newRow(action) << action;
}

void TestScheduleWindow::everyActionTakesTheValueBeingTyped() {
    QFETCH(QString, action);
    const bool floors = action == "next sheet";
    const QString path = dir_->filePath(floors ? "楼.xlsx" : "one.csv");
    WriteAll(path, floors ? QByteArray::fromStdString(test::TwoFloors()) : QByteArray("Mark,BeamLength\nKL1,4500\n"));
    QVERIFY(window_->OpenFile(path));
    QTableView* view = window_->view();
    ScheduleModel& model = window_->model();
    TypeWithoutEnter(0, Field("BeamLength"), "4700");
    dialogs_->savePath = dir_->filePath("out.csv");
    dialogs_->typed = {"KL1"};
    const QString out = dir_->filePath("out");
    if (action == "save") QVERIFY(window_->Save());
    if (action == "save as") QVERIFY(window_->SaveAs(dir_->filePath("as.csv")));
    if (action == "export Excel") QVERIFY(window_->ExportExcel(dir_->filePath("as.xlsx")));
    if (action == "PDF book") QVERIFY(window_->ExportPdf(dir_->filePath("book.pdf")));
    if (action == "calculation book") QVERIFY(window_->WriteBook(out));
    if (action == "sort") window_->SortBy(0, Qt::DescendingOrder);
    if (action == "new sheet") window_->InsertSheet();
    if (action == "next sheet") QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    if (action == "fill down") QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
    if (action == "find") QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    if (action == "close") {
        dialogs_->answers = {SaveAnswer::Cancel};
        QVERIFY(!window_->close());
    }
    QCOMPARE(model.rows()[0].text(std::size_t(FindParam("BeamLength"))), std::string_view("4700"));
    if (action == "save") QVERIFY(ReadAll(path).contains("KL1,4700"));
    if (action == "save as") QVERIFY(ReadAll(dir_->filePath("as.csv")).contains("KL1,4700"));
    if (action == "calculation book") QVERIFY(ReadAll(out + "/计算过程/KL1.txt").contains("4.7"));
    QVERIFY(QApplication::focusWidget() == nullptr || !qobject_cast<QLineEdit*>(QApplication::focusWidget()) ||
            !view->isAncestorOf(QApplication::focusWidget()));  // the editor is closed
}

void TestScheduleWindow::aValueStillBeingTypedIsNeverLost() {
    const QString path = dir_->filePath("楼.xlsx");
    WriteAll(path, QByteArray::fromStdString(test::TwoFloors()));
    QVERIFY(window_->OpenFile(path));
    const auto typeWithoutEnter = [this](const QString& text) { TypeWithoutEnter(0, Field("BeamLength"), text); };
    typeWithoutEnter("4700");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(Part(path, "xl/worksheets/sheet1.xml").find("<c r=\"D2\"><v>4700</v></c>") != std::string::npos);
    QCOMPARE(window_->model().beamCount(), 1);  // and no row added by it
    typeWithoutEnter("3700");
    dialogs_->questions.clear();
    window_->close();
    QCOMPARE(dialogs_->questions.size(), 1);  // asked, not closed with the value gone
    QVERIFY(window_->isVisible());
    QCOMPARE(window_->model().rows()[0].text(std::size_t(FindParam("BeamLength"))), std::string_view("3700"));
}

// The book of a workbook of floors: every floor with its contents, or
// only the floor shown, as asked.
void TestScheduleWindow::aBuildingsBookHasEveryFloorOrTheOneShown() {
    const QString path = dir_->filePath("楼.xlsx");
    WriteAll(path, QByteArray::fromStdString(test::TwoFloors()));
    QVERIFY(window_->OpenFile(path));
    dialogs_->bookScope = BookScope::AllSheets;
    QVERIFY(window_->ExportPdf(dir_->filePath("全部.pdf")));
    QVERIFY2(dialogs_->messages.last().contains("共 6 页"), qPrintable(dialogs_->messages.last()));  // 目录, 设计依据, 2 summaries, 2 beams
    dialogs_->bookScope = BookScope::ThisSheet;
    QVERIFY(window_->ExportPdf(dir_->filePath("一层.pdf")));
    QVERIFY2(dialogs_->messages.last().contains("共 3 页"), qPrintable(dialogs_->messages.last()));
    dialogs_->bookScope = BookScope::Cancel;
    QVERIFY(!window_->ExportPdf(dir_->filePath("无.pdf")));
    QVERIFY(!QFile::exists(dir_->filePath("无.pdf")));
}

// One reading rule: the window's first sheet and quorvane-calc --csv give
// the same beams, loads and refusals, and name the same unreadable cells.
void TestScheduleWindow::windowAndCommandLineReadAFileAlike_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const std::string header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>梁号</t></is></c><c r=\"B1\" "
                               "t=\"inlineStr\"><is><t>梁宽度</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>"
                               "BeamLength</t></is></c></row>";
    const auto book = [&header](const std::string& rows, const std::string& notes = "") {
        std::vector<test::SheetXml> sheets;
        if (!notes.empty()) sheets.push_back({"说明", test::ExcelSheet(notes)});
        sheets.push_back({"一层", test::ExcelSheet(header + rows)});
        return QByteArray::fromStdString(test::ExcelWorkbook(sheets, "<si><t>KL1</t></si>"));
    };
    QTest::newRow("a formula and notes beside the schedule, a notes sheet first")
        << "楼.xlsx"
        << book("<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\"><v>250</v></c><c r=\"C2\"><v>4800</v>"
                "</c><c r=\"D2\"><f>B2*2</f><v>500</v></c><c r=\"E2\" t=\"inlineStr\"><is><t>复核</t></is></c></row>",
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>本表说明</t></is></c></row>");
    QTest::newRow("cells and rows out of order, a gap")
        << "乱序.xlsx"
        << book("<row r=\"5\"><c r=\"C5\"><v>3600</v></c><c r=\"A5\" t=\"inlineStr\"><is><t>KL5</t></is></c></row>"
                "<row r=\"2\"><c r=\"C2\"><v>4200</v></c><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\"><v>300</v></c>"
                "</row>");
    QTest::newRow("a formula without its value, a shared string that is not there")
        << "坏格.xlsx"
        << book("<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\"><f>100+100</f></c><c r=\"C2\"><v>4500</v>"
                "</c></row><row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>KL3</t></is></c><c r=\"B3\" t=\"s\"><v>"
                "7</v></c><c r=\"C3\"><v>4500</v></c></row>");
    QTest::newRow("a CSV with a refused width and a zero length")
        << "梁表.csv" << QByteArray("梁号,梁宽度(mm),梁长度(mm)\r\nKL1,12a,4500\r\nKL2,200,0\r\nKL3,,3000\r\n");
    // Cells that do not line up with the header: a row too long, one too
    // short, a quote that never closes; a bare comma in a mark shifts every value.
    QTest::newRow("a ragged CSV") << "参差.csv"
                                  << QByteArray("梁号,梁宽度,梁高度\r\nKL1,200,500\r\nKL2,250,600,9\r\nKL3,300\r\n"
                                                "KL5,\"200\r\n");
    QTest::newRow("a mark with a bare comma")
        << "逗号.csv" << QByteArray("梁号,梁宽度,梁高度,梁长度\nKL1,2,200,500,4800\nKL2,200,500,4800\n");
}

void TestScheduleWindow::windowAndCommandLineReadAFileAlike() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = dir_->filePath(name);
    WriteAll(path, bytes);
    QVERIFY(window_->OpenFile(path));
    QProcess calc;
    calc.start(QUORVANE_CALC_EXE, {"--csv", path});
    QVERIFY(calc.waitForFinished(30000));
    CsvReader reader{calc.readAllStandardOutput().toStdString()};
    std::vector<std::string> header, cells;
    QVERIFY(reader.Next(header));
    QList<QStringList> fromCalc;
    while (reader.Next(cells)) {
        QStringList row;
        for (std::size_t c = 0; c < kScheduleColumnCount; ++c) {
            const auto at = std::find(header.begin(), header.end(), ColumnField(ColumnAt(c))) - header.begin();
            row << QString::fromStdString(cells.at(static_cast<std::size_t>(at)));
        }
        fromCalc << row;
    }
    QList<QStringList> fromWindow;
    for (int r = 0; r < window_->model().beamCount(); ++r) {
        QStringList row;
        for (int c = 0; c < int(kScheduleColumnCount); ++c)
            row << QString::fromStdString(window_->model().CellString(r, c));
        fromWindow << row;
    }
    QVERIFY(!fromCalc.isEmpty());
    QCOMPARE(fromWindow, fromCalc);
    // The cells named as unreadable: the same in both.
    const QString said = QString::fromUtf8(calc.readAllStandardError());
    const QRegularExpression cell(QStringLiteral("一层!\\w+\\d"));
    QStringList inWindow, inCalc;
    for (auto m = cell.globalMatch(dialogs_->messages.join('\n')); m.hasNext();) inWindow << m.next().captured();
    for (auto m = cell.globalMatch(said); m.hasNext();) inCalc << m.next().captured();
    QCOMPARE(inWindow, inCalc);
    if (name == "坏格.xlsx") QCOMPARE(inCalc, (QStringList{"一层!B2", "一层!B3"}));
    if (name == "参差.csv") {
        // The row is the user's once edited: it computes from what it shows; undone, it is refused again.
        QVERIFY(dialogs_->messages.join('\n').contains("没有计算"));
        const int error = Column(ColumnKind::Error);
        TypeInto(1, Column(ColumnKind::Input, FindParam("BeamHeight")), "650");
        QCOMPARE(window_->model().CellString(1, error), std::string());
        QVERIFY(!window_->model().CellString(1, Column(ColumnKind::Result, 0)).empty());
        window_->undoStack().undo();
        QCOMPARE(window_->model().CellString(1, error), std::string("这一行有 4 列,列名行有 3 列"));
    }
}

// What a formula would make of a save is said before it: an input that is
// a formula (its cached value computed, which Excel computes again on
// opening), and another sheet's formula pointing at a row that moves.
void TestScheduleWindow::formulasThatTheSaveCannotFollowAreSaid() {
    const auto text = [](const char* at, const char* t) {
        return std::string("<c r=\"") + at + "\" t=\"inlineStr\"><is><t>" + t + "</t></is></c>";
    };
    const std::string floor =
        "<row r=\"1\">" + text("A1", "梁号") + text("B1", "梁高度(mm)") + "</row><row r=\"2\">" + text("A2", "KL1") +
        "<c r=\"B2\"><v>550</v></c></row><row r=\"3\">" + text("A3", "KL2") + "<c r=\"B3\"><f>B2+100</f><v>650</v></c></row>"
        "<row r=\"4\">" + text("A4", "KL3") + "<c r=\"B4\"><f>250*2</f><v>500</v></c></row>";  // (cannot change)
    const std::string summary = "<row r=\"1\"><c r=\"A1\"><f>一层!B4</f><v>500</v></c></row>";
    const QString path = dir_->filePath("公式.xlsx");
    WriteAll(path, QByteArray::fromStdString(test::ExcelWorkbook(
                       {{"一层", test::ExcelSheet(floor)}, {"汇总", test::ExcelSheet(summary)}}, "")));
    QVERIFY(window_->OpenFile(path));
    const QByteArray before = ReadAll(path);
    TypeInto(0, Field("BeamHeight"), "600");  // KL2's height, a formula on it, would follow in Excel
    QVERIFY(!window_->Save());                // (the recording dialogs cancel)
    QCOMPARE(dialogs_->lossQuestions.size(), 1);
    QVERIFY2(dialogs_->lossQuestions[0].contains("1 个输入格是公式 (如 B3)"), qPrintable(dialogs_->lossQuestions[0]));
    QCOMPARE(ReadAll(path), before);
    window_->undoStack().undo();
    window_->view()->selectionModel()->setCurrentIndex(window_->view()->model()->index(0, 0),
                                                       QItemSelectionModel::ClearAndSelect);
    window_->DeleteRows();  // KL3 moves up a row, under 汇总's =一层!B4
    QVERIFY(!window_->Save());
    QCOMPARE(dialogs_->lossQuestions.size(), 2);
    QVERIFY2(dialogs_->lossQuestions[1].contains("工作表“汇总”中的公式按行号引用了工作表“一层”"),
             qPrintable(dialogs_->lossQuestions[1]));
    QCOMPARE(ReadAll(path), before);
}

// Deleting a beam moves the rows below it, and the formula beside them
// would point at the wrong row: the window asks, and a cancel writes nothing.
void TestScheduleWindow::aSaveThatWouldMoveFormulasAsksFirst() {
    const QString path = dir_->filePath("楼.xlsx");
    WriteAll(path, QByteArray::fromStdString(test::TwoFloors()));
    QVERIFY(window_->OpenFile(path));
    Paste("KL1\nKL3", 0, 0);  // the first as it was, a new beam below
    QVERIFY(window_->Save());  // a new beam below the last: nothing moves, nothing asked
    QVERIFY(dialogs_->lossQuestions.isEmpty());
    QVERIFY(Part(path, "xl/worksheets/sheet1.xml").find("<c r=\"A3\" t=\"inlineStr\">") != std::string::npos);
    const QByteArray saved = ReadAll(path);
    window_->view()->selectionModel()->setCurrentIndex(window_->view()->model()->index(0, 0),
                                                       QItemSelectionModel::ClearAndSelect);  // (the paste left both selected)
    window_->DeleteRows();
    QVERIFY(!window_->Save());
    QCOMPARE(dialogs_->lossQuestions.size(), 1);
    QVERIFY2(dialogs_->lossQuestions[0].contains("公式"), qPrintable(dialogs_->lossQuestions[0]));
    QCOMPARE(ReadAll(path), saved);
    dialogs_->lossAnswers = {LossAnswer::SaveAnyway};
    QVERIFY(window_->Save());
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(Table(*window_)[0][0], QString("KL3"));
    QCOMPARE(window_->model().beamCount(), 1);
}

// A pasted header is read by one rule: each column by its name, whatever
// the order; an unknown column is left out and named, never shifted into
// its neighbours (a length must not land in a density).
void TestScheduleWindow::pastedHeaderPlacesColumnsByNameOrLeavesThemOut_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("leftOut");
    QTest::newRow("an extra column 备注") << "梁号\t梁宽度(mm)\t梁高度(mm)\t梁长度(mm)\t备注"
                                          << "备注";
    QTest::newRow("full-width brackets from an input method")
        << "梁号\t梁宽度（mm）\t梁高度（ｍｍ）\t梁长度(mm)\t备注"
        << "备注";
    QTest::newRow("blanks, the ideographic one too")
        << "梁号\t梁宽度 (mm)\t梁高度\u3000(mm)\t梁长度(mm)\t备注"
        << "备注";
    QTest::newRow("field names in any case, an unknown first")
        << "Remark\tmark\tbeamwidth\tBEAMHEIGHT\tBeamLength"
        << "Remark";
}

void TestScheduleWindow::pastedHeaderPlacesColumnsByNameOrLeavesThemOut() {
    QFETCH(QString, header);
    QFETCH(QString, leftOut);
    const QStringList names = header.split('\t');
    // The same two beams under any header: values by name.
    QString block = header + "\r\n";
    for (const QStringList& beam :
         {QStringList{"KL8", "250", "600", "4200", "靠窗"}, QStringList{"KL9", "300", "700", "5100", "-"}}) {
        QStringList cells;
        for (const QString& name : names) {
            const int at = name.startsWith("Remark") || name == "备注"                               ? 4
                           : name.contains("梁号") || name.compare("mark", Qt::CaseInsensitive) == 0 ? 0
                           : name.contains("宽") || name.contains("width", Qt::CaseInsensitive)      ? 1
                           : name.contains("高") || name.contains("height", Qt::CaseInsensitive)     ? 2
                                                                                                     : 3;
            cells << beam[at];
        }
        block += cells.join('\t') + "\r\n";
    }
    Paste(block, 0, 0);
    const QList<QStringList> table = Table(*window_);
    QCOMPARE(table.size(), 2);
    QCOMPARE(table[1][0], QString("KL9"));
    QCOMPARE(table[0][Field("BeamWidth")], QString("250"));
    QCOMPARE(table[0][Field("BeamHeight")], QString("600"));
    QCOMPARE(table[1][Field("BeamLength")], QString("5100"));
    QCOMPARE(table[0][Field("BeamDensity")],
             QString::fromUtf8(kParams[std::size_t(FindParam("BeamDensity"))].defaultText.data()));
    QVERIFY2(window_->statusBar()->currentMessage().contains(leftOut),
             qPrintable(window_->statusBar()->currentMessage()));
}

void TestScheduleWindow::pasteGoesToTheSelectionsTopLeftAndFillsIt() {
    Paste("KL1\nKL2\nKL3\nKL4\nKL5\nKL6\n", 0, 0);
    QTableView* view = window_->view();
    const int width = Field("BeamWidth");
    const auto select = [&](int top, int bottom, int left, int right) {
        view->selectionModel()->select(
            QItemSelection(view->model()->index(top, left), view->model()->index(bottom, right)),
            QItemSelectionModel::ClearAndSelect);
        view->selectionModel()->setCurrentIndex(view->model()->index(bottom, right),
                                                QItemSelectionModel::NoUpdate);
    };
    const auto widths = [&] {
        QStringList column;
        for (const QStringList& row : Table(*window_)) column << row[width];
        return column;
    };
    // Rows 2-4 selected from the top down, the current cell at the bottom: a
    // two-row block lands at the top.
    select(1, 3, width, width);
    QGuiApplication::clipboard()->setText("210\n220\n");
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(widths(), (QStringList{"200", "210", "220", "200", "200", "200"}));
    // As Excel leaves it: the cells pasted selected, the block's top-left current.
    const auto selected = [&] {
        QModelIndexList cells = view->selectionModel()->selectedIndexes();
        std::sort(cells.begin(), cells.end());
        return cells;
    };
    QCOMPARE(selected(), (QModelIndexList{view->model()->index(1, width), view->model()->index(2, width)}));
    QCOMPARE(view->currentIndex(), view->model()->index(1, width));
    // One value fills the selection.
    select(0, 4, width, width);
    QGuiApplication::clipboard()->setText("250");
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(widths(), (QStringList{"250", "250", "250", "250", "250", "200"}));
    // A block that divides the selection repeats.
    select(0, 5, width, width + 1);
    QGuiApplication::clipboard()->setText("300\t700\n310\t710\n");
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(widths(), (QStringList{"300", "310", "300", "310", "300", "310"}));
    QCOMPARE(Table(*window_)[4][width + 1], QString("700"));
    QCOMPARE(selected().size(), 12);
    QCOMPARE(view->currentIndex(), view->model()->index(0, width));
    window_->undoStack().undo();
    QCOMPARE(widths(), (QStringList{"250", "250", "250", "250", "250", "200"}));
}

void TestScheduleWindow::aNewScheduleIsTypedMarkEnterMarkEnter() {
    QVERIFY(window_->NewSchedule());
    QTableView* view = window_->view();
    QCOMPARE(window_->model().beamCount(), 0);  // only the empty row to type into
    QCOMPARE(view->currentIndex(), view->model()->index(0, 0));
    view->setFocus();
    for (const QString mark : {"KL1", "KL2", "KL3"}) {
        // Keys go where a person's would: the first opens the editor, the rest go into it.
        for (const QChar c : mark) QTest::keyClicks(QApplication::focusWidget(), QString(c));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    const QList<QStringList> table = Table(*window_);
    QCOMPARE(table.size(), 3);
    QCOMPARE((QStringList{table[0][0], table[1][0], table[2][0]}), (QStringList{"KL1", "KL2", "KL3"}));
    QCOMPARE(view->currentIndex(), view->model()->index(3, 0));  // on the empty row, which is no beam
    QCOMPARE(view->model()->headerData(3, Qt::Vertical).toString(), QString("*"));
    // Enter on the last beam goes to the empty row without making a beam of it.
    TypeInto(2, Field("BeamWidth"), "250");
    QCOMPARE(view->currentIndex().row(), 3);
    QCOMPARE(window_->model().beamCount(), 3);
    const QString path = dir_->filePath("new.csv");
    QVERIFY(window_->SaveAs(path));
    QCOMPARE(ReadAll(path).count('\n'), 4);  // the header and three beams
    window_->undoStack().undo();  // the width
    window_->undoStack().undo();  // KL3, typed into the empty row: gone whole
    QCOMPARE(Table(*window_).size(), 2);
}

// Tab from a mark being typed goes on along its row (the mark is edited in
// the frozen column, whose next cell is no place to type): in the empty
// row too, where the row becomes one beam, not a beam a cell.
void TestScheduleWindow::tabFromATypedMarkGoesOnAlongTheRow() {
    Paste("KL1\t300\n", 0, 0);
    QTableView* view = window_->view();
    for (const int row : {0, 1}) {  // a beam's, then the empty row's
        view->selectionModel()->setCurrentIndex(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
        view->setFocus();
        for (const QString& typed : {QString("KL1%1").arg(row), QString("250"), QString("600")}) {
            for (const QChar c : typed) QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QTest::keyClick(QApplication::focusWidget(), typed == "600" ? Qt::Key_Return : Qt::Key_Tab);
            QCoreApplication::processEvents();
        }
        QCOMPARE(window_->model().beamCount(), row + 1);  // the empty row's typing: one beam
        const QList<QStringList> table = Table(*window_);
        const int place1 = view->horizontalHeader()->logicalIndex(1), place2 = view->horizontalHeader()->logicalIndex(2);
        QCOMPARE((QStringList{table[row][0], table[row][place1], table[row][place2]}),
                 (QStringList{QString("KL1%1").arg(row), "250", "600"}));
    }
    // With the results beside the mark, Tab passes over them to the first input.
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(true);
    view->selectionModel()->setCurrentIndex(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    view->setFocus();
    for (const QChar c : QString("KL9")) QTest::keyClicks(QApplication::focusWidget(), QString(c));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCOMPARE(view->currentIndex().column(), Field("BeamWidth"));
    for (const QChar c : QString("260")) QTest::keyClicks(QApplication::focusWidget(), QString(c));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(Table(*window_)[0][Field("BeamWidth")], QString("260"));
}

// Below the last beam, as in a spreadsheet: a block pasted there adds its
// rows, and a sort keeps the empty row at the bottom.
void TestScheduleWindow::aPasteBelowTheDataAddsBeamsAndOverwritesNone() {
    const QString path = dir_->filePath("two.csv");
    WriteAll(path, "Mark,BeamWidth,WindowWidth\nKL10,200,1800\nKL2,250,1800\n");
    QVERIFY(window_->OpenFile(path));
    QTableView* view = window_->view();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->currentIndex().row(), 2);
    QGuiApplication::clipboard()->setText("梁号\t梁宽度(mm)\nKL3\t300\nKL4\t300\n");
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.join('\n')));
    const std::size_t window = std::size_t(FindParam("WindowWidth"));
    QCOMPARE(window_->model().beamCount(), 4);
    QCOMPARE(window_->model().rows()[1].mark(), std::string_view("KL2"));
    QCOMPARE(window_->model().rows()[1].text(window), std::string_view("1800"));
    QCOMPARE(window_->model().rows()[2].text(window), ScheduleRow().text(window));  // its own, not KL2's
    window_->SortBy(0, Qt::DescendingOrder);
    QCOMPARE(Table(*window_)[0][0], QString("KL10"));  // and the empty row still last
    window_->SortBy(0, Qt::AscendingOrder);
    QCOMPARE(Table(*window_)[3][0], QString("KL10"));
    QCOMPARE(Table(*window_).size(), 4);
}

// Excel's keys, one by one, on three beams (KL2 without a width): what
// each leaves in the marks, widths and heights, where the cell is and how
// many cells are selected; and Ctrl+Z takes each change back.
void TestScheduleWindow::excelsKeysDoWhatExcelsDo_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("rows");      // selected down from row (0: the current cell alone)
    QTest::addColumn<int>("columns");   // selected right from field, as shown
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("after");
    const QString start = "KL1,KL2,KL3|200,,300|500,600,700";
    QTest::newRow("Ctrl+D fills the selection down") << "Ctrl+D" << 0 << "BeamWidth" << 3 << 1 << QStringList()
                                                     << "KL1,KL2,KL3|200,200,200|500,600,700 @0,BeamWidth 3 selected";
    QTest::newRow("Ctrl+D in one cell takes the one above") << "Ctrl+D" << 1 << "BeamWidth" << 0 << 0 << QStringList()
                                                            << "KL1,KL2,KL3|200,200,300|500,600,700 @1,BeamWidth";
    QTest::newRow("Ctrl+R fills right") << "Ctrl+R" << 0 << "BeamWidth" << 1 << 2 << QStringList()
                                        << "KL1,KL2,KL3|200,,300|200,600,700 @0,BeamWidth 2 selected";
    QTest::newRow("Ctrl+Enter fills the selection with what was typed")
        << "F2 250 Ctrl+Return" << 0 << "BeamWidth" << 3 << 1 << QStringList()
        << "KL1,KL2,KL3|250,250,250|500,600,700 @0,BeamWidth 3 selected";
    // (a keyboard's Ctrl+Shift+= reaches the shortcuts as Ctrl++ too: Qt's key
    // mapper offers the + without the Shift that made it; checked on X11 by hand)
    QTest::newRow("Ctrl++ (Ctrl+Shift+=) inserts a row") << "Ctrl++" << 1 << "Mark" << 0 << 0 << QStringList()
                                                         << "KL1,,KL2,KL3|200,200,,300|500,500,600,700 @1,Mark";
    QTest::newRow("Ctrl+- deletes the row") << "Ctrl+-" << 1 << "Mark" << 0 << 0 << QStringList()
                                            << "KL1,KL3|200,300|500,700 @1,Mark";
    QTest::newRow("Ctrl+Shift+D copies the row below it") << "Ctrl+Shift+D" << 1 << "Mark" << 0 << 0 << QStringList()
                                                           << "KL1,KL2,KL2,KL3|200,,,300|500,600,600,700 @1,Mark";
    QTest::newRow("Ctrl+Space selects the column") << "Ctrl+Space" << 0 << "BeamHeight" << 0 << 0 << QStringList()
                                                   << start + " @0,BeamHeight 4 selected";
    QTest::newRow("Shift+Space selects the row") << "Shift+Space" << 2 << "BeamHeight" << 0 << 0 << QStringList()
                                                 << start + " @2,BeamHeight " + QString::number(kScheduleColumnCount) + " selected";
    QTest::newRow("Ctrl+Down runs to the next filled cell") << "Ctrl+Down" << 0 << "BeamWidth" << 0 << 0
                                                            << QStringList() << start + " @2,BeamWidth";
    QTest::newRow("Ctrl+Down runs to the end of the filled cells") << "Ctrl+Down" << 0 << "BeamHeight" << 0 << 0
                                                                   << QStringList() << start + " @2,BeamHeight";
    QTest::newRow("Ctrl+Down from the last beam: the empty row") << "Ctrl+Down" << 2 << "Mark" << 0 << 0
                                                                 << QStringList() << start + " @3,Mark";
    QTest::newRow("Ctrl+Up runs to the first beam") << "Ctrl+Up" << 2 << "BeamHeight" << 0 << 0 << QStringList()
                                                    << start + " @0,BeamHeight";
    QTest::newRow("Ctrl+Shift+Down selects to the edge") << "Ctrl+Shift+Down" << 0 << "BeamHeight" << 0 << 0
                                                         << QStringList() << start + " @0,BeamHeight 3 selected";
    QTest::newRow("Ctrl+G goes to a mark") << "Ctrl+G" << 0 << "Mark" << 0 << 0 << QStringList{"kl3"}
                                           << start + " @2,Mark";
    QTest::newRow("Ctrl+F finds a value") << "Ctrl+F" << 0 << "Mark" << 0 << 0 << QStringList{"kl2"}
                                          << start + " @1,Mark";
    QTest::newRow("F3 finds it again, round the table") << "Ctrl+F F3" << 0 << "Mark" << 0 << 0
                                                        << QStringList{"KL"} << start + " @2,Mark";
    QTest::newRow("Ctrl+H replaces in marks and values")
        << "Ctrl+H" << 0 << "Mark" << 0 << 0 << QStringList{"KL", "WKL"} << "WKL1,WKL2,WKL3|200,,300|500,600,700 @0,Mark";
    QTest::newRow("Ctrl+X then Ctrl+V moves the cells") << "Ctrl+X Down Down Ctrl+V" << 0 << "BeamHeight" << 0 << 0
                                                        << QStringList() << "KL1,KL2,KL3|200,,300|,600,500 @2,BeamHeight";
    QTest::newRow("Ctrl+C then Ctrl+V copies them") << "Ctrl+C Down Down Ctrl+V" << 0 << "BeamHeight" << 0 << 0
                                                    << QStringList() << "KL1,KL2,KL3|200,,300|500,600,500 @2,BeamHeight";
    QTest::newRow("Enter moves down, Shift+Enter up") << "Return Return Shift+Return" << 0 << "BeamWidth" << 0 << 0
                                                      << QStringList() << start + " @1,BeamWidth";
    QTest::newRow("Ctrl+End goes to the last beam, not the empty row") << "Ctrl+End" << 0 << "Mark" << 0 << 0
                                                                       << QStringList() << start + " @2,Error";
    QTest::newRow("a click on a caption selects the column, sorts nothing")
        << "click" << 0 << "BeamHeight" << 0 << 0 << QStringList() << start + " @0,BeamHeight 4 selected";
}

void TestScheduleWindow::excelsKeysDoWhatExcelsDo() {
    QFETCH(QString, keys);
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QStringList, typed);
    QFETCH(QString, after);
    const QString path = dir_->filePath("three.csv");
    WriteAll(path, "Mark,BeamWidth,BeamHeight\nKL1,200,500\nKL2,,600\nKL3,300,700\n");
    QVERIFY(window_->OpenFile(path));
    dialogs_->typed = typed;
    QTableView* view = window_->view();
    QAbstractItemModel* model = view->model();
    const QHeaderView* header = view->horizontalHeader();
    const auto column = [](const QString& name) {
        return name == "Mark" ? Column(ColumnKind::Mark) : Field(name.toLatin1().constData());
    };
    const auto summary = [&] {
        QStringList parts;
        for (const char* f : {"Mark", "BeamWidth", "BeamHeight"}) {
            QStringList cells;
            for (int r = 0; r < window_->model().beamCount(); ++r) cells << model->index(r, column(f)).data().toString();
            parts << cells.join(',');
        }
        const QModelIndex at = view->currentIndex();
        QString text = parts.join('|') + QStringLiteral(" @%1,%2").arg(at.row()).arg(
                                             QString::fromStdString(std::string(ColumnField(ColumnAt(std::size_t(at.column()))))));
        const QModelIndexList indexes = view->selectionModel()->selectedIndexes();
        const int selected = int(std::count_if(indexes.begin(), indexes.end(),
                                               [view](const QModelIndex& i) { return !view->isColumnHidden(i.column()); }));
        return selected > 1 ? text + QStringLiteral(" %1 selected").arg(selected) : text;
    };
    const QString before = summary();
    const QModelIndex at = model->index(row, column(field));
    view->setFocus();
    view->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    if (rows > 0) {
        QItemSelection block;
        const int place = header->visualIndex(at.column());
        for (int p = place; p < place + columns; ++p)
            block.select(model->index(row, header->logicalIndex(p)), model->index(row + rows - 1, header->logicalIndex(p)));
        view->selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
    }
    for (const QString& key : keys.split(' ')) {
        QWidget* target = QApplication::focusWidget();
        if (key == "click") {
            const int x = header->sectionViewportPosition(at.column()) + header->sectionSize(at.column()) / 2;
            QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
            QCOMPARE(header->sortIndicatorSection(), -1);
        } else if (key == "250") {
            QTest::keyClicks(target, key);
        } else {
            const QKeySequence sequence(key);
            QTest::keyClick(target, Qt::Key(sequence[0].key()), sequence[0].keyboardModifiers());
        }
        QCoreApplication::processEvents();
    }
    QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.join('\n')));
    QCOMPARE(summary(), after);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));  // the keyboard stays on the table
    if (window_->undoStack().canUndo()) {
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(summary().section(' ', 0, 0), before.section(' ', 0, 0));
        QVERIFY(!window_->undoStack().canUndo());
    }
}

// The mark column stays on top while the table scrolls; a mark is typed
// there, in sight, and the keyboard comes back to the table after.
void TestScheduleWindow::aMarkIsTypedWhereItCanBeSeen() {
    Paste("KL1\t300\nKL2\t250\n", 0, 0);
    QTableView* view = window_->view();
    auto* frozen = view->findChild<QTableView*>("FrozenMarkColumn");
    QVERIFY(frozen);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(1, 0));
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QVERIFY(frozen->isAncestorOf(editor));  // not under the frozen column, where no one sees it
    editor->selectAll();
    editor->insert("KL2a");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(window_->model().rows()[1].mark(), std::string_view("KL2a"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
    // A double-click on the frozen mark, an edit, and the keys still move in the table.
    const QRect cell = frozen->visualRect(frozen->model()->index(0, 0));
    QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(frozen->viewport(), Qt::LeftButton, {}, cell.center());
    editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(view->currentIndex().row(), 1);
    // Tab goes on to the column shown next to it.
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(true);
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(view->currentIndex().column(), view->horizontalHeader()->logicalIndex(1));
}

// Another spreadsheet's cells shown rounded: its HTML flavour carries the
// full value, which the paste takes; a date, or no HTML at all, is taken
// as shown.
void TestScheduleWindow::aPasteTakesTheFullValueBehindARoundedCell_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("ratio");
    // As LibreOffice Calc puts a copied block on the clipboard.
    const QString calc = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\"><html><head><meta "
                         "http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/></head><body>"
                         "<table cellspacing=\"0\" border=\"0\"><colgroup width=\"89\"></colgroup>\n"
                         "\t<tr>\n\t\t<td height=\"17\" align=\"left\"><font face=\"Noto Sans CJK SC\">梁号</font></td>\n"
                         "\t\t<td align=\"left\"><font face=\"Noto Sans CJK SC\">折算比例</font></td>\n\t</tr>\n"
                         "\t<tr>\n\t\t<td height=\"17\" align=\"right\" sdval=\"45293\" sdnum=\"2052;2052;YYYY/M/D\">2024/1/2</td>\n"
                         "\t\t<td align=\"right\" sdval=\"0.833333333333333\" sdnum=\"2052;0;0.00\">0.83</td>\n\t</tr>\n"
                         "</table></body></html>";
    QTest::newRow("LibreOffice Calc") << calc << "2024/1/2" << "0.833333333333333";
    // As Excel does (x:num with the value when it is not what is shown).
    QTest::newRow("Excel") << "<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><body><table><tr><td>梁号</td>"
                              "<td>折算比例</td></tr><tr><td class=xl66>2024/1/2</td><td class=xl65 "
                              "x:num=\"0.83333333333333337\">0.83</td></tr></table></body></html>"
                           << "2024/1/2" << "0.83333333333333337";
    QTest::newRow("text alone") << QString() << "2024/1/2" << "0.83";
    QTest::newRow("HTML of another block") << "<table><tr><td>x</td></tr><tr><td>KL9</td><td sdval=\"0.5\">0.5</td></tr></table>"
                                           << "2024/1/2" << "0.83";
}

void TestScheduleWindow::aPasteTakesTheFullValueBehindARoundedCell() {
    QFETCH(QString, html);
    QFETCH(QString, mark);
    QFETCH(QString, ratio);
    auto* mime = new QMimeData;
    mime->setText("梁号\t折算比例\n2024/1/2\t0.83\n");
    if (!html.isEmpty()) mime->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(mime);
    QTableView* view = window_->view();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QVERIFY2(dialogs_->messages.isEmpty(), qPrintable(dialogs_->messages.join('\n')));
    QCOMPARE(window_->model().beamCount(), 1);
    QCOMPARE(QString::fromStdString(std::string(window_->model().rows()[0].mark())), mark);
    QCOMPARE(QString::fromStdString(std::string(window_->model().rows()[0].text(std::size_t(FindParam("ReductionRatio"))))),
             ratio);
}

// The window's size, the columns' widths and the sort are where the last
// run left them.
void TestScheduleWindow::aDaysSetUpIsKeptForTheNextRun() {
    const QString path = dir_->filePath("three.csv");
    WriteAll(path, "Mark,BeamWidth\nKL1,200\nKL3,300\nKL2,250\n");
    QVERIFY(window_->OpenFile(path));
    const int width = Field("BeamWidth");
    window_->view()->setColumnWidth(width, 151);
    window_->SortBy(0, Qt::DescendingOrder);
    window_->resize(900, 500);
    window_->undoStack().setClean();
    QVERIFY(window_->close());
    window_ = std::make_unique<ScheduleWindow>(dialogs_.get());
    ShowAgain();
    QCOMPARE(window_->size(), QSize(900, 500));
    QCOMPARE(window_->view()->columnWidth(width), 151);
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->view()->horizontalHeader()->sortIndicatorSection(), 0);
    QCOMPARE(Table(*window_)[0][0], QString("KL3"));
    QVERIFY(window_->undoStack().isClean());  // a way of showing, not a change
}

// Unsaved work is copied each minute beside the settings; a window that
// ends without saving it (here: its copy left as a crash leaves it) has it
// offered back by the next one, as unsaved work; a save or a close
// leaves no copy.
void TestScheduleWindow::unsavedWorkComesBackAfterACrash() {
    QDir(ScheduleWindow::AutosaveRoot()).removeRecursively();
    const QString path = dir_->filePath("楼.xlsx");
    WriteAll(path, QByteArray::fromStdString(test::TwoFloors()));
    QVERIFY(window_->OpenFile(path));
    TypeInto(0, Field("BeamWidth"), "260");
    window_->Autosave();
    const QStringList copies = QDir(ScheduleWindow::AutosaveRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(copies.size(), 1);
    QVERIFY(!QFileInfo(path).dir().entryList().join(',').contains("sheet-"));  // nothing beside the file
    // As a crash leaves it: the copy there, its window's lock gone.
    const QString own = ScheduleWindow::AutosaveRoot() + "/" + copies[0];
    const QString crashed = ScheduleWindow::AutosaveRoot() + "/crashed";
    QDir().mkpath(crashed);
    for (const QString& name : QDir(own).entryList(QDir::Files))
        if (name != "lock") QVERIFY(QFile::copy(own + "/" + name, crashed + "/" + name));
    const QList<QStringList> typed = Table(*window_);
    // Saved: the window's own copy goes.
    QVERIFY(window_->Save());
    QCOMPARE(QDir(own).entryList(QDir::Files), QStringList{"lock"});
    window_->Autosave();  // nothing unsaved: nothing copied
    QCOMPARE(QDir(own).entryList(QDir::Files), QStringList{"lock"});
    QVERIFY(window_->close());
    QVERIFY(!QDir(own).exists());
    // The next window offers the crashed copy, and opens it as unsaved work.
    window_ = std::make_unique<ScheduleWindow>(dialogs_.get());
    ShowAgain();
    QVERIFY(window_->OfferRecovery());
    QCOMPARE(dialogs_->offered, QStringList{"楼.xlsx"});
    QCOMPARE(window_->sheetCount(), 2);
    QCOMPARE(window_->sheetName(1), QString("二层"));
    QCOMPARE(Table(*window_), typed);
    QVERIFY(window_->isWindowModified());
    QVERIFY(window_->path().isEmpty());  // saved where the user says, never over the workbook unasked
    QVERIFY(!QDir(crashed).exists());  // offered once
    QVERIFY(!window_->OfferRecovery());
    // The recovered work has its own copy at once: a second crash at once still finds it.
    const QStringList again = QDir(ScheduleWindow::AutosaveRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(again.size(), 1);
    const QString copy = ScheduleWindow::AutosaveRoot() + "/" + again[0];
    QVERIFY(QFile::exists(copy + "/sheet-2.csv"));
    QVERIFY(ReadAll(copy + "/sheet-1.csv").contains("260"));
}

// A beam sent from the calculator (发送到梁表) comes in as a new row at
// the end, undoable; 在计算器中打开 hands the current beam to it.
void TestScheduleWindow::beamsGoBetweenTheCalculatorAndTheSchedule() {
    Paste("KL1\t300\n", 0, 0);
    BeamReceiver fromCalculator(Inbox::Schedule);
    QVERIFY(fromCalculator.receiving());
    connect(&fromCalculator, &BeamReceiver::beamArrived, window_.get(), &ScheduleWindow::AppendBeam);
    HandedBeam beam;
    beam.texts.Set("BeamWidth", "250");
    beam.texts.Set("ReductionRatio", "0.8");
    beam.texts.Set("WallDensity", "5.5");
    beam.materials[1] = "蒸压粉煤灰加气混凝土砌块";  // the wall's, picked in the calculator
    QString reason;
    QVERIFY2(SendBeam(Inbox::Schedule, beam, QString(), &reason), qPrintable(reason));
    QTRY_COMPARE(window_->model().beamCount(), 2);
    const ScheduleRow& row = window_->model().rows()[1];
    QCOMPARE(row.text(std::size_t(FindParam("BeamWidth"))), std::string_view("250"));
    QCOMPARE(row.text(std::size_t(FindParam("ReductionRatio"))), std::string_view("0.8"));
    QCOMPARE(row.material(1), std::string_view("蒸压粉煤灰加气混凝土砌块"));
    QVERIFY(!window_->view()->isColumnHidden(Column(ColumnKind::Material, 1)));
    QCOMPARE(window_->view()->currentIndex().row(), 1);
    QVERIFY(window_->isWindowModified());
    window_->undoStack().undo();
    QCOMPARE(window_->model().beamCount(), 1);
    QVERIFY(window_->view()->isColumnHidden(Column(ColumnKind::Material, 1)));  // it goes with its beam

    BeamReceiver calculator(Inbox::Calculator);  // as the open calculator holds its inbox
    std::vector<HandedBeam> opened;
    connect(&calculator, &BeamReceiver::beamArrived, [&opened](const HandedBeam& b) { opened.push_back(b); });
    QTableView* view = window_->view();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(opened.size(), std::size_t(1));
    QCOMPARE(opened[0].mark, std::string("KL1"));
    QCOMPARE(opened[0].texts[std::size_t(FindParam("BeamWidth"))], std::string("300"));
    // The empty row is no beam to open.
    view->setCurrentIndex(view->model()->index(1, 0));
    QVERIFY(!window_->OpenInCalculator());
    QCOMPARE(dialogs_->messages.size(), 1);
}

// A unit-weight cell's context menu offers GB 50009-2012's materials: the
// selected cells of that column take the figure, in one undoable step.
void TestScheduleWindow::aUnitWeightCellTakesAMaterialsFigure() {
    Paste("KL1\nKL2\nKL3\n", 0, 0);
    const int wall = Field("WallDensity");
    QVERIFY(!window_->MaterialMenu(Field("BeamWidth"), nullptr));
    QTableView* view = window_->view();
    view->selectionModel()->select(QItemSelection(view->model()->index(0, wall), view->model()->index(1, wall)),
                                   QItemSelectionModel::ClearAndSelect);
    std::unique_ptr<QMenu> menu(window_->MaterialMenu(wall, nullptr));
    QVERIFY(menu);
    QAction* coal = nullptr;
    for (QAction* a : menu->actions())
        if (a->text().startsWith("煤渣砖")) coal = a;
    QVERIFY(coal);
    coal->trigger();
    const auto weight = std::size_t(FindParam("WallDensity"));
    QCOMPARE(window_->model().rows()[0].text(weight), std::string_view("18.5"));
    QCOMPARE(window_->model().rows()[1].text(weight), std::string_view("18.5"));
    QCOMPARE(window_->model().rows()[2].text(weight), std::string_view("18"));  // not selected
    window_->undoStack().undo();
    QCOMPARE(window_->model().rows()[0].text(weight), std::string_view("18"));
}

// The material picked or typed stands in a column beside its weight, is
// saved and read back; the weight computes, a weight outside the
// material's range is marked, a name the standard lacks refuses the row.
void TestScheduleWindow::aMaterialColumnIsKeptBesideItsWeight() {
    Paste("KL1\t200\t500\t25\t180\t3000\t18\nKL2\t200\t500\t25\t180\t3000\t18\n"
          "KL3\t200\t500\t25\t180\t3000\t5.5\n", 0, 0);
    const int wall = Field("WallDensity");
    const int material = Column(ColumnKind::Material, 1);  // 墙体材料
    QCOMPARE(window_->view()->model()->headerData(material, Qt::Horizontal).toString(), QString("墙体材料"));
    QTableView* view = window_->view();
    QVERIFY(view->isColumnHidden(material));  // not until one is used
    view->selectionModel()->setCurrentIndex(view->model()->index(0, wall), QItemSelectionModel::ClearAndSelect);
    std::unique_ptr<QMenu> menu(window_->MaterialMenu(wall, nullptr));
    QAction* aerated = nullptr;
    for (QAction* a : menu->actions())
        if (a->text().startsWith("蒸压粉煤灰加气混凝土砌块 ")) aerated = a;
    QVERIFY(aerated);
    aerated->trigger();
    QVERIFY(!view->isColumnHidden(material));
    // Undone, the pick takes its column with it (no empty column left to type into); redone, brings it back.
    window_->undoStack().undo();
    QVERIFY(view->isColumnHidden(material));
    window_->undoStack().redo();
    QVERIFY(!view->isColumnHidden(material));
    QCOMPARE(window_->model().CellString(0, material), std::string("蒸压粉煤灰加气混凝土砌块"));
    QCOMPARE(view->horizontalHeader()->visualIndex(material), view->horizontalHeader()->visualIndex(wall) + 1);
    QCOMPARE(window_->model().CellString(0, wall), std::string("5.5"));
    const int total = Column(ColumnKind::Result, 2);
    QCOMPARE(window_->model().CellString(0, total), window_->model().CellString(2, total));  // as 5.5 typed
    // Typed over, the weight stays what it says, and is marked.
    TypeInto(0, wall, "9");
    QCOMPARE(window_->model().CellString(0, material), std::string("蒸压粉煤灰加气混凝土砌块"));
    const QString note = view->model()->index(0, wall).data(Qt::ToolTipRole).toString();
    QVERIFY2(note.contains("5.5") && note.contains("不在其中"), qPrintable(note));
    QVERIFY(view->model()->index(0, wall).data(Qt::BackgroundRole).isValid());
    QVERIFY(!view->model()->index(2, wall).data(Qt::BackgroundRole).isValid());
    // Its editor lists Table A's names as they are typed.
    view->setCurrentIndex(view->model()->index(1, material));
    view->edit(view->currentIndex());
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
        if (e->completer()) editor = e;
    QVERIFY(editor);
    editor->completer()->setCompletionPrefix("粉煤灰加气");
    QCOMPARE(editor->completer()->currentCompletion(), QString("蒸压粉煤灰加气混凝土砌块"));
    QTest::keyClick(editor, Qt::Key_Escape);
    // A weight's editor has the list on its own menu too; a pick drops what was typed over it.
    view->setCurrentIndex(view->model()->index(2, wall));
    view->edit(view->currentIndex());
    QLineEdit* weightEditor = nullptr;
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible() && e->contextMenuPolicy() == Qt::CustomContextMenu) weightEditor = e;
    QVERIFY(weightEditor);
    weightEditor->setText("77");
    QTimer::singleShot(100, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<QMenu*>(w); shown && shown->isVisible()) {
                for (QMenu* sub : shown->findChildren<QMenu*>())
                    for (QAction* a : sub->actions())
                        if (a->text().startsWith("煤渣砖 ")) a->trigger();
                shown->close();
            }
    });
    emit weightEditor->customContextMenuRequested(QPoint(2, 2));
    QCOMPARE(window_->model().CellString(2, wall), std::string("18.5"));
    QCOMPARE(window_->model().CellString(2, material), std::string("煤渣砖"));
    QTRY_VERIFY(view->viewport()->findChildren<QLineEdit*>().isEmpty());  // the edit ended
    QCOMPARE(window_->model().CellString(2, wall), std::string("18.5"));  // not the 77 typed
    window_->undoStack().undo();
    TypeInto(1, material, "加气砼");
    const std::string refused = window_->model().CellString(1, Column(ColumnKind::Error));
    QVERIFY2(refused.find("不是 GB 50009-2012 表A 中的材料") != std::string::npos, refused.c_str());
    QVERIFY(window_->model().CellString(1, total).empty());
    QVERIFY(view->model()->index(1, material).data(Qt::BackgroundRole).isValid());  // the name itself is marked
    QVERIFY(view->model()->index(1, material).data(Qt::ToolTipRole).toString().contains("最接近的"));
    TypeInto(1, material, "");
    QVERIFY(!window_->model().CellString(1, total).empty());
    // Saved beside its weight and read back.
    const QString path = dir_->filePath("材料.csv");
    QVERIFY(window_->SaveAs(path));
    const QString saved = QString::fromUtf8(ReadAll(path));
    QVERIFY2(saved.contains("WallDensity,WallMaterial,") && saved.contains("9,蒸压粉煤灰加气混凝土砌块,"), qPrintable(saved));
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->model().CellString(0, material), std::string("蒸压粉煤灰加气混凝土砌块"));
    QVERIFY(!window_->view()->isColumnHidden(material));
    // A file naming the material without its weight takes the material's figure, and says so once.
    WriteAll(path, "梁号,墙体材料\r\nKL1,蒸压粉煤灰加气混凝土砌块\r\nKL2,蒸压粉煤灰加气混凝土砌块\r\n");
    dialogs_->messages.clear();
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->model().CellString(1, wall), std::string("5.5"));
    QCOMPARE(dialogs_->messages.join('\n').count("没有它的重量列"), 1);
    // An empty weight beside its material is 0, as everywhere, and marked.
    WriteAll(path, "梁号,墙密度,墙体材料\r\nKL1,,加气混凝土\r\n");
    QVERIFY(window_->OpenFile(path));
    const QString empty = window_->view()->model()->index(0, wall).data(Qt::ToolTipRole).toString();
    QVERIFY2(empty.contains("空,按 0 计算"), qPrintable(empty));
    // Into a workbook: the material and its weight join the floor's columns, read back alike.
    const QString book = dir_->filePath("楼.xlsx");
    WriteAll(book, QByteArray::fromStdString(test::TwoFloors()));
    QVERIFY(window_->OpenFile(book));
    window_->view()->setCurrentIndex(window_->view()->model()->index(0, wall));
    menu.reset(window_->MaterialMenu(wall, nullptr));
    for (QAction* a : menu->actions())
        if (a->text().startsWith("煤渣砖 ")) a->trigger();
    QVERIFY(window_->Save());
    QVERIFY(window_->OpenFile(book));
    QCOMPARE(window_->model().CellString(0, material), std::string("煤渣砖"));
    QCOMPARE(window_->model().CellString(0, wall), std::string("18.5"));
}

void TestScheduleWindow::f12SavesAs() {
    Paste("KL1\t300\n", 0, 0);
    dialogs_->savePath = dir_->filePath("另存.csv");
    QTest::keyClick(window_.get(), Qt::Key_F12);
    QVERIFY(ReadAll(dialogs_->savePath).contains("KL1,300"));
    QCOMPARE(window_->path(), QFileInfo(dialogs_->savePath).absoluteFilePath());
}

// The program's own build of Qt's translation: standard buttons, the file
// dialog and a text box's menu in Chinese.
void TestScheduleWindow::qtsOwnDialogsSpeakChinese() {
    QVERIFY(InstallQtChinese(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::NoIcon, "Quorvane 梁表", "x", QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QString("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("取消"));
    QFileDialog dialog(window_.get());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QDialogButtonBox* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QStringList texts;
    for (const QAbstractButton* b : buttons->buttons()) texts << b->text();
    QVERIFY2(texts.contains("保存(&S)") && texts.contains("取消"), qPrintable(texts.join('|')));
#ifndef Q_OS_WIN  // (Windows' own save dialog adds the suffix itself)
    // A name typed without a suffix gets the chosen type's.
    DesktopScheduleDialogs desktop;
    QTimer::singleShot(0, [this] {
        auto* save = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(save);
        save->selectFile(dir_->filePath("没有后缀"));
        QMetaObject::invokeMethod(save, "accept");
    });
    QCOMPARE(desktop.SavePath(window_.get(), dir_->filePath("二层.xlsx"),
                              "CSV 文件 (*.csv);;Excel 工作簿 (*.xlsx)"),
             dir_->filePath("没有后缀.xlsx"));
#endif
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (const QAction* a : menu->actions()) items << a->text();
    QVERIFY2(items.join('|').contains("粘贴"), qPrintable(items.join('|')));
}

void TestScheduleWindow::anEditedScheduleIsSavedWithItsLoads() {
    const QString path = dir_->filePath("三层.csv");
    const QByteArray inputs = "梁号,梁宽度(mm),门宽度(mm)\r\nKL1,300,900\r\nKL2,250,0\r\n";
    WriteAll(path, inputs);
    QVERIFY(window_->OpenFile(path));
    QVERIFY(window_->Save());
    QCOMPARE(ReadAll(path), inputs);  // unchanged: byte for byte
    TypeInto(1, Column(ColumnKind::Mark), "KL2a");
    QVERIFY(window_->Save());
    // The loads as the command line gives them, under the file's own captions.
    QProcess calc;
    calc.start(QUORVANE_CALC_EXE, {"--csv", path});
    QVERIFY(calc.waitForFinished(30000));
    QCOMPARE(calc.exitCode(), 0);
    const QByteArray saved = ReadAll(path), computed = calc.readAllStandardOutput();
    const QList<QByteArray> lines = saved.split('\n');
    QVERIFY2(lines[0].startsWith("梁号,梁宽度(mm),门宽度(mm),梁自重(KN/M),"), lines[0].constData());
    const QList<QByteArray> computedLines = computed.split('\n');
    for (int r = 1; r <= 2; ++r) {
        const QByteArray loads =
            computedLines[r].split(',').mid(1 + int(kInputCount), int(kResultCount) + 1).join(',');  // after Mark and the inputs
        QVERIFY2(lines[r].contains("," + loads + ","), (lines[r] + " / " + loads).constData());
    }
    // Inputs only, when asked.
    window_->findChild<QAction*>("SaveResults")->setChecked(false);
    const QString inputsOnly = dir_->filePath("只有输入.csv");
    QVERIFY(window_->OpenFile(path));
    WriteAll(inputsOnly, inputs);
    QVERIFY(window_->OpenFile(inputsOnly));
    TypeInto(0, Column(ColumnKind::Mark), "KL1a");
    QVERIFY(window_->Save());
    QCOMPARE(ReadAll(inputsOnly), QByteArray("梁号,梁宽度(mm),门宽度(mm)\r\nKL1a,300,900\r\nKL2,250,0\r\n"));
}

// At the size the window starts with, the mark, the four loads and the
// copied value are in view without scrolling.
void TestScheduleWindow::resultsStandBesideTheMarkAtTheStartSize() {
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(true);  // (as it starts)
    QTableView* view = window_->view();
    const int viewport = view->viewport()->width();
    for (int c : {Column(ColumnKind::Mark), Column(ColumnKind::Result, 0), Column(ColumnKind::Result, 3),
                  Column(ColumnKind::Copied)}) {
        const int left = view->columnViewportPosition(c);
        QVERIFY2(left >= 0 && left + view->columnWidth(c) <= viewport, qPrintable(QString::number(c)));
    }
    // Each caption and the sort arrow fit their section.
    QHeaderView* header = view->horizontalHeader();
    const int arrow = header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c)) continue;  // (a material's, until one is used)
        int caption = 0;
        for (const QString& line : view->model()->headerData(c, Qt::Horizontal).toString().split('\n'))
            caption = std::max(caption, header->fontMetrics().horizontalAdvance(line));
        QVERIFY2(header->sectionSize(c) >= caption + arrow + 8, qPrintable(QString::number(c)));
    }
    // Scrolled to the far right, the marks still stand at the left edge.
    Paste("KL1\nKL2\n", 0, 0);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    QCoreApplication::processEvents();
    QVERIFY(view->columnViewportPosition(Column(ColumnKind::Mark)) <
            0);  // the table's own mark column is gone
    auto* frozen = view->findChild<QTableView*>("FrozenMarkColumn");
    QVERIFY(frozen && frozen->isVisible());
    QCOMPARE(frozen->geometry().left(), view->verticalHeader()->width() + view->frameWidth());
    QCOMPARE(frozen->width(), view->columnWidth(0) + view->frameWidth());
    QCOMPARE(frozen->model()->index(1, 0).data().toString(), QString("KL2"));
    QVERIFY(frozen->visualRect(frozen->model()->index(1, 0)).intersects(frozen->viewport()->rect()));
    QCOMPARE(frozen->visualRect(frozen->model()->index(1, 0)).top(),
             view->visualRect(view->model()->index(1, 5)).top());
    // And where the file has them, when asked: the order in files never changes.
    window_->findChild<QAction*>("ResultsBesideMark")->setChecked(false);
    QList<int> shown, files;
    for (int place = 0; place < header->count(); ++place)
        if (!header->isSectionHidden(header->logicalIndex(place))) shown << header->logicalIndex(place);
    for (int c = 0; c < int(kScheduleColumnCount); ++c) files << c;
    QCOMPARE(shown, files);
}

// Scattered rows, more than are removed one by one, in a sorted table:
// gone in one step, back in their places on undo, the sort as shown.
void TestScheduleWindow::manyScatteredRowsDeleteAndComeBackExactly() {
    std::string block;
    for (int i = 0; i < 100; ++i)
        AppendTabRecord(block, {"KL" + std::to_string(i), std::to_string(200 + i % 7 * 10)});
    Paste(QString::fromStdString(block), 0, 0);
    QTableView* view = window_->view();
    window_->SortBy(Column(ColumnKind::Mark), Qt::DescendingOrder);  // every other row: 50 runs
    const QList<QStringList> before = Table(*window_);
    QItemSelection every2nd;
    for (int r = 0; r < 100; r += 2) every2nd.select(view->model()->index(r, 0), view->model()->index(r, 0));
    view->selectionModel()->select(every2nd, QItemSelectionModel::ClearAndSelect);
    window_->DeleteRows();
    QList<QStringList> expected;
    for (int r = 1; r < 100; r += 2) expected << before[r];
    QCOMPARE(Table(*window_), expected);
    window_->undoStack().undo();
    QCOMPARE(Table(*window_), before);
    window_->undoStack().redo();
    QCOMPARE(Table(*window_), expected);
    // A few rows, one by one, undone with the key: back in their places too.
    window_->undoStack().undo();
    QItemSelection two;
    two.select(view->model()->index(3, 0), view->model()->index(3, 0));
    two.select(view->model()->index(7, 0), view->model()->index(7, 0));
    view->selectionModel()->select(two, QItemSelectionModel::ClearAndSelect);
    window_->DeleteRows();
    QCOMPARE(Table(*window_).size(), 98);
    QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Table(*window_), before);
}

void TestScheduleWindow::failedSaveKeepsTheOldFileAndTheWork() {
#ifdef Q_OS_WIN
    QSKIP("Windows has no file-size limit to make a save fail half way");
#else
    const QString path = dir_->filePath("beams.csv");
    const QByteArray old = "Mark,BeamWidth\r\nKL1,300\r\n";
    WriteAll(path, old);
    QVERIFY(window_->OpenFile(path));
    std::string block;
    for (int i = 0; i < 200; ++i) AppendTabRecord(block, {"KL" + std::to_string(i), "300"});
    Paste(QString::fromStdString(block), 0, 0);
    const bool ok = test::UnderFileSizeLimit(1000, [this] { return window_->Save(); });
    QVERIFY(!ok);
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY2(dialogs_->messages[0].contains(QDir::toNativeSeparators(path)) &&
                 dialogs_->messages[0].contains("原来的文件没有改动"),
             qPrintable(dialogs_->messages[0]));
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"beams.csv"});
    QVERIFY(window_->isWindowModified());
    QCOMPARE(window_->model().beamCount(), 200);
#endif
}

void TestScheduleWindow::closingWithUnsavedChangesAsks() {
    QVERIFY(window_->close());  // nothing changed: closes without a question
    QVERIFY(dialogs_->questions.isEmpty());
    ShowAgain();
    TypeInto(0, 0, "KL1");
    dialogs_->answers = {SaveAnswer::Cancel};
    QVERIFY(!window_->close());
    QCOMPARE(dialogs_->questions, QStringList{"未命名.csv"});
    QVERIFY(window_->isVisible());
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));
    // Save asks for a name; saved, the window closes.
    dialogs_->answers = {SaveAnswer::Save};
    dialogs_->savePath = dir_->filePath("saved.csv");
    QVERIFY(window_->close());
    QVERIFY(ReadAll(dialogs_->savePath).contains("KL1,"));
    // Discarding closes too, and writes nothing.
    ShowAgain();
    TypeInto(0, 0, "KL2");
    dialogs_->answers = {SaveAnswer::Discard};
    QVERIFY(window_->close());
    QVERIFY(!ReadAll(dialogs_->savePath).contains("KL2"));
}

void TestScheduleWindow::titleShowsTheFileAndTheUnsavedMark() {
    QCOMPARE(window_->windowTitle(), QString("未命名.csv[*] - Quorvane 梁表"));
    QVERIFY(!window_->isWindowModified());
    TypeInto(0, 0, "KL1");
    QVERIFY(window_->isWindowModified());
    const QString path = dir_->filePath("三层梁.csv");
    QVERIFY(window_->SaveAs(path));
    QCOMPARE(window_->windowTitle(), QString("三层梁.csv[*] - Quorvane 梁表"));
    QVERIFY(!window_->isWindowModified());
    QCOMPARE(window_->recentFiles().value(0), QFileInfo(path).absoluteFilePath());
    window_->undoStack().undo();  // back past the save: changed again
    QVERIFY(window_->isWindowModified());
}

void TestScheduleWindow::calculationBookHasEveryBeam() {
    Paste("KL1\t300\nKL/2\t-5\nKL3\t250\n", 0, 0);
    const QString folder = dir_->filePath("计算书");
    QVERIFY(window_->WriteBook(folder));
    QCOMPARE(QDir(folder + "/计算过程").entryList(QDir::Files), (QStringList{"KL1.txt", "KL3.txt"}));
    const ReportOptions options = SystemReportOptions();
    const auto book = DecodeToUtf8(ReadAll(folder + "/梁表计算书.txt").toStdString(), options.charset);
    QVERIFY(book);
    const QString text = QString::fromStdString(*book);
    QVERIFY2(text.contains("\r\n1\tKL1\t"), qPrintable(text.left(400)));
    const QString refusedRow =
        "\r\n2\tKL/2\t\t\t\t\t\t" + QString::fromStdString(InputRefusal(0, "-5")) + "\r\n";
    QVERIFY2(text.contains(refusedRow), qPrintable(text.left(text.indexOf("===="))));
    // Each computed beam's report lines, as its own report file has them.
    for (const char* mark : {"KL1", "KL3"}) {
        const auto report =
            DecodeToUtf8(ReadAll(folder + "/计算过程/" + mark + ".txt").toStdString(), options.charset);
        QVERIFY(report);
        QVERIFY(text.contains(QString::fromStdString(*report)));
    }
    QCOMPARE(text.count("【Quorvane V2008.03.23】"), 2);
    // Made from the reports as they were written, the book is the one computed afresh.
    const std::string date = text.section("Date：", 1).section("\r\n", 0, 0).toStdString();
    QCOMPARE(text.toStdString(), CalculationBookText(window_->model().rows(), window_->model().results(), date));
    QCOMPARE(dialogs_->messages.size(), 1);  // where the book went, and the row without one
    QVERIFY(dialogs_->messages[0].contains("1 行有错误"));

    // The schedule itself kept where a report would go: it stays, the report moves aside.
    const QString schedule = folder + "/计算过程/KL3.txt";
    QVERIFY(window_->SaveAs(schedule));
    const QByteArray saved = ReadAll(schedule);
    QVERIFY(window_->WriteBook(folder));
    QCOMPARE(ReadAll(schedule), saved);
    QVERIFY(ReadAll(folder + "/计算过程/KL3-2.txt").contains("Quorvane"));
}

void TestScheduleWindow::pdfBookHasItsTitleBlockAndEveryComputedBeam() {
    Paste("KL1\t300\nKL/2\t-5\n框架梁3ก\t250\n", 0, 0);  // (a Thai letter the book's font lacks)
    dialogs_->bookTitle = {};
    dialogs_->bookTitle.project = "某住宅楼";
    dialogs_->bookTitle.part = "二层";
    dialogs_->bookTitle.preparedBy = "王五";
    dialogs_->bookTitle.checkedBy = "赵六";
    dialogs_->bookTitle.date = "2026-12-20";  // the engineer's own, for this run only
    dialogs_->bookTitle.revisions = "A 2026-11-01 首次提交\nB  2026-12-20   按审图意见修改 KL1";
    QVERIFY(window_->AskBookTitle());
    dialogs_->bookTitle = {};
    const QString path = dir_->filePath("二层计算书.pdf");
    QVERIFY2(window_->ExportPdf(path), qPrintable(dialogs_->messages.join('\n')));
    const QByteArray pdf = ReadAll(path);
    QVERIFY(pdf.startsWith("%PDF"));
    // The title block and two beam pages: one summary page, the design basis, KL1's and 框架梁3's.
    QCOMPARE(dialogs_->messages.size(), 1);
    QVERIFY2(dialogs_->messages[0].contains("共 4 页"), qPrintable(dialogs_->messages[0]));
    QVERIFY2(dialogs_->messages[0].contains("U+0E01"), qPrintable(dialogs_->messages[0]));  // said, as well as printed
    // The title block is what the user gave last time; the dialog was asked once.
    QCOMPARE(dialogs_->titleAsked, 1);
    QCOMPARE(SavedBookTitle().project, std::string("某住宅楼"));
#ifndef Q_OS_WIN
    QProcess text;
    text.start("pdftotext", {"-raw", path, "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* shown : {"某住宅楼", "二层", "王五", "赵六", "梁号 KL1", "梁号 框架梁3\\u0E01", "第 4 页 共 4 页",
                              "日期 2026-12-20", "版次 日期 修改内容\nA 2026-11-01 首次提交\nB 2026-12-20 按审图意见修改 KL1",
                              "计算日期 2026-12-20"})
        QVERIFY2(words.contains(QString::fromUtf8(shown)), shown);
    QVERIFY(!words.contains("梁号 KL/2"));
#endif
    // Cancelled: the file it would replace stays whole, no temporary file is left.
    dialogs_->cancelProgress = true;
    QVERIFY(!window_->ExportPdf(path));
    QCOMPARE(ReadAll(path), pdf);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"二层计算书.pdf"});
    dialogs_->cancelProgress = false;
#ifndef Q_OS_WIN  // (there QFile::link makes a shortcut, which no file call follows)
    // The book never lands on the open schedule, by whatever name it is reached.
    const QString schedule = dir_->filePath("梁表.csv");
    WriteAll(schedule, "Mark,BeamLength\nKL1,3600\n");
    window_->undoStack().setClean();
    QVERIFY(window_->OpenFile(schedule));
    QVERIFY(QFile::link(schedule, dir_->filePath("链接.pdf")));
    dialogs_->messages.clear();
    QVERIFY(!window_->ExportPdf(dir_->filePath("链接.pdf")));
    QCOMPARE(dialogs_->messages.size(), 1);
    QCOMPARE(ReadAll(schedule), QByteArray("Mark,BeamLength\nKL1,3600\n"));
#endif
}

// Alt and a letter reaches one item: two items of one menu never share it.
void TestScheduleWindow::everyMenuHasDistinctAccessKeys() {
    const QList<QMenu*> menus = window_->menuBar()->findChildren<QMenu*>();
    QVERIFY(menus.size() >= 3);
    for (const QMenu* menu : menus) {
        QMap<QChar, QString> taken;
        for (const QAction* action : menu->actions()) {
            const qsizetype amp = action->text().indexOf('&');
            if (amp < 0 || amp + 1 >= action->text().size()) continue;
            const QChar key = action->text().at(amp + 1).toUpper();
            QVERIFY2(!taken.contains(key), qPrintable(menu->title() + ": " + taken.value(key) + " / " + action->text()));
            taken.insert(key, action->text());
        }
    }
}

void TestScheduleWindow::cancelledLongOperationsChangeNothing() {
    std::string csv = "Mark,BeamWidth\r\n", block;
    for (int i = 0; i < 10000; ++i) {
        csv += "KL" + std::to_string(i) + ",300\r\n";
        AppendTabRecord(block, {"L" + std::to_string(i), "250"});
    }
    const QString path = dir_->filePath("big.csv");
    WriteAll(path, QByteArray::fromStdString(csv));
    TypeInto(0, 0, "KL0");
    window_->undoStack().setClean();
    const QList<QStringList> before = Table(*window_);
    const QString title = window_->windowTitle();
    dialogs_->cancelProgress = true;
    QVERIFY(!window_->OpenFile(path));
    QVERIFY(!window_->PasteText(QString::fromStdString(block)));
    QVERIFY(dialogs_->progressUpdates >= 2);
    QCOMPARE(Table(*window_), before);
    QCOMPARE(window_->windowTitle(), title);
    QVERIFY(!window_->isWindowModified());
    QVERIFY(dialogs_->messages.isEmpty());
    // Not cancelled, both go through, with progress shown.
    dialogs_->cancelProgress = false;
    QVERIFY(window_->OpenFile(path));
    QCOMPARE(window_->model().beamCount(), 10000);
    QVERIFY(window_->PasteText(QString::fromStdString(block)));
    QCOMPARE(Table(*window_)[9999][0], QString("L9999"));
}

// Ctrl+X then Ctrl+V moves the cells: emptied where they were, one step
// that undo takes back whole. A cut still pending when the window closes
// goes with the window (its sheets' histories, going, forget it).
void TestScheduleWindow::cutCellsMoveWithThePaste() {
    TypeInto(0, 0, "KL1");
    TypeInto(1, 0, "KL2");
    QTableView* view = window_->view();
    view->setCurrentIndex(view->model()->index(0, 0));
    window_->CutSelection();
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));  // (still there until pasted)
    view->setCurrentIndex(view->model()->index(1, 0));
    QVERIFY(window_->Paste());
    QCOMPARE(Table(*window_)[0][0], QString());
    QCOMPARE(Table(*window_)[1][0], QString("KL1"));
    window_->undoStack().undo();
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));
    QCOMPARE(Table(*window_)[1][0], QString("KL2"));
    // A copy is no cut: pasting it leaves the cells where they were.
    view->setCurrentIndex(view->model()->index(0, 0));
    window_->CopySelection();
    view->setCurrentIndex(view->model()->index(1, 0));
    QVERIFY(window_->Paste());
    QCOMPARE(Table(*window_)[0][0], QString("KL1"));
    QCOMPARE(Table(*window_)[1][0], QString("KL1"));
    window_->CutSelection();  // left pending for the window's close
}

QTEST_MAIN(TestScheduleWindow)
#include "tst_schedulewindow.moc"
