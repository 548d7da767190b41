#include <QtTest>

#include <QAccessible>
#include <QLabel>

#include "form1.h"
#include "form2.h"
#include "testshell.h"

using namespace quorvane;

namespace {

QAccessibleInterface* Of(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }

}  // namespace

// What a screen reader reads, asked through Qt's accessibility interface as
// the platform bridge (AT-SPI, UI Automation) asks it.
class TestAccessibility : public WindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyBoxIsReadByItsMeaning_data();
    void everyBoxIsReadByItsMeaning();
    void boxesAreLabelledByTheCaptionBesideThem();
    void tickBoxesAreReadByTheirVisibleCaptions();
    void framesAreNamedGroupsAndWindowsHaveTheirRoles();
};

void TestAccessibility::init() { OpenWindow(); }

void TestAccessibility::cleanup() { CloseWindow(); }

void TestAccessibility::everyBoxIsReadByItsMeaning_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("name");
    const char* rows[][2] = {
        {"Text(0)", "梁 宽度 mm"},           {"Text(1)", "梁 高度 mm"},
        {"Text(2)", "梁 密度 KN/M^3"},       {"Text(3)", "墙 宽度 mm"},
        {"Text(4)", "墙 高度 mm(层高)"},     {"Text(5)", "墙 密度 KN/M^3"},
        {"Text(6)", "门 宽度 mm"},           {"Text(7)", "门 高度 mm"},
        {"Text(8)", "门 密度 KN/M^2"},       {"Text(9)", "窗 宽度 mm"},
        {"Text(10)", "窗 高度 mm"},          {"Text(11)", "窗 密度 KN/M^2"},
        {"Text(12)", "梁上抹灰厚度 mm"},     {"Text(13)", "梁上抹灰密度 KN/M^3"},
        {"Text(14)", "墙上抹灰厚度 mm"},     {"Text(15)", "墙上抹灰密度 KN/M^3"},
        {"Text(16)", "梁长度 mm"},           {"Text2", "折算比例"},
        {"Text1(0)", "梁自重 KN/M"},         {"Text1(1)", "砌体自重 KN/M"},
        {"Text1(2)", "梁上总恒载 KN/M"},     {"Text1(3)", "广厦结构CAD应输入 KN/M"},
        {"Text3", "广厦结构CAD应输入 KN/M"},
    };
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[0]) << QString::fromUtf8(row[1]);
}

void TestAccessibility::everyBoxIsReadByItsMeaning() {
    QFETCH(QString, box);
    QFETCH(QString, name);
    QAccessibleInterface* a = Of(form_->control(box));
    QVERIFY(a);
    QCOMPARE(a->role(), QAccessible::EditableText);
    QCOMPARE(a->text(QAccessible::Name), name);
}

void TestAccessibility::boxesAreLabelledByTheCaptionBesideThem() {
    const auto labels = [](QWidget* box) {
        QStringList texts;
        // (The label of this box, which a screen reader calls "labelled by".)
        for (const auto& [label, relation] : Of(box)->relations(QAccessible::Label))
            texts << label->text(QAccessible::Name);
        return texts;
    };
    QVERIFY2(labels(form_->Text[12]).contains("梁上抹灰厚度:"),
             qPrintable(labels(form_->Text[12]).join('|')));
    QVERIFY2(labels(form_->Text[0]).contains("mm"), qPrintable(labels(form_->Text[0]).join('|')));
    QVERIFY2(labels(form_->Text2).contains("折算比例:"), qPrintable(labels(form_->Text2).join('|')));
    QVERIFY2(labels(form_->Text1[0]).contains("梁自重:"), qPrintable(labels(form_->Text1[0]).join('|')));
    QVERIFY2(labels(form_->Text3).contains("广厦结构CAD应输入:"), qPrintable(labels(form_->Text3).join('|')));
}

void TestAccessibility::tickBoxesAreReadByTheirVisibleCaptions() {
    QCOMPARE(Of(form_->Check1)->role(), QAccessible::CheckBox);
    QCOMPARE(Of(form_->Check1)->text(QAccessible::Name), QString("置顶"));
    // Not the hidden mode flag ("1") that the box keeps as its caption.
    QCOMPARE(Of(form_->Check2)->text(QAccessible::Name), QString("伸缩"));
    QVERIFY(Of(form_->Check2)->state().checked);
}

void TestAccessibility::framesAreNamedGroupsAndWindowsHaveTheirRoles() {
    for (QWidget* frame : {static_cast<QWidget*>(form_->Frame1), static_cast<QWidget*>(form_->Frame3)}) {
        QCOMPARE(Of(frame)->role(), QAccessible::Grouping);
    }
    QCOMPARE(Of(form_->Frame1)->text(QAccessible::Name), QString("计算参数"));
    QCOMPARE(Of(form_->Frame2)->text(QAccessible::Name), QString("计算结果"));
    // The boxes of a frame are read inside its group.
    QCOMPARE(Of(form_->Text[0])->parent()->object(), static_cast<QObject*>(form_->Frame1));
    QCOMPARE(Of(form_.get())->role(), QAccessible::Window);
    QCOMPARE(Of(form_.get())->text(QAccessible::Name), QString("Quorvane(Tessmoor)"));
    Form2 about(*shell_);
    QCOMPARE(Of(&about)->role(), QAccessible::Dialog);
    QCOMPARE(Of(&about)->text(QAccessible::Name), QString("版权信息"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
