#include <QtTest>

#include <ctime>

#include "beam.h"
#include "beams.h"
#include "encoding.h"
#include "filelimit.h"
#include "report.h"

using namespace quorvane;

#include "testfiles.h"

namespace {

using quorvane::test::ReadAll;
using quorvane::test::WriteAll;

// A path as the system takes it: UTF-16 on Windows, bytes elsewhere.
std::filesystem::path Path(const QString& p) {
#ifdef Q_OS_WIN
    return std::filesystem::path(p.toStdWString());
#else
    return std::filesystem::path(p.toStdString());
#endif
}

Calculation Compute(const std::vector<std::pair<const char*, const char*>>& replaced) {
    return EvaluateBeam(test::TextsOf(replaced)).calculation;
}

}  // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void workedExampleMatchesLineByLine();
    void negativeNumbersAndResultTextsKeepTheirForms();
    void linesEndInCrLfAndTheFooterIsEightyWide();
    void dateFormIsIsoLocalTime();
    void writtenDateIsTheLocalTimeNotUtc();
    void lineWithFullWidthPunctuationEncodesToGbk();
    void textOutsideTheCodePageIsRefused();
    void asciiLocaleKeepsUtf8();
    void gbkLocaleWritesGbk();
    void writeReplacesTheWholeFile();
    void writerTakesItsDateAndCharsetFromTheCaller();
    void failedWriteLeavesTheOldFileByteIdentical();
    void writeIntoAMissingFolderSaysWhere();
    void startUpCreatesOnlyAMissingReport();
};

void TestReport::workedExampleMatchesLineByLine() {
    const Calculation c = Compute({});
    const ReportLines lines = BuildReportLines(c.inputs, c.results, "2026-12-10 08:30:05");
    const char* expected[kReportLineCount] = {
        "Quorvane(折算比例取 1 )",
        "",
        "梁上钢筋混凝土自重:",
        " 25 * .2 * .5 = 2.5 KN/m",
        "梁上抹灰自重:",
        " 17 * .02 *( .2 + .5 * 2 )= .408 KN/m",
        "梁自重:",
        " 1 *( 2.5 + .408 )=2.908KN/m",
        "",
        "墙净重:",
        "[ 3.6 * .18 *( 3 - .5 )-( 0 * 2.1 + 0 * 1.8 )* .18 ]* 18 = 29.16 KN",
        "墙上抹灰自重:",
        " 2 *[ 3.6  *( 3 - .5 )-( 0 * 2.1 + 0 * 1.8 )]* .02 * 17 = 6.12 KN",
        "门窗自重:",
        " 0 * 2.1 * .45 + 0 * 1.8 * .35 = 0 KN",
        "梁上砌体自重:",
        " 1 *( 29.16  + 6.12 + 0 )/  3.6 =9.8KN/m",
        "",
        "梁上总恒重:",
        " 2.908 + 9.8 =12.708KN/m",
        "广厦结构CAD应输入:",
        " 12.708 - 1 * 2.5 =10.208KN/m",
        "________________________________________________________________________________",
        "【Quorvane V2008.03.23】 Date：2026-12-10 08:30:05",
        nullptr,
    };
    for (std::size_t i = 0; i + 1 < kReportLineCount; ++i)
        QCOMPARE(QString::fromStdString(lines[i]), QString::fromUtf8(expected[i]));
    const QString footer = QString::fromStdString(lines[24]);
    QCOMPARE(footer, QString(29, '_') + QString::fromUtf8(kWebAddress.data(), int(kWebAddress.size())) +
                         QString(80 - 29 - int(kWebAddress.size()), '_'));
}

void TestReport::negativeNumbersAndResultTextsKeepTheirForms() {
    const Calculation c = Compute({{"WallHeight", "400"}});
    const ReportLines lines = BuildReportLines(c.inputs, c.results, "");
    QVERIFY2(QByteArray::fromStdString(lines[10]).endsWith("=-1.1664 KN"), lines[10].c_str());
    QVERIFY2(QByteArray::fromStdString(lines[16]).endsWith("=-0.392KN/m"), lines[16].c_str());
    QVERIFY2(QByteArray::fromStdString(lines[21]).endsWith("=0.016KN/m"), lines[21].c_str());
    QCOMPARE(lines[19], std::string(" 2.908 +-.392 =2.516KN/m"));
}

