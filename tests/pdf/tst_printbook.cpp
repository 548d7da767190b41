// The printed book is the written one: printing draws the same pages
// through QPainter (here onto Qt's own PDF printer device, read back
// with pdftotext) as the PDF file holds, page for page, word for word.
#include <QGuiApplication>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <string>
#include <vector>

#include "params.h"
#include "pdfbook.h"

using namespace quorvane;

namespace {

// Each page's words, sorted: where a word falls may differ by a hair
// between the two typesetters, which words a page holds may not.
QList<QStringList> PageWords(const QString& pdf) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(60000) || text.exitCode() != 0) return {};
    QList<QStringList> pages;
    for (const QString& page : QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'))) {
        QStringList words = page.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        std::sort(words.begin(), words.end());
        if (!words.isEmpty()) pages.push_back(words);
    }
    return pages;
}

ScheduleRow Beam(std::string_view mark, std::string_view field, std::string_view value) {
    ScheduleRow row;
    row.SetMark(mark);
    row.SetText(static_cast<std::size_t>(FindParam(field)), value);
    return row;
}

}  // namespace

class TestPrintBook : public QObject {
    Q_OBJECT

private slots:
    void printedPagesAreTheWrittenOnes() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // An ordinary beam, one with a door and a window, one refused, one failing.
        const std::vector<ScheduleRow> rows = {Beam("KL1", "BeamWidth", "250"), Beam("KL2", "DoorWidth", "900"),
                                               Beam("KL3", "BeamWidth", "12a"), Beam("KL4", "BeamLength", "0")};
        BookTitle title;
        title.project = "某住宅楼";
        title.part = "三层";
        title.date = "2026-12-11";
        const QString written = dir.filePath(QStringLiteral("written.pdf"));
        const Outcome book = WritePdfBook(written.toStdString(), rows, title);
        QVERIFY2(book.ok, book.message.c_str());

        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        {
            QPdfWriter printer(printed);
            printer.setResolution(600);
            const Outcome painted = PaintBook(printer, rows, title);
            QVERIFY2(painted.ok, painted.message.c_str());
        }
        const QList<QStringList> want = PageWords(written), got = PageWords(printed);
        QCOMPARE(want.size(), book.count);
        QCOMPARE(got.size(), want.size());
        for (qsizetype p = 0; p < want.size(); ++p) QCOMPARE(got[p], want[p]);
    }
};

QTEST_MAIN(TestPrintBook)
#include "tst_printbook.moc"
