#include <QtTest>

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <memory>

#include "beams.h"
#include "form1.h"
#include "geometry.h"
#include "handoff.h"
#include "module1.h"
#include "testfiles.h"
#include "testshell.h"

using namespace quorvane;

namespace {
const QString kInputError = QStringLiteral("数据输入有误!");

using quorvane::test::ReadAll;
}  // namespace

class TestForm1 : public WindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowIsBuiltAsDesigned();
    void letterAfterANumberGivesOneMessageAndEmptiesTheBox();
    void boxesAcceptZeroToOneHundredThousand_data();
    void boxesAcceptZeroToOneHundredThousand();
    void minusTypedInFrontOfANumberIsRefused();
    void deletingABoxEmptiesItSilently();
    void everyChangeChecksEveryBoxInIndexOrder();
    void ratioBoxIsResetToOne_data();
    void ratioBoxIsResetToOne();
    void ratioBoxHasNoBounds();
    void computeFillsTheResultsAndWritesTheReport_data();
    void computeFillsTheResultsAndWritesTheReport();
    void failedCalculationEmptiesWhatItDidNotReachAndKeepsTheReport();
    void reportThatCannotBeWrittenIsNamed();
    void copyPutsTheCutAndRaisedLoadOnTheClipboard();
    void copyWithoutALoadLeavesTheClipboardAndSaysWhy();
    void numbersCanBeTypedFromTheirFirstCharacter();
    void boxesTakeTextsOfAnyLength();
    void copyWithAnOverflowingTenfoldLeavesTheClipboard();
    void viewReportHandsTheReportToTheViewer();
    void keepOnTopChangesOnlyTheStacking();
    void altSPressesOnlyTheVisiblePanelsCompute();
    void longResultsShowTheirFirstDigit();
    void tabWalksTheCycleOfTheFullPanel();
    void tabStillReachesClippedBoxesInCompactMode();
    void exitAnsweredNoKeepsEverything();
    void exitAnsweredYesClosesTheWindow();
    void aBeamGoesToTheScheduleAndComesBack();
    void unitWeightsComeFromTheStandardsMaterials();

private:
    void showFullPanel();
    void retype(QLineEdit* box, const QString& keys);
};

void TestForm1::init() { OpenWindow(); }

void TestForm1::cleanup() { CloseWindow(); }

void TestForm1::showFullPanel() {
    QTest::mouseClick(form_->Check2, Qt::LeftButton);
    QVERIFY(form_->Frame2->isVisibleTo(form_.get()));
}

// Clears a box (a program change, which passes) and types keys into it.
void TestForm1::retype(QLineEdit* box, const QString& keys) {
    box->clear();
    QTest::keyClicks(box, keys);
}

void TestForm1::windowIsBuiltAsDesigned() {
    Form1& f = *form_;
    QCOMPARE(f.windowTitle(), QString("Quorvane(Tessmoor)"));
    QCOMPARE(f.width(), Twips(7035));
    QCOMPARE(f.minimumSize(), f.maximumSize());  // fixed single border
    QCOMPARE(f.Frame1->caption(), QString("计算参数"));
    QCOMPARE(f.Frame2->caption(), QString("计算结果"));
    QCOMPARE(f.Text[16]->parentWidget(), static_cast<QWidget*>(&f));
    QCOMPARE(f.Text[16]->geometry(), TwipsRect(1140, 825, 975, 270));
    QCOMPARE(f.Text[0]->parentWidget(), static_cast<QWidget*>(f.Frame1));
    QCOMPARE(f.Text[0]->geometry(), TwipsRect(900, 352, 975, 270));
    QCOMPARE(f.Text1[0]->parentWidget(), static_cast<QWidget*>(f.Frame2));
    QCOMPARE(f.Text1[3]->parentWidget(), static_cast<QWidget*>(&f));
    QCOMPARE(f.Command7->geometry(), TwipsRect(3550, 1027, 900, 360));
    for (std::size_t i = 0; i < kBoxCount; ++i)
        QCOMPARE(f.Text[i]->text(),
                 QString::fromUtf8(kParams[i].defaultText.data(), int(kParams[i].defaultText.size())));
    QCOMPARE(f.Text2->text(), QString("1"));
    QCOMPARE(static_cast<QLabel*>(f.control("Label17"))->text(), QString("mm(层高)"));
    QCOMPARE(static_cast<QLabel*>(f.control("Label12(0)"))->text(), QString("mm"));
    QCOMPARE(static_cast<QLabel*>(f.control("Label31"))->text(), QString("广厦结构CAD应输入:"));
    QCOMPARE(static_cast<QLabel*>(f.control("Label32"))->text(), QString("折算比例:"));
    QCOMPARE(f.Command1->text(), QString("确定(&S)"));
    QCOMPARE(f.Command4->text(), QString("计算过程(&P)"));
    QCOMPARE(f.Label37->toolTip(), QString("编程之道:为了人们更好地生活."));
    QCOMPARE(f.Label37->cursor().shape(), Qt::WhatsThisCursor);
    // The window's own boxes are stacked above the frames they stand in.
    const QObjectList& order = f.children();  // bottom first
    QVERIFY(order.indexOf(f.Text[16]) > order.indexOf(f.Frame1));
    QVERIFY(order.indexOf(f.Text1[1]) > order.indexOf(f.Frame2));
    QVERIFY(order.indexOf(f.Frame1) > order.indexOf(f.Frame3));
    QVERIFY(order.indexOf(f.Check2) > order.indexOf(f.Check1));
}