void TestReport::linesEndInCrLfAndTheFooterIsEightyWide() {
    const Calculation c = Compute({});
    const ReportLines lines = BuildReportLines(c.inputs, c.results, "d");
    const QByteArray text = QByteArray::fromStdString(ReportText(lines));
    QCOMPARE(text.count("\r\n"), 25);
    QCOMPARE(text.count('\n'), 25);
    QVERIFY(text.endsWith("\r\n"));
    QCOMPARE(lines[24].size(), std::size_t(80));
}

void TestReport::dateFormIsIsoLocalTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 3;
    t.tm_sec = 9;
    QCOMPARE(FormatReportDate(t), std::string("2026-01-05 07:03:09"));
#ifdef Q_OS_WIN
    // The user's own short date and time; the year is in it.
    const QString now = QString::fromStdString(CurrentReportDate());
    QVERIFY2(now.contains(QString::number(QDate::currentDate().year())), qPrintable(now));
#else
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                .match(QString::fromStdString(CurrentReportDate()))
                .hasMatch());
#endif
}

// A zone fourteen hours east of Greenwich (a POSIX rule, so no time-zone
// database is needed): a date written in UTC or in the machine's own zone
// cannot pass.
void TestReport::writtenDateIsTheLocalTimeNotUtc() {
#ifdef Q_OS_WIN
    QSKIP("Windows dates come from the system time zone, not TZ; the Wine tests check them");
#else
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "QVT-14");
    tzset();
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    const Calculation c = Compute({});
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const bool written = WriteCalculationReport(Path(path), c.inputs, c.results, SystemReportOptions()).ok;
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    tzset();
    QVERIFY(written);
    const QList<QByteArray> lines = ReadAll(path).split('\n');
    QVERIFY(lines.size() > 24);
    const QString dateLine = QString::fromUtf8(lines[23]).trimmed();
    QStringList expected;
    for (qint64 s = before; s <= after; ++s)
        expected
            << QDateTime::fromSecsSinceEpoch(s + 14 * 3600, QTimeZone::utc()).toString("yyyy-MM-dd HH:mm:ss");
    bool matched = false;
    for (const QString& e : expected) matched = matched || dateLine.endsWith("Date：" + e);
    QVERIFY2(matched, qPrintable(dateLine + " is not UTC+14 time " + expected.join(" or ")));
#endif
}

void TestReport::lineWithFullWidthPunctuationEncodesToGbk() {
    const auto bytes = EncodeFromUtf8("【Quorvane V2008.03.23】 Date：", "CP936");
    QVERIFY(bytes.has_value());
    QCOMPARE(QByteArray::fromStdString(*bytes),
             QByteArray("\xA1\xBEQuorvane V2008.03.23\xA1\xBF Date\xA3\xBA"));
    const auto caption = EncodeFromUtf8("梁自重:", "CP936");
    QVERIFY(caption.has_value());
    QCOMPARE(QByteArray::fromStdString(*caption), QByteArray("\xC1\xBA\xD7\xD4\xD6\xD8:"));
}

void TestReport::textOutsideTheCodePageIsRefused() {
    QVERIFY(!EncodeFromUtf8("梁 \xF0\x9F\x98\x80", "CP936").has_value());
    QVERIFY(!EncodeFromUtf8("梁", "NO-SUCH-CHARSET").has_value());
}

void TestReport::asciiLocaleKeepsUtf8() {
#ifdef Q_OS_WIN
    QSKIP("Windows reports follow the ANSI code page; the Wine tests check it");
#else
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    const std::string bytes = EncodeReport("梁自重:", SystemCharset());
    std::setlocale(LC_CTYPE, saved.c_str());
    QCOMPARE(bytes, std::string("梁自重:"));
#endif
}

void TestReport::gbkLocaleWritesGbk() {
#ifdef Q_OS_WIN
    QSKIP("Windows reports follow the ANSI code page; the Wine tests check it");
#else
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    const bool haveLocale = std::setlocale(LC_CTYPE, "zh_CN.GBK") != nullptr;
    const std::string bytes = EncodeReport("梁自重:", SystemCharset());
    const std::string mixed = EncodeReport("梁 \xF0\x9F\x98\x80", SystemCharset());
    std::setlocale(LC_CTYPE, saved.c_str());
    QVERIFY2(haveLocale, "locale zh_CN.GBK is missing (scripts/test.sh generates it)");
    QCOMPARE(QByteArray::fromStdString(bytes), QByteArray("\xC1\xBA\xD7\xD4\xD6\xD8:"));
    // Text GBK cannot hold stays UTF-8 whole rather than losing a character.
    QCOMPARE(mixed, std::string("梁 \xF0\x9F\x98\x80"));
#endif
}

