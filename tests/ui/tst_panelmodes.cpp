#include <QtTest>

#include <memory>

#include "form1.h"
#include "geometry.h"
#include "testshell.h"

using namespace quorvane;

namespace {

// The layout of one mode as the user sees it, in twips.
struct Seen {
    QString flag;
    bool checked;
    bool frame2Shown, frame3Shown;
    int frame1Height, frame2Top, frame3Top;
    int text1Tops[3];
    int bottomRowTop;
    int clientHeight;
};

Seen Look(const Form1& f) {
    const auto t = [](int px) { return px * 15; };
    return {f.Check2->text(),          f.Check2->isChecked(),
            f.Frame2->isVisibleTo(&f), f.Frame3->isVisibleTo(&f),
            t(f.Frame1->height()),     t(f.Frame2->y()),
            t(f.Frame3->y()),          {t(f.Text1[1]->y()), t(f.Text1[2]->y()), t(f.Text1[3]->y())},
            t(f.Label37->y()),         t(f.height())};
}

QLineEdit* Box(const Form1& f, std::string_view field) { return f.Text[std::size_t(FindParam(field))]; }

// Twips survive the trip through pixels only to the nearest pixel.
bool Near(int a, int b) { return std::abs(a - b) <= 7; }

QString Describe(const Seen& s) {
    return QStringLiteral("flag %1 checked %2 frames %3/%4 f1h %5 f2 %6 f3 %7 t1 %8,%9,%10 row %11 h %12")
        .arg(s.flag)
        .arg(s.checked)
        .arg(s.frame2Shown)
        .arg(s.frame3Shown)
        .arg(s.frame1Height)
        .arg(s.frame2Top)
        .arg(s.frame3Top)
        .arg(s.text1Tops[0])
        .arg(s.text1Tops[1])
        .arg(s.text1Tops[2])
        .arg(s.bottomRowTop)
        .arg(s.clientHeight);
}

bool Same(const Seen& a, const Seen& b) {
    bool same = a.flag == b.flag && a.checked == b.checked && a.frame2Shown == b.frame2Shown &&
                a.frame3Shown == b.frame3Shown && Near(a.frame1Height, b.frame1Height) &&
                Near(a.bottomRowTop, b.bottomRowTop) && Near(a.clientHeight, b.clientHeight);
    if (a.frame2Shown) same = same && Near(a.frame2Top, b.frame2Top);
    if (a.frame3Shown || !a.frame2Shown) same = same && Near(a.frame3Top, b.frame3Top);
    for (int i = 0; i < 3; ++i) same = same && Near(a.text1Tops[i], b.text1Tops[i]);
    return same;
}

// clang-format off
const Seen kCompact   = {"1", true,  false, true,  2535, 3720, 2760, {4800, 4440, 4800}, 3950, 4220};
const Seen kFullFlag0 = {"0", false, true,  false, 3495, 3720,  120, {4080, 4440, 4800}, 5760, 6090};
const Seen kMedium    = {"0", true,  true,  false, 2535, 2760,  120, {3120, 3480, 3840}, 4800, 5100};
const Seen kFullFlag1 = {"1", false, true,  false, 3495, 3720,  120, {4080, 4440, 4800}, 5760, 6090};
// clang-format on

}  // namespace

class TestPanelModes : public WindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpOpensInCompactMode();
    void fourClicksWalkFullMediumFullCompact();
    void spaceBarAndProgramChangesRunTheSwitchToo();
    void everyBoxKeepsItsTextThroughTheModes();
    void switchingKeepsTheWindowsLeftTopAndWidth();
    void fullPanelShowsEveryControlWhole();
};

void TestPanelModes::init() { OpenWindow(); }

void TestPanelModes::cleanup() { CloseWindow(); }

void TestPanelModes::startUpOpensInCompactMode() {
    const Seen seen = Look(*form_);
    QVERIFY2(Same(seen, kCompact), qPrintable(Describe(seen)));
    QCOMPARE(form_->height(), Twips(4220));
    // The four plaster boxes are clipped away by the shortened frame.
    QVERIFY(Box(*form_, "BeamPlasterThickness")->y() >= form_->Frame1->height());
    QVERIFY(Box(*form_, "BeamLength")->isVisibleTo(form_.get()));
    QVERIFY(shell_->messages.empty());
}