void TestForm1::letterAfterANumberGivesOneMessageAndEmptiesTheBox() {
    QTest::keyClicks(form_->Text[0], "x");
    QCOMPARE(shell_->texts(), QStringList{kInputError});
    QCOMPARE(shell_->messages[0].buttons, Buttons::Ok);
    QCOMPARE(form_->Text[0]->text(), QString());
    QCOMPARE(form_->Text[1]->text(), QString("500"));
}

void TestForm1::boxesAcceptZeroToOneHundredThousand_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("left");
    QTest::newRow("upper bound") << "100000" << 0 << "100000";
    QTest::newRow("zero") << "0" << 0 << "0";
    QTest::newRow("signed zero") << "-0" << 0 << "-0";
    QTest::newRow("just above") << "100001" << 1 << "";
    QTest::newRow("half above") << "100000.5" << 1 << "";
    QTest::newRow("negative") << "-5" << 1 << "";
    QTest::newRow("blanks only") << "  " << 1 << "";
    QTest::newRow("comma decimal") << "2,5" << 1 << "";
}

void TestForm1::boxesAcceptZeroToOneHundredThousand() {
    QFETCH(QString, pasted);
    QFETCH(int, messages);
    QFETCH(QString, left);
    form_->Text[4]->clear();
    form_->Text[4]->insert(pasted);  // as a paste: one change
    QCOMPARE(int(shell_->messages.size()), messages);
    QCOMPARE(form_->Text[4]->text(), left);
}

void TestForm1::minusTypedInFrontOfANumberIsRefused() {
    retype(form_->Text[7], "5");
    QTest::keyClick(form_->Text[7], Qt::Key_Home);
    QTest::keyClick(form_->Text[7], Qt::Key_Minus);
    QCOMPARE(shell_->texts(), QStringList{kInputError});
    QCOMPARE(form_->Text[7]->text(), QString());
}

void TestForm1::deletingABoxEmptiesItSilently() {
    form_->Text[13]->selectAll();
    QTest::keyClick(form_->Text[13], Qt::Key_Delete);
    QCOMPARE(form_->Text[13]->text(), QString());
    QVERIFY(shell_->messages.empty());
}

void TestForm1::everyChangeChecksEveryBoxInIndexOrder() {
    {
        const QSignalBlocker b3(form_->Text[3]), b9(form_->Text[9]);
        form_->Text[3]->setText("x");
        form_->Text[9]->setText("200000");
    }
    // What the boxes hold while each message is open tells the order.
    QStringList seen;
    shell_->onMessage = [&] { seen << form_->Text[3]->text() + "|" + form_->Text[9]->text(); };
    QTest::keyClicks(form_->Text[15], "1");
    QCOMPARE(shell_->texts(), (QStringList{kInputError, kInputError}));
    QCOMPARE(seen, (QStringList{"x|200000", "|200000"}));
    QCOMPARE(form_->Text[3]->text(), QString());
    QCOMPARE(form_->Text[9]->text(), QString());
    QCOMPARE(form_->Text[15]->text(), QString("171"));
}

void TestForm1::ratioBoxIsResetToOne_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("keys");
    QTest::newRow("last character deleted") << "1" << int(Qt::Key_Backspace) << "";
    QTest::newRow("letter after a ratio") << "0.9" << 0 << "x";
}