void TestReport::writeReplacesTheWholeFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8(kReportFileName.data()));
    const Calculation c = Compute({});
    WriteAll(path, QByteArray(5000, 'x'));
    QVERIFY(WriteCalculationReport(Path(path), c.inputs, c.results, SystemReportOptions()).ok);
    const QByteArray written = ReadAll(path);
    const QByteArray expected = QByteArray::fromStdString(
        EncodeReport(ReportText(BuildReportLines(c.inputs, c.results, CurrentReportDate())), SystemCharset()));
    // Line 24 carries the time of writing; everything before it is fixed.
    const auto dateLine = expected.indexOf("Date");
    QCOMPARE(written.left(dateLine), expected.left(dateLine));
    QCOMPARE(written.size(), expected.size());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"计算过程.txt"});
}

// No process locale or clock involved: what the caller asks for is written.
void TestReport::writerTakesItsDateAndCharsetFromTheCaller() {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    const Calculation c = Compute({{"DoorWidth", "1414"}});
    const ReportOptions options{"2026-12-10 08:30:05", Gb18030Charset()};
    QVERIFY(WriteCalculationReport(Path(path), c.inputs, c.results, options).ok);
    const auto expected = EncodeFromUtf8(
        ReportText(BuildReportLines(c.inputs, c.results, "2026-12-10 08:30:05")), Gb18030Charset());
    QVERIFY(expected.has_value());
    const QByteArray written = ReadAll(path);
    QCOMPARE(written, QByteArray::fromStdString(*expected));
    QVERIFY(written.contains("\xC1\xBA\xD7\xD4\xD6\xD8:"));  // 梁自重: in GBK
    QVERIFY(
        written.contains("Date\xA3\xBA"
                         "2026-12-10 08:30:05\r\n"));
}

void TestReport::failedWriteLeavesTheOldFileByteIdentical() {
#ifdef Q_OS_WIN
    QSKIP("Windows has no file-size limit to make a write fail half way");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    const QByteArray old = "old report\r\n";
    WriteAll(path, old);
    const Outcome outcome = test::UnderFileSizeLimit(
        100, [&] { return ReplaceFileAtomically(Path(path), std::string(1000, 'y')); });
    QVERIFY(!outcome.ok);
    QVERIFY2(QString::fromStdString(outcome.message).contains(QDir::toNativeSeparators(path)),
             outcome.message.c_str());
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.txt"});
#endif
}

void TestReport::writeIntoAMissingFolderSaysWhere() {
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/计算过程.txt");
    const Outcome outcome = ReplaceFileAtomically(Path(path), "x");
    QVERIFY(!outcome.ok);
    const QString message = QString::fromStdString(outcome.message);
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains("文件夹不存在"),
             qPrintable(message));
}

void TestReport::startUpCreatesOnlyAMissingReport() {
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh.txt");
    QVERIFY(EnsureReportFileExists(Path(fresh)).ok);
    QVERIFY(QFileInfo::exists(fresh));
    QCOMPARE(QFileInfo(fresh).size(), 0);

    const QString existing = dir.filePath("existing.txt");
    WriteAll(existing, "kept");
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(EnsureReportFileExists(Path(existing)).ok);
    QCOMPARE(ReadAll(existing), QByteArray("kept"));
    QCOMPARE(QFileInfo(existing).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());

    const QString folder = dir.filePath("folder.txt");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(EnsureReportFileExists(Path(folder)).ok);
    QVERIFY(QFileInfo(folder).isDir());

    const Outcome missing = EnsureReportFileExists(Path(dir.filePath("none/x.txt")));
    QVERIFY(!missing.ok);
    QVERIFY(QString::fromStdString(missing.message)
                .contains(QDir::toNativeSeparators(dir.filePath("none/x.txt"))));
}

QTEST_APPLESS_MAIN(TestReport)
#include "tst_report.moc"