void TestPanelModes::fourClicksWalkFullMediumFullCompact() {
    const Seen walk[] = {kFullFlag0, kMedium, kFullFlag1, kCompact, kFullFlag0};
    for (const Seen& expected : walk) {
        QTest::mouseClick(form_->Check2, Qt::LeftButton);
        const Seen seen = Look(*form_);
        QVERIFY2(Same(seen, expected), qPrintable(Describe(seen) + " expected " + Describe(expected)));
    }
}

void TestPanelModes::spaceBarAndProgramChangesRunTheSwitchToo() {
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    form_->Check2->setFocus();
    QTest::keyClick(form_->Check2, Qt::Key_Space);
    QVERIFY2(Same(Look(*form_), kFullFlag0), qPrintable(Describe(Look(*form_))));
    form_->Check2->setChecked(true);
    QVERIFY2(Same(Look(*form_), kMedium), qPrintable(Describe(Look(*form_))));
}

void TestPanelModes::everyBoxKeepsItsTextThroughTheModes() {
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // full
    Box(*form_, "WallPlasterThickness")->setText("30");  // a plaster row, later clipped
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // medium
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // full, flag 1
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // compact
    QVERIFY(!form_->Frame2->isVisibleTo(form_.get()));
    form_->Command5->click();
    const QStringList inCompact = {form_->Text1[0]->text(), form_->Text1[1]->text(), form_->Text1[2]->text(),
                                   form_->Text1[3]->text()};
    QCOMPARE(inCompact.at(1), QString("10.65"));       // 30 mm plaster counted while hidden
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // full
    QVERIFY(form_->Frame2->isVisibleTo(form_.get()));
    for (int i = 0; i < 4; ++i) QCOMPARE(form_->Text1[i]->text(), inCompact.at(i));
    QCOMPARE(Box(*form_, "WallPlasterThickness")->text(), QString("30"));
    QCOMPARE(form_->Text3->text(), inCompact.at(3));
}

void TestPanelModes::switchingKeepsTheWindowsLeftTopAndWidth() {
    form_->move(100, 80);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    const QPoint topLeft = form_->pos();
    const int width = form_->width();
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(form_->Check2, Qt::LeftButton);
        QCOMPARE(form_->pos(), topLeft);
        QCOMPARE(form_->width(), width);
    }
}

// A control added to the tables lands where it is seen whole: inside its
// frame or the window, clear of every other box and button.
void TestPanelModes::fullPanelShowsEveryControlWhole() {
    QTest::mouseClick(form_->Check2, Qt::LeftButton);  // full
    QVERIFY(form_->Frame2->isVisibleTo(form_.get()));
    QList<QWidget*> controls;
    for (QWidget* w : form_->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
                             qobject_cast<QLabel*>(w) || w->inherits("quorvane::Frame");
        if (control && !w->objectName().isEmpty() && w->isVisibleTo(form_.get())) controls << w;
    }
    QVERIFY(controls.size() > 40);
    for (QWidget* w : controls) {
        QWidget* container = w->parentWidget();
        QVERIFY2(container->rect().contains(w->geometry()),
                 qPrintable(w->objectName() + " lies outside " + container->objectName()));
    }
    for (QWidget* a : controls) {
        if (!qobject_cast<QLineEdit*>(a) && !qobject_cast<QAbstractButton*>(a)) continue;
        for (QWidget* b : controls) {
            if (a == b || (!qobject_cast<QLineEdit*>(b) && !qobject_cast<QAbstractButton*>(b))) continue;
            const QRect ra(a->mapTo(form_.get(), QPoint()), a->size()), rb(b->mapTo(form_.get(), QPoint()), b->size());
            QVERIFY2(!ra.intersects(rb), qPrintable(a->objectName() + " overlaps " + b->objectName()));
        }
    }
}

QTEST_MAIN(TestPanelModes)
#include "tst_panelmodes.moc"
