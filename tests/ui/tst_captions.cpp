#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

#include "controls.h"
#include "form1.h"
#include "form2.h"
#include "geometry.h"
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
            const ControlSpec& c = table->rows[i];
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
    QVERIFY2(advance <= Room(w), qPrintable(QString("\"%1\" needs %2 px, has %3").arg(text).arg(advance).arg(Room(w))));
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