void TestForm1::ratioBoxIsResetToOne() {
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(QString, keys);
    form_->Text2->setText(start);
    form_->Text2->end(false);
    if (key) QTest::keyClick(form_->Text2, Qt::Key(key));
    QTest::keyClicks(form_->Text2, keys);
    QCOMPARE(shell_->texts(), QStringList{kInputError});
    QCOMPARE(form_->Text2->text(), QString("1"));
}

void TestForm1::ratioBoxHasNoBounds() {
    for (const QString& text : {QString("-2"), QString("250000")}) {
        form_->Text2->setText(text);
        QCOMPARE(form_->Text2->text(), text);
    }
    QVERIFY(shell_->messages.empty());
}

void TestForm1::computeFillsTheResultsAndWritesTheReport_data() { test::AddBeamRows(test::WorkedExamples()); }

void TestForm1::computeFillsTheResultsAndWritesTheReport() {
    QFETCH(int, beam);
    const test::Beam& b = test::WorkedExamples().at(std::size_t(beam));
    const BeamTexts texts = test::TextsOf(b.texts);
    for (std::size_t i = 0; i < kBoxCount; ++i) form_->Text[i]->setText(QString::fromStdString(texts[i]));
    form_->Text2->setText(QString::fromStdString(texts[kRatioIndex]));
    QStringList expected;
    for (const char* text : b.results) expected << text;
    for (QPushButton* compute : {form_->Command5, form_->Command1}) {
        for (QLineEdit* box : form_->Text1) box->setText("old");
        QFile::remove(report_);
        compute->click();
        QStringList shown;
        for (QLineEdit* box : form_->Text1) shown << box->text();
        QCOMPARE(shown, expected);
        QCOMPARE(form_->Text3->text(), expected[3]);
        const QString report = QString::fromUtf8(ReadAll(report_));
        QCOMPARE(report.count("\r\n"), 25);
        QVERIFY2(report.contains("=" + expected[3] + "KN/m\r\n"), qPrintable(report));
    }
    form_->Command7->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(b.copied));
    QVERIFY(shell_->messages.empty());
}

void TestForm1::failedCalculationEmptiesWhatItDidNotReachAndKeepsTheReport() {
    form_->Command5->click();
    const QByteArray before = ReadAll(report_);
    form_->Text[16]->clear();
    form_->Command5->click();
    QCOMPARE(shell_->messages.size(), std::size_t(1));
    QVERIFY2(shell_->messages[0].text.contains("梁长度") && shell_->messages[0].text.contains("除数为零"),
             qPrintable(shell_->messages[0].text));
    QCOMPARE(form_->Text1[0]->text(), QString("2.908"));
    for (int i = 1; i < 4; ++i) QCOMPARE(form_->Text1[i]->text(), QString());
    QCOMPARE(form_->Text3->text(), QString());
    QCOMPARE(ReadAll(report_), before);
}

void TestForm1::reportThatCannotBeWrittenIsNamed() {
    const QString missing = dir_->filePath("gone/计算过程.txt");
    Form1 form(missing, *shell_);
    form.Form_Load();  // says it cannot create the report, and goes on
    QCOMPARE(shell_->messages.size(), std::size_t(1));
    form.Command5->click();
    QCOMPARE(form.Text3->text(), QString("10.208"));
    QCOMPARE(shell_->messages.size(), std::size_t(2));
    QVERIFY2(shell_->messages[1].text.contains(QDir::toNativeSeparators(missing)),
             qPrintable(shell_->messages[1].text));
}

void TestForm1::copyPutsTheCutAndRaisedLoadOnTheClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    form_->Command5->click();
    form_->Text1[3]->setText("99");  // the copy reads Text3 only
    form_->Command7->click();
    QCOMPARE(clipboard->text(), QString("10.3"));
    form_->Text3->setText("12.95");
    form_->Command8->click();
    QCOMPARE(clipboard->text(), QString("13"));
    QVERIFY(shell_->messages.empty());
}

