#include <QtTest>

#include <QPointer>

#include <memory>

#include "form1.h"
#include "form2.h"
#include "geometry.h"
#include "module1.h"
#include "testshell.h"

using namespace quorvane;

// The About window, opened from the main window's credit label.
class TestForm2 : public WindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aboutWindowOpensOnceTopmostAndClosesWithItsButton();
    void aboutWindowOpensTheWebAddress();
    void aboutWindowOutlivesTheMainWindow();
};

void TestForm2::init() { OpenWindow(); }

void TestForm2::cleanup() { CloseWindow(); }

void TestForm2::aboutWindowOpensOnceTopmostAndClosesWithItsButton() {
    form_->show();
    QTest::mouseClick(form_->Label37, Qt::LeftButton);
    QPointer<Form2> about = form_->aboutWindow();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(IsTopmost(about));
    QCOMPARE(about->windowTitle(), QString("版权信息"));
    QCOMPARE(about->Label1->text(), QString("Quorvane小程序"));
    QCOMPARE(about->Label3->text(), QString("网址:http://quorvane.cn"));
    QCOMPARE(about->Label3->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(about->size(), QSize(Twips(3720), Twips(1875)));
    QTest::mouseClick(form_->Label37, Qt::LeftButton);
    QCOMPARE(form_->aboutWindow(), about.data());
    QCOMPARE(QApplication::topLevelWidgets().count(about.data()), 1);
    QTest::mouseClick(about->Command1, Qt::LeftButton);
    QTRY_VERIFY(about.isNull());  // closed and unloaded
    QTest::mouseClick(form_->Label37, Qt::LeftButton);
    QVERIFY(form_->aboutWindow());
    QVERIFY(IsTopmost(form_->aboutWindow()));
}

void TestForm2::aboutWindowOpensTheWebAddress() {
    QTest::mouseClick(form_->Label37, Qt::LeftButton);
    Form2* about = form_->aboutWindow();
    QTest::mouseClick(about->Label3, Qt::LeftButton);
    QTest::mouseClick(about->Label3, Qt::LeftButton);
    QCOMPARE(shell_->webAddresses, (QStringList{"http://quorvane.cn", "http://quorvane.cn"}));
    QVERIFY(about->isVisible());
}

void TestForm2::aboutWindowOutlivesTheMainWindow() {
    form_->show();
    QTest::mouseClick(form_->Label37, Qt::LeftButton);
    QPointer<Form2> about = form_->aboutWindow();
    shell_->answers = {Answer::Yes};
    form_->Command6->click();
    QVERIFY(!form_->isVisible());
    QVERIFY(about && about->isVisible());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
