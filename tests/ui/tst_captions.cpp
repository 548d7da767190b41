#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QStyleOptionButton>

#include "controls.h"
#include "form1.h"
#include "form2.h"
#include "geometry.h"
#include "shell.h"
#include "testshell.h"

using namespace quorvane;

namespace {

// The caption as drawn: a button's '&' marks its access key and is not shown.
QString ShownText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* frame = qobject_cast<Frame*>(w)) return frame->caption();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return QString(button->text()).remove('&');
    return {};
}

// Room the caption has inside its control: a button keeps a small bevel on
// each side, a frame draws its caption after a short lead-in.
int Room(QWidget* w) {
    if (qobject_cast<QAbstractButton*>(w)) return w->width() - 6;
    if (qobject_cast<Frame*>(w)) return w->width() - 16;
    return w->width();
}

}  // namespace

class TestCaptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void layoutFontIsAvailableHere();
    void everyCaptionFitsItsControl_data();
    void everyCaptionFitsItsControl();
    void tickBoxesShowTheirWholeMarkInEveryMode();
    void messageBoxShowsItsWholeTitleAndNoIconColumn_data();
    void messageBoxShowsItsWholeTitleAndNoIconColumn();
    void fixedSizeWindowsOfferNoMaximise();
};

void TestCaptions::initTestCase() { QApplication::setFont(LayoutFont()); }

// A missing font would make the next test measure a stand-in.
void TestCaptions::layoutFontIsAvailableHere() {
    const QFont font = LayoutFont();
    const QString family = QFontInfo(font).family();
    QVERIFY2(font.families().contains(family, Qt::CaseInsensitive),
             qPrintable(family + " instead of " + font.families().join(", ") +
                        " (scripts/test.sh installs fonts-noto-cjk)"));
}

void TestCaptions::everyCaptionFitsItsControl_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("name");
    const std::pair<int, const ControlTable*> tables[] = {
        {1, &kForm1Window}, {1, &kForm1Frame1}, {1, &kForm1Frame2}, {1, &kForm1Frame3}, {2, &kForm2Window}};
    for (const auto& [window, table] : tables) {
        for (std::size_t i = 0; i < table->count; ++i) {
            const ControlRow& c = table->rows[i];
            if (c.kind == Kind::TextBox || c.kind == Kind::CheckBox) continue;
            const QString name = c.index >= 0 ? QString("%1(%2)").arg(c.name).arg(c.index) : QString(c.name);
            QTest::newRow(qPrintable(QString("Form%1 %2").arg(window).arg(name))) << window << name;
        }
    }
}

void TestCaptions::everyCaptionFitsItsControl() {
    QFETCH(int, window);
    QFETCH(QString, name);
    RecordingShell shell;
    QTemporaryDir dir;
    Form1 form1(dir.filePath("report.txt"), shell);
    Form2 form2(shell);
    QWidget* w = window == 1 ? form1.control(name) : form2.control(name);
    QVERIFY2(w, qPrintable(name));
    const QString text = ShownText(w);
    const int advance = QFontMetrics(w->font()).horizontalAdvance(text);
    QVERIFY2(advance <= Room(w),
             qPrintable(QString("\"%1\" needs %2 px, has %3").arg(text).arg(advance).arg(Room(w))));
}

void TestCaptions::tickBoxesShowTheirWholeMarkInEveryMode() {
    RecordingShell shell;
    QTemporaryDir dir;
    Form1 form(dir.filePath("report.txt"), shell);
    form.Form_Load();
    for (int click = 0; click < 4; ++click) {  // compact, full, medium, full
        for (CaptionlessCheckBox* box : {form.Check1, form.Check2}) {
            QStyleOptionButton option;
            option.initFrom(box);
            const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
            QVERIFY2(box->rect().contains(mark),
                     qPrintable(QString("%1: mark %2 px high, box %3 px in mode %4")
                                    .arg(box->objectName())
                                    .arg(mark.height())
                                    .arg(box->height())
                                    .arg(click)));
            // At most a pixel above its designed place, beside its caption.
            QVERIFY(qAbs(box->y() - form.Label38->y()) <= 1);
        }
        form.Check2->click();
    }
}

void TestCaptions::messageBoxShowsItsWholeTitleAndNoIconColumn_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yesNo");
    QTest::newRow("refused input") << "数据输入有误!" << false;
    QTest::newRow("exit question") << "你是否真得想退出系统?" << true;
}

void TestCaptions::messageBoxShowsItsWholeTitleAndNoIconColumn() {
    QFETCH(QString, text);
    QFETCH(bool, yesNo);
    QMessageBox box;
    box.setText(text);
    PrepareMessageBox(box, yesNo ? Buttons::YesNo : Buttons::Ok);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.windowTitle(), QString("Quorvane"));
    const int titleNeeds = box.fontMetrics().horizontalAdvance("Quorvane") + kTitleBarExtra;
    QVERIFY2(box.width() >= titleNeeds,
             qPrintable(QString("%1 px wide, the title needs %2").arg(box.width()).arg(titleNeeds)));
    auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    QVERIFY(label);
    const auto* icon = box.findChild<QLabel*>("qt_msgboxex_icon_label");
    QVERIFY(!icon || !icon->isVisible());
    // The text starts at the box's margin: no empty column for an icon.
    const QMargins margins = box.layout()->contentsMargins();
    QVERIFY2(label->mapTo(&box, QPoint(0, 0)).x() <= margins.left() + 2,
             qPrintable(QString("text starts at %1 px").arg(label->mapTo(&box, QPoint(0, 0)).x())));
    QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
    box.close();
}

void TestCaptions::fixedSizeWindowsOfferNoMaximise() {
    RecordingShell shell;
    QTemporaryDir dir;
    Form1 form1(dir.filePath("report.txt"), shell);
    Form2 form2(shell);
    for (QWidget* w : {static_cast<QWidget*>(&form1), static_cast<QWidget*>(&form2)}) {
        // Without CustomizeWindowHint the window system shows its default buttons.
        QVERIFY(w->windowFlags() & Qt::CustomizeWindowHint);
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
    }
    QVERIFY(form1.windowFlags() & Qt::WindowMinimizeButtonHint);
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