// Before any calculation, after a failed one, or with the box cleared,
// there is no load: the clipboard keeps what it had and the user is told.
void TestForm1::copyWithoutALoadLeavesTheClipboardAndSaysWhy() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const QString& cad : {QString(), QString("abc")}) {
        clipboard->setText("kept");
        form_->Text3->setText(cad);
        form_->Command8->click();
        form_->Command7->click();
        QCOMPARE(clipboard->text(), QString("kept"));
    }
    QCOMPARE(shell_->messages.size(), std::size_t(4));
    QVERIFY2(shell_->messages[0].text.contains("请先计算"), qPrintable(shell_->messages[0].text));
    form_->Text[16]->clear();  // a zero beam length: the calculation fails
    form_->Command5->click();
    clipboard->setText("kept");
    form_->Command8->click();
    QCOMPARE(clipboard->text(), QString("kept"));
}

// What may begin a number is accepted while it is typed; it reads as 0.
void TestForm1::numbersCanBeTypedFromTheirFirstCharacter() {
    for (const QString& keys : {QString(".5"), QString("+5"), QString("-0")}) {
        retype(form_->Text[0], keys);
        QCOMPARE(form_->Text[0]->text(), keys);
    }
    form_->Text2->clear();  // (one message: the empty ratio is refused and becomes 1)
    shell_->messages.clear();
    form_->Text2->selectAll();
    QTest::keyClicks(form_->Text2, "-2");
    QCOMPARE(form_->Text2->text(), QString("-2"));
    QVERIFY(shell_->messages.empty());
}

void TestForm1::boxesTakeTextsOfAnyLength() {
    const QString longText = "1" + QString(40000, '0').prepend("0.");
    form_->Text2->setText(longText);
    QCOMPARE(form_->Text2->text(), longText);
    QVERIFY(form_->Text[0]->maxLength() > 1000000);
}

void TestForm1::copyWithAnOverflowingTenfoldLeavesTheClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("kept");
    form_->Text3->setText("1e308");
    form_->Command8->click();
    QCOMPARE(clipboard->text(), QString("kept"));
    QCOMPARE(shell_->messages.size(), std::size_t(1));
    QVERIFY(shell_->messages[0].text.contains("溢出"));
}

void TestForm1::viewReportHandsTheReportToTheViewer() {
    form_->Command4->click();
    form_->Command3->click();
    QCOMPARE(shell_->viewerStarts, (QStringList{report_, report_}));
    QVERIFY(shell_->messages.empty());
    shell_->viewerWorks = false;
    form_->Command4->click();
    QCOMPARE(shell_->messages.size(), std::size_t(1));
    QVERIFY(shell_->messages[0].text.contains(report_));
}

void TestForm1::keepOnTopChangesOnlyTheStacking() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    const QRect before = form_->geometry();
    QVERIFY(!IsTopmost(form_.get()));
    QTest::mouseClick(form_->Check1, Qt::LeftButton);
    QVERIFY(form_->Check1->isChecked());
    QVERIFY(IsTopmost(form_.get()));
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->geometry(), before);
    QTest::mouseClick(form_->Check1, Qt::LeftButton);
    QVERIFY(!IsTopmost(form_.get()));
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->geometry(), before);
}

void TestForm1::altSPressesOnlyTheVisiblePanelsCompute() {
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QSignalSpy full(form_->Command1, &QPushButton::clicked), compact(form_->Command5, &QPushButton::clicked);
    // The access key computes within the key press itself: no press
    // animation, no waiting in the event loop before the results are there.
    QTest::keyPress(form_.get(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(compact.count(), 1);
    QCOMPARE(full.count(), 0);
    QCOMPARE(form_->Text3->text(), QString("10.208"));
    QTest::keyRelease(form_.get(), Qt::Key_S, Qt::AltModifier);
    showFullPanel();
    QTest::keyPress(form_.get(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(full.count(), 1);
    QTest::keyRelease(form_.get(), Qt::Key_S, Qt::AltModifier);
    // No click is still to come: an animated click holds its button down until it fires.
    QVERIFY(!form_->Command1->isDown() && !form_->Command5->isDown());
    QCoreApplication::processEvents();
    QCOMPARE(compact.count(), 1);
    QCOMPARE(full.count(), 1);
    // Enter on the focused compute button, too.
    form_->Command1->setFocus();
    QTest::keyPress(form_->Command1, Qt::Key_Return);
    QCOMPARE(full.count(), 2);
}

// A result with many digits is longer than its box: the box shows the
// integer part, where the engineer reads, in compact and in full mode.
void TestForm1::longResultsShowTheirFirstDigit() {
    retype(form_->Text[std::size_t(FindParam("DoorWidth"))], "1414");
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    for (bool full : {false, true}) {
        if (full) showFullPanel();
        QTest::keyClick(form_.get(), Qt::Key_S, Qt::AltModifier);
        QVERIFY2(form_->Text3->text().size() >= 15, qPrintable(form_->Text3->text()));  // 7.34582833333333
        std::vector<QLineEdit*> boxes{form_->Text3};
        if (full) boxes.insert(boxes.end(), form_->Text1.begin(), form_->Text1.end());
        for (QLineEdit* box : boxes) {
            box->grab();  // painted, so the box has scrolled to what it shows
            QCOMPARE(box->cursorPosition(), 0);
            const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            QVERIFY2(cursor.center().x() < box->contentsRect().left() + 8, qPrintable(box->text()));
        }
        // The CAD box is narrower than its text: what it shows starts at the digit 7.
        const QLineEdit* cad = form_->Text3;
        QVERIFY(cad->fontMetrics().horizontalAdvance(cad->text()) > cad->contentsRect().width() || full);
    }
}

void TestForm1::tabWalksTheCycleOfTheFullPanel() {
    showFullPanel();
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    const QStringList cycle = {"Text(3)",  "Text(4)",  "Text(5)",  "Text(6)",  "Text(7)",  "Text(8)",
                               "Text(9)",  "Text(10)", "Text(11)", "Text(12)", "Text(13)", "Text(14)",
                               "Text(15)", "Text1(0)", "Text1(1)", "Text1(2)", "Text1(3)", "Text2",
                               "Command1", "Command2", "Text(16)", "Text(2)",  "Text(1)",  "Text(0)",
                               "Command3", "Check1",   "Check2",   "Command7", "Text(3)"};
    form_->Text[3]->setFocus();
    QStringList walked{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < cycle.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walked, cycle);
}

void TestForm1::tabStillReachesClippedBoxesInCompactMode() {
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form_->Text[3]));
    QStringList walked;
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    for (const char* name : {"Text(12)", "Text(15)", "Text1(1)", "Text1(3)", "Text3", "Command5", "Command8"})
        QVERIFY2(walked.contains(name), name);
    for (const char* name : {"Text1(0)", "Text2", "Command1", "Command7"})
        QVERIFY2(!walked.contains(name), name);
}

void TestForm1::exitAnsweredNoKeepsEverything() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    form_->Text[0]->setText("250");
    shell_->answers = {Answer::No};
    form_->Command6->click();
    QCOMPARE(shell_->messages.size(), std::size_t(1));
    QCOMPARE(shell_->messages[0].text, QString("你是否真得想退出系统?"));
    QCOMPARE(shell_->messages[0].buttons, Buttons::YesNo);
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->Text[0]->text(), QString("250"));
    QVERIFY(form_->Check2->isChecked());  // still compact
    QVERIFY(form_->Frame3->isVisibleTo(form_.get()));
}

void TestForm1::exitAnsweredYesClosesTheWindow() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTest::mouseClick(form_->Check2, Qt::LeftButton);
    shell_->answers = {Answer::Yes};
    form_->Command2->click();
    QVERIFY(!form_->isVisible());
}

// 发送到梁表 hands the boxes' texts over (the window's layout untouched);
// a beam the 梁表 opens here, left in the calculator's inbox, fills the
// boxes and takes the old loads away.
void TestForm1::aBeamGoesToTheScheduleAndComesBack() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    const QRect before = form_->geometry();
    retype(form_->Text[0], "250");
    QTest::keyClick(form_.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(shell_->sentToSchedule.size(), std::size_t(1));
    for (std::size_t i = 0; i < kBoxCount; ++i)
        QCOMPARE(QString::fromStdString(shell_->sentToSchedule[0].texts[i]), form_->Text[i]->text());
    QCOMPARE(form_->geometry(), before);
    QVERIFY(shell_->messages.empty());

    QTest::mouseClick(form_->Command1, Qt::LeftButton);
    QVERIFY(!form_->Text3->text().isEmpty());
    BeamReceiver receiver(Inbox::Calculator);
    QVERIFY(receiver.receiving());
    connect(&receiver, &BeamReceiver::beamArrived, form_.get(), &Form1::TakeBeam);
    HandedBeam beam;
    beam.mark = "KL=1\n外";  // a line break is not carried into another field
    beam.texts.Set("BeamWidth", "300");
    beam.texts.Set("ReductionRatio", "0.8");
    QString reason;
    QVERIFY2(SendBeam(Inbox::Calculator, beam, QString(), &reason), qPrintable(reason));
    QTRY_COMPARE(form_->Text[0]->text(), QString("300"));
    QCOMPARE(form_->Text2->text(), QString("0.8"));
    QVERIFY(form_->Text3->text().isEmpty());  // no load of the beam before
    QVERIFY(form_->Text1[0]->text().isEmpty());
    QVERIFY(shell_->messages.empty());
    QCOMPARE(ReadBeamFile(BeamFileText(beam)).mark, std::string("KL=1 外"));
    QCOMPARE(QDir(InboxFolder(Inbox::Calculator)).entryList({"*.beam*"}, QDir::Files), QStringList());  // taken
}

// A unit-weight box offers GB 50009-2012's materials: the figure goes in,
// the material is named for the eye and the screen reader, and a figure
// typed over it drops the name.
void TestForm1::unitWeightsComeFromTheStandardsMaterials() {
    const auto wall = std::size_t(FindParam("WallDensity"));
    QCOMPARE(form_->Text[wall]->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(!form_->MaterialMenu(std::size_t(FindParam("BeamWidth")), form_.get()));
    std::unique_ptr<QMenu> menu(form_->MaterialMenu(wall, nullptr));
    QVERIFY(menu);
    QAction* block = nullptr;
    for (QAction* a : menu->actions())
        if (a->text().startsWith("蒸压粉煤灰加气混凝土砌块")) block = a;
    QVERIFY(block);
    QVERIFY(block->text().contains("5.5 kN/m³"));
    block->trigger();
    QCOMPARE(form_->Text[wall]->text(), QString("5.5"));
    QVERIFY(form_->Text[wall]->toolTip().contains("蒸压粉煤灰加气混凝土砌块 (GB 50009-2012 表A 第 5 项"));
    QCOMPARE(form_->Text[wall]->accessibleDescription(), form_->Text[wall]->toolTip());
    QTest::mouseClick(form_->Command1, Qt::LeftButton);
    QCOMPARE(form_->Text1[kMasonryWeight]->text(), QString("4.175"));  // as WallDensity=5.5
    QVERIFY(shell_->messages.empty());
    QTest::keyClick(form_->Text[wall], Qt::Key_Backspace);  // 5. : another figure
    QVERIFY(form_->Text[wall]->toolTip().isEmpty());
    // A range gives its upper figure.
    menu.reset(form_->MaterialMenu(wall, nullptr));
    for (QAction* a : menu->actions())
        if (a->text().startsWith("煤渣砖")) a->trigger();
    QCOMPARE(form_->Text[wall]->text(), QString("18.5"));
    // Ctrl+Z takes a pick back like typing; Shift+F10 opens the list from the keyboard.
    form_->Text[wall]->setFocus();
    QTest::keyClick(form_->Text[wall], Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form_->Text[wall]->text(), QString("5."));
    QSignalSpy asked(form_->Text[wall], &QWidget::customContextMenuRequested);
    bool shown = false;
    QTimer::singleShot(100, [&shown] {  // the menu, once up, is closed again
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible()) {
                shown = shown || menu->actions().last()->menu() != nullptr;  // 常用材料
                menu->close();
            }
    });
    QTest::keyClick(form_->Text[wall], Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(asked.count(), 1);
    QVERIFY(shown);
    // The material goes to the schedule with the beam; a beam that comes names its own, or none.
    menu.reset(form_->MaterialMenu(wall, nullptr));
    for (QAction* a : menu->actions())
        if (a->text().startsWith("蒸压粉煤灰加气混凝土砌块")) a->trigger();
    form_->SendToSchedule();
    QCOMPARE(shell_->sentToSchedule.size(), std::size_t(1));
    QCOMPARE(shell_->sentToSchedule.back().materials[1], std::string("蒸压粉煤灰加气混凝土砌块"));
    HandedBeam beam;
    beam.texts.Set("WallDensity", "12");
    form_->TakeBeam(beam);
    QCOMPARE(form_->Text[wall]->text(), QString("12"));
    QVERIFY(form_->Text[wall]->toolTip().isEmpty());
    beam.materials[1] = "泡沫混凝土";
    form_->TakeBeam(beam);
    QVERIFY(form_->Text[wall]->toolTip().startsWith("泡沫混凝土 (GB 50009-2012 表A"));
    QCOMPARE(ReadBeamFile(BeamFileText(beam)).materials[1], std::string("泡沫混凝土"));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
