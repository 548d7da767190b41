#include <QtTest>

#include <cstdio>

#include "beams.h"
#include "book.h"
#include "csv.h"
#include "document.h"
#include "encoding.h"
#include "params.h"
#include "schedulerun.h"
#include "package.h"
#include "workbookfile.h"
#include "workbooks.h"

using namespace quorvane;

namespace {

// A FILE* over bytes, as the reader and the schedule take them.
std::FILE* Input(const QByteArray& bytes) {
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), f);
    std::rewind(f);
    return f;
}

QByteArray Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, qsizetype(n));
    return bytes;
}

QList<QStringList> Records(const QByteArray& bytes, QList<bool>* unterminated = nullptr) {
    std::FILE* f = Input(bytes);
    CsvReader reader(f);
    std::vector<std::string> fields;
    QList<QStringList> records;
    while (reader.Next(fields)) {
        QStringList r;
        for (const auto& s : fields) r << QString::fromStdString(s);
        records << r;
        if (unterminated) *unterminated << reader.unterminated();
    }
    std::fclose(f);
    return records;
}

// quorvane-calc's exit codes for a run.
enum { kRunOk = 0, kRunRowErrors = 1, kRunUsageError = 2 };

struct Run {
    int exit;
    QString message;  // the failure, or else the warnings
    QList<QStringList> rows;  // output records, header first
    QByteArray bytes;         // the output as written
    Cause cause = Cause::None;
};

Run Schedule(const QByteArray& csv, const ScheduleOptions& options = {}) {
    std::FILE* in = Input(csv);
    std::FILE* out = std::tmpfile();
    const Outcome run = RunSchedule(in, out, options);
    const QByteArray written = Contents(out);
    std::fclose(in);
    std::fclose(out);
    return {ExitCodeOf(run), QString::fromStdString(run.ok ? run.warnings : run.message), Records(written),
            written, run.cause};
}

// Mark, the inputs, then the results.
constexpr int kFirstResultColumn = 1 + int(kInputCount);

QString Column(const Run& o, int row, const QString& name) {
    return o.rows.at(row).value(int(o.rows.at(0).indexOf(name)));
}

}  // namespace

class TestSchedule : public QObject {
    Q_OBJECT

private slots:
    void aWorkbookSaveSaysWhatItCannotKeep_data();
    void aWorkbooksLoadsAreTheRowsOwn();
    void savesOneAfterAnotherKeepEveryRow_data();
    void savesOneAfterAnotherKeepEveryRow();
    void aWorkbookSaveSaysWhatItCannotKeep();
    void readerHandlesQuotingAndLineEnds_data();
    void readerHandlesQuotingAndLineEnds();
    void writerQuotesOnlyWhatNeedsIt();
    void workedExamplesComputeAsInTheWindow();
    void badRowsCarryTheirErrorsWhileOthersCompute();
    void unknownOrRepeatedColumnIsRefused_data();
    void unknownOrRepeatedColumnIsRefused();
    void raggedAndUnterminatedRowsAreErrors();
    void strayQuoteNamesItsLineAndTheRowsItSwallowed();
    void longMarksGiveShortenedDistinctReportNames();
    void unwritableReportFolderIsOneMessageBeforeAnyRow();
    void outputKeepsTheEncodingOfTheInput_data();
    void outputKeepsTheEncodingOfTheInput();
    void chineseExcelFileReadsWholeAcrossChunks();
    void reportsAreWrittenPerRowWithoutOverwriting();
    void markBecomesASafeFileName_data();
    void markBecomesASafeFileName();
    void marksWindowsTakesForOneNameGetTwoReports();
    void undecodableBytesAreKeptAndNamedByTheirLine_data();
    void undecodableBytesAreKeptAndNamedByTheirLine();
    void excelUnicodeTextIsRead();
    void emptyRowOfAOneColumnScheduleSurvives();
    void packedRowKeepsEveryTextExactly();
    void addedColumnsSpeakTheHeadersLanguage_data();
    void addedColumnsSpeakTheHeadersLanguage();
    void outputReadsBackAsInputWithTheSameResults();
    void captionsNameColumnsAsFieldNamesDo();
    void tabSeparatedTextAsSpreadsheetsPutIt_data();
    void tabSeparatedTextAsSpreadsheetsPutIt();
};

void TestSchedule::readerHandlesQuotingAndLineEnds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("records");
    QTest::newRow("plain, LF") << QByteArray("a,b\n1,2\n") << QList<QStringList>{{"a", "b"}, {"1", "2"}};
    QTest::newRow("CR LF and BOM") << QByteArray(
                                          "\xEF\xBB\xBF"
                                          "a,b\r\n1,2\r\n")
                                   << QList<QStringList>{{"a", "b"}, {"1", "2"}};
    QTest::newRow("no final line end") << QByteArray("a\n1") << QList<QStringList>{{"a"}, {"1"}};
    QTest::newRow("empty cells") << QByteArray(",x,\n") << QList<QStringList>{{"", "x", ""}};
    QTest::newRow("quoted comma and quote")
        << QByteArray("\"K,L1\",\"say \"\"hi\"\"\"\n") << QList<QStringList>{{"K,L1", "say \"hi\""}};
    QTest::newRow("quoted line break")
        << QByteArray("\"two\r\nlines\",x\n") << QList<QStringList>{{"two\r\nlines", "x"}};
    QTest::newRow("empty quoted") << QByteArray("\"\",a\n") << QList<QStringList>{{"", "a"}};
    QTest::newRow("blank line") << QByteArray("a\n\nb\n") << QList<QStringList>{{"a"}, {""}, {"b"}};
}

void TestSchedule::readerHandlesQuotingAndLineEnds() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QStringList>, records);
    QCOMPARE(Records(bytes), records);
}

void TestSchedule::writerQuotesOnlyWhatNeedsIt() {
    std::string out;
    for (const char* field : {"KL1", "K,L", "a\"b", "two\nlines", ""}) {
        AppendCsvField(out, field);
        out += '|';
    }
    QCOMPARE(out, std::string("KL1|\"K,L\"|\"a\"\"b\"|\"two\nlines\"||"));
}

void TestSchedule::workedExamplesComputeAsInTheWindow() {
    // Every field given for each example, then one beam with only a few
    // columns and a refused ratio.
    const auto& examples = test::WorkedExamples();
    QByteArray csv = "Mark";
    for (const ParamInfo& p : kParams) csv += "," + QByteArray(p.field.data(), qsizetype(p.field.size()));
    csv += "\r\n";
    for (const test::Beam& beam : examples) {
        const BeamTexts texts = test::TextsOf(beam.texts);
        csv += QByteArray("\"") + beam.tag + "\"";
        for (std::size_t i = 0; i < kInputCount; ++i) csv += "," + QByteArray::fromStdString(texts[i]);
        csv += "\r\n";
    }
    const Run o = Schedule(csv);
    QCOMPARE(o.exit, int(kRunOk));
    QCOMPARE(o.rows.size(), qsizetype(examples.size() + 1));
    QCOMPARE(o.rows[0].mid(kFirstResultColumn),
             (QStringList{"BeamSelfWeight", "MasonryWeight", "TotalDeadLoad", "CadInputLoad", "CopiedLoad",
                          "Error"}));
    for (std::size_t i = 0; i < examples.size(); ++i) {
        QStringList expected;
        for (const char* text : examples[i].results) expected << text;
        expected << examples[i].copied << "";
        QCOMPARE(o.rows[int(i) + 1].mid(kFirstResultColumn), expected);
    }

    const Run partial =
        Schedule("Mark,DoorWidth,ReductionRatio,WallPlasterThickness\r\nKL1,1414,1,20\r\nKL2,,,\r\n");
    QCOMPARE(partial.exit, int(kRunRowErrors));  // KL2's empty ratio is refused
    QCOMPARE(partial.rows[0].first(), QString("Mark"));
    QCOMPARE(partial.rows[0].mid(1, int(kInputCount)).first(), QString("BeamWidth"));
    QCOMPARE(partial.rows[1].mid(kFirstResultColumn, int(kResultCount)),
             (QStringList{"2.908", "6.93782833333333", "9.84582833333333", "7.34582833333333"}));
    // The texts as used: given ones and the window's defaults.
    QCOMPARE(Column(partial, 1, "DoorWidth"), QString("1414"));
    QCOMPARE(Column(partial, 1, "BeamLength"), QString("3600"));
    QCOMPARE(Column(partial, 2, "WallPlasterThickness"), QString(""));
    QVERIFY2(Column(partial, 2, "Error").contains("ReductionRatio"), qPrintable(Column(partial, 2, "Error")));
}

void TestSchedule::badRowsCarryTheirErrorsWhileOthersCompute() {
    const Run o = Schedule(
        "Mark,BeamWidth,WallHeight,ReductionRatio,BeamLength\n"
        "A,200,3000,1,3600\nB,100001,3000,1,3600\nC,200,3000x,1,3600\nD,200,3000,,3600\nE,200,3000,1,0\n"
        "F,200,3000,1e308,3600\nG,200,3000,1,3600\n");
    QCOMPARE(o.exit, int(kRunRowErrors));
    QCOMPARE(o.rows.size(), 8);
    const QStringList mustSay = {"", "BeamWidth", "WallHeight", "ReductionRatio", "梁长度", "溢出", ""};
    for (int row = 1; row <= 7; ++row) {
        const QString error = Column(o, row, "Error");
        const QString& say = mustSay[row - 1];
        if (say.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(Column(o, row, "CadInputLoad"), QString("10.208"));
        } else {
            QVERIFY2(error.contains(say), qPrintable(error));
            QCOMPARE(Column(o, row, "BeamSelfWeight"), QString());
            QCOMPARE(Column(o, row, "CopiedLoad"), QString());
        }
    }
}

void TestSchedule::unknownOrRepeatedColumnIsRefused_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("mustSay");
    QTest::newRow("misspelt") << QByteArray("Mark,BeamWidht\nKL1,200\n") << "BeamWidht";
    QTest::newRow("repeated") << QByteArray("BeamWidth,BeamWidth\n200,300\n") << "BeamWidth";
    QTest::newRow("repeated, once by caption")
        << QByteArray("BeamWidth,梁宽度(mm)\n200,300\n") << "梁宽度(mm)";
    QTest::newRow("empty input") << QByteArray("") << "列名";
}

void TestSchedule::unknownOrRepeatedColumnIsRefused() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, mustSay);
    const Run o = Schedule(csv);
    QCOMPARE(o.exit, int(kRunUsageError));
    QCOMPARE(o.cause, Cause::Refused);
    QVERIFY(o.rows.isEmpty());
    QVERIFY2(o.message.contains(mustSay), qPrintable(o.message));
}

void TestSchedule::raggedAndUnterminatedRowsAreErrors() {
    const Run o = Schedule("Mark,BeamWidth\nKL1,200\nKL2\nKL3,200,9\nKL4,\"200\n");
    QCOMPARE(o.exit, int(kRunRowErrors));
    QCOMPARE(o.rows.size(), 5);
    QCOMPARE(Column(o, 1, "Error"), QString());
    QVERIFY(Column(o, 2, "Error").contains("列"));
    QVERIFY(Column(o, 3, "Error").contains("列"));
    QVERIFY(Column(o, 4, "Error").contains("引号"));
}

// A stray quote swallows the rest of the file into one cell: the message
// says where it began and how much it took, and the run does not pass.
void TestSchedule::strayQuoteNamesItsLineAndTheRowsItSwallowed() {
    const Run o = Schedule("Mark,BeamWidth\r\nKL1,200\r\nKL2,\"250\r\nKL3,300\r\nKL4,300\r\nKL5,300\r\n");
    QCOMPARE(o.exit, int(kRunRowErrors));
    QCOMPARE(o.rows.size(), 3);
    const QString error = Column(o, 2, "Error");
    QVERIFY2(error.contains("第 3 行") && error.contains("4 行"), qPrintable(error));
}

void TestSchedule::reportsAreWrittenPerRowWithoutOverwriting() {
    QTemporaryDir dir;
    ScheduleOptions options;
    options.reportDir = std::filesystem::path(dir.filePath("reports").toStdString());
    const Run o = Schedule("Mark,DoorWidth\nKL1,900\nKL1,1414\nkl1,0\n,0\nA/B,0\nX,abc\n", options);
    QCOMPARE(o.exit, int(kRunRowErrors));
    QStringList files = QDir(dir.filePath("reports")).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, (QStringList{"A_B.txt", "KL1-2.txt", "KL1.txt", "kl1-3.txt", "row-4.txt"}));
    QFile second(dir.filePath("reports/KL1-2.txt"));
    QVERIFY(second.open(QIODevice::ReadOnly));
    QVERIFY(second.readAll().contains("=6.93782833333333KN/m"));
}

void TestSchedule::longMarksGiveShortenedDistinctReportNames() {
    QTemporaryDir dir;
    ScheduleOptions options;
    options.reportDir = std::filesystem::path(dir.filePath("reports").toStdString());
    const QString stem = QString("框架梁").repeated(100);  // 900 bytes, far past a file name's limit
    const QByteArray csv = "Mark\n" + (stem + "A").toUtf8() + "\n" + (stem + "B").toUtf8() + "\n";
    const Run o = Schedule(csv, options);
    QCOMPARE(o.exit, int(kRunOk));
    const QStringList files = QDir(dir.filePath("reports")).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    for (const QString& f : files) {
        QVERIFY2(f.toUtf8().size() <= 255, qPrintable(f));
        QVERIFY2(f.startsWith("框架梁框架梁") && f.endsWith(".txt"), qPrintable(f));
    }
}

void TestSchedule::unwritableReportFolderIsOneMessageBeforeAnyRow() {
#ifdef Q_OS_WIN
    QSKIP("needs a folder that refuses files even to an administrator (/proc)");
#else
    ScheduleOptions options;
    options.reportDir = std::filesystem::path("/proc/self");
    const Run o = Schedule("Mark\nKL1\nKL2\n", options);
    QCOMPARE(o.exit, int(kRunUsageError));
    QVERIFY2(o.message.contains("/proc/self"), qPrintable(o.message));
    QVERIFY(o.rows.isEmpty());
#endif
}

QByteArray Gbk(const QString& text) {
    const auto bytes = EncodeFromUtf8(text.toStdString(), Gb18030Charset());
    return bytes ? QByteArray::fromStdString(*bytes) : QByteArray("<no GB18030 converter>");
}

// A schedule saved by Excel on Chinese Windows (GBK), as "CSV UTF-8" (with
// a byte-order mark) or by another program (plain UTF-8): the marks come out
// as they went in, in the same encoding, so Excel opens the result right.
void TestSchedule::outputKeepsTheEncodingOfTheInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("forced");
    QTest::addColumn<QByteArray>("outputStart");
    QTest::addColumn<QByteArray>("markAsWritten");
    const QString mark = "框架梁KL1";
    const QByteArray header = "Mark,DoorWidth\r\n";
    const int automatic = int(TextEncoding::Auto);
    QTest::newRow("GBK from Chinese Excel") << header + Gbk(mark) + ",900\r\n"
                                            << automatic << QByteArray("Mark,") << Gbk(mark);
    QTest::newRow("UTF-8 with a byte-order mark")
        << "\xEF\xBB\xBF" + header + mark.toUtf8() + ",900\r\n"
        << automatic << QByteArray("\xEF\xBB\xBFMark,") << mark.toUtf8();
    QTest::newRow("plain UTF-8") << header + mark.toUtf8() + ",900\r\n"
                                 << automatic << QByteArray("Mark,") << mark.toUtf8();
    QTest::newRow("GBK named by --encoding")
        << header + Gbk(mark) + ",900\r\n"
        << int(TextEncoding::Gb18030) << QByteArray("Mark,") << Gbk(mark);
}

void TestSchedule::outputKeepsTheEncodingOfTheInput() {
    QFETCH(QByteArray, input);
    QFETCH(int, forced);
    QFETCH(QByteArray, outputStart);
    QFETCH(QByteArray, markAsWritten);
    ScheduleOptions options;
    options.encoding = TextEncoding(forced);
    const Run o = Schedule(input, options);
    QCOMPARE(o.exit, int(kRunOk));
    QVERIFY2(o.bytes.startsWith(outputStart), o.bytes.left(20).toHex().constData());
    QVERIFY2(o.bytes.contains("\r\n" + markAsWritten + ",200,500,"), o.bytes.toHex().constData());
    QVERIFY(o.bytes.contains(",2.908,7.97825,10.88625,8.38625,8.4,"));  // as the reference model gives
    QCOMPARE(o.rows.at(1).at(0), QString("框架梁KL1"));                 // read back as the same text
}

// Thousands of Chinese marks in GBK: the reader's chunks never cut a
// character, and a column name in GBK is reported readably.
void TestSchedule::chineseExcelFileReadsWholeAcrossChunks() {
    QString text = "Mark,BeamLength\r\n";
    const int rows = 120000;  // about 2.4 MB, past the reader's chunk size
    for (int i = 0; i < rows; ++i) text += QString("梁%1,3600\r\n").arg(i);
    const Run o = Schedule(Gbk(text));
    QCOMPARE(o.exit, int(kRunOk));
    QCOMPARE(o.rows.size(), rows + 1);
    for (int i : {1, 52000, 104000, rows}) QCOMPARE(o.rows.at(i).at(0), QString("梁%1").arg(i - 1));

    const Run refused = Schedule("Mark," + Gbk("梁宽") + "\r\nKL1,200\r\n");
    QCOMPARE(refused.exit, int(kRunUsageError));
    QVERIFY2(refused.message.contains("梁宽"), qPrintable(refused.message));
}

void TestSchedule::markBecomesASafeFileName_data() {
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "KL1"
                           << "KL1";
    QTest::newRow("separators") << "1/2\\3:4"
                                << "1_2_3_4";
    QTest::newRow("dots and blanks at the ends") << " .KL1. "
                                                 << "KL1";
    QTest::newRow("nothing left") << " .. "
                                  << "";
    QTest::newRow("device name") << "con"
                                 << "_con";
    QTest::newRow("chinese") << "框架梁1"
                             << "框架梁1";
    // Every name Windows keeps for a device, whatever follows it.
    QTest::newRow("COM0") << "COM0"
                          << "_COM0";
    QTest::newRow("LPT0 with a suffix") << "lpt0.a"
                                        << "_lpt0.a";
    QTest::newRow("superscript digit") << "COM¹"
                                       << "_COM¹";
    QTest::newRow("LPT³") << "LPT³"
                          << "_LPT³";
    QTest::newRow("blank before the dot") << "NUL .x"
                                          << "_NUL .x";
    QTest::newRow("console input") << "CONIN$"
                                   << "_CONIN$";
    QTest::newRow("two digits are no device") << "COM10"
                                              << "COM10";
}

// Windows compares names without case in every script: two marks that it
// would take for one name get two reports.
void TestSchedule::marksWindowsTakesForOneNameGetTwoReports() {
    ReportNames names;
    QStringList given;
    for (const char* mark : {"KLä", "KLÄ", "ＫＬ", "ｋｌ", "梁Σ", "梁σ", "梁ς"})
        given << QString::fromStdString(names.Next(mark, 1));
    QCOMPARE(given, (QStringList{"KLä.txt", "KLÄ-2.txt", "ＫＬ.txt", "ｋｌ-2.txt", "梁Σ.txt", "梁σ-2.txt",
                                 "梁ς-3.txt"}));
}

void TestSchedule::markBecomesASafeFileName() {
    QFETCH(QString, mark);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(SafeFileName(mark.toStdString())), name);
}

// One stray byte never makes a file two encodings, nor hides its header:
// the byte goes out as it came in, and the warning names its line.
void TestSchedule::undecodableBytesAreKeptAndNamedByTheirLine_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("strayBytes");  // must stand in the output as they are
    QTest::addColumn<QString>("mustSay");
    const QByteArray header = Gbk("梁号,梁宽度(mm),梁长度(mm)\r\n");
    QByteArray many = header;
    for (int i = 0; i < 3000; ++i) many += Gbk(QString("梁%1,200,3600\r\n").arg(i));
    QTest::newRow("GBK, a bad byte in row 3")
        << header + Gbk("梁1,200,3600\r\n") + Gbk("梁2") + "\x80" + Gbk("甲,250,3600\r\n")
        << QByteArray("\x80") << "第 3 行";
    QTest::newRow("GBK, many rows, one bad byte far down") << many + "KL\xFF" + Gbk("乙") + ",200,3600\r\n"
                                                           << QByteArray("KL\xFF") << "第 3002 行";
    QTest::newRow("GBK cut inside its last character")
        << header + Gbk("梁1,200,3600\r\n梁2,200,3600") + "\xC1" << QByteArray("3600\xC1") << "中间结束";
    QTest::newRow("UTF-8, a stray Latin-1 byte among Chinese")
        << QString("梁号,梁宽度(mm),梁长度(mm)\r\n框架梁1,200,3600\r\n").toUtf8() + "KL\xE9,200,3600\r\n"
        << QByteArray("\r\nKL\xE9,200,") << "第 3 行";
}

void TestSchedule::undecodableBytesAreKeptAndNamedByTheirLine() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, strayBytes);
    QFETCH(QString, mustSay);
    const Run o = Schedule(input);
    QVERIFY2(o.exit != int(kRunUsageError), qPrintable(o.message));
    QVERIFY2(o.message.contains(mustSay), qPrintable(o.message));
    QVERIFY2(o.bytes.contains(strayBytes), o.bytes.right(200).toHex().constData());
    // One encoding: the output is the input's, stray bytes aside.
    const bool gbk = !QString::fromUtf8(input).contains("框架梁");
    QByteArray clean = o.bytes;
    clean.replace(strayBytes, ",");
    if (gbk) {
        QVERIFY(DecodeToUtf8(clean.toStdString(), Gb18030Charset()).has_value());
        QVERIFY(!clean.contains(QString("梁").toUtf8()));
    } else {
        QCOMPARE(ValidUtf8Prefix(clean.toStdString(), false), std::size_t(clean.size()));
        QVERIFY(o.bytes.contains(QString("框架梁1").toUtf8()));
    }
    // The same through the window's file: saved unchanged, it is the same bytes.
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    const Outcome read = ReadScheduleBytes(input.toStdString(), TextEncoding::Auto, layout, rows);
    QVERIFY2(read.ok, read.message.c_str());
    QVERIFY(QString::fromStdString(read.warnings).contains(mustSay));
    std::vector<ShownResult> results;
    for (const ScheduleRow& row : rows) results.emplace_back(EvaluateBeam(row.texts()));
    layout.columns.resize(3);  // inputs only, as the file had them
    QCOMPARE(QByteArray::fromStdString(ScheduleFileBytes(layout, rows, results)), input);
}

void TestSchedule::excelUnicodeTextIsRead() {
    const QString text = "梁号\t梁宽度(mm)\t梁长度(mm)\r\nKL1\t200\t3600\r\n框架梁2\t250\t4200\r\n";
    QByteArray utf16("\xFF\xFE");
    for (QChar c : text) utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);  // little endian
    const Run o = Schedule(utf16);
    QCOMPARE(o.exit, int(kRunOk));
    QVERIFY2(o.message.contains("UTF-16"), qPrintable(o.message));
    QVERIFY(o.bytes.startsWith("\xEF\xBB\xBFMark,"));
    QCOMPARE(o.rows.size(), 3);
    QCOMPARE(o.rows.at(2).at(0), QString("框架梁2"));
    QCOMPARE(Column(o, 2, "BeamWidth"), QString("250"));
    QCOMPARE(Column(o, 2, "BeamLength"), QString("4200"));
}

void TestSchedule::emptyRowOfAOneColumnScheduleSurvives() {
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    QVERIFY(ReadScheduleBytes("Mark\r\nKL1\r\n\"\"\r\nKL3\r\n", TextEncoding::Auto, layout, rows).ok);
    QCOMPARE(rows.size(), std::size_t(3));
    std::vector<ShownResult> results(rows.size());
    const std::string saved = ScheduleFileBytes(layout, rows, results);
    QCOMPARE(QByteArray::fromStdString(saved), QByteArray("Mark\r\nKL1\r\n\"\"\r\nKL3\r\n"));
    std::vector<ScheduleRow> again;
    QVERIFY(ReadScheduleBytes(saved, TextEncoding::Auto, layout, again).ok);
    QCOMPARE(again.size(), std::size_t(3));
    // A blank line is still no row.
    QVERIFY(ReadScheduleBytes("Mark\r\nKL1\r\n\r\nKL3\r\n", TextEncoding::Auto, layout, again).ok);
    QCOMPARE(again.size(), std::size_t(2));
}

// The table holds rows packed: texts of any length and byte, set in any
// order, read back as set; a row back at its defaults holds no buffer.
void TestSchedule::packedRowKeepsEveryTextExactly() {
    const std::string longText(300, 'x');  // a length of two varint bytes
    const std::string withNul("1\0" "2", 3);
    const std::string widest(16384, '9');  // three varint bytes
    ScheduleRow row;
    QCOMPARE(row.mark(), std::string_view());
    for (std::size_t i = 0; i < kInputCount; ++i) QCOMPARE(row.text(i), kParams[i].defaultText);
    const std::size_t last = kInputCount - 1;
    row.SetText(last, longText);
    row.SetMark("KL1");
    row.SetText(0, withNul);
    row.SetText(1, "");
    row.SetText(2, widest);
    QCOMPARE(row.mark(), std::string_view("KL1"));
    QCOMPARE(row.text(last), std::string_view(longText));
    QCOMPARE(row.text(0), std::string_view(withNul));
    QCOMPARE(row.text(1), std::string_view());  // empty is a text of its own, not the default
    QCOMPARE(row.text(2), std::string_view(widest));
    const InputTexts views = row.texts();
    for (std::size_t i = 0; i < kInputCount; ++i) QCOMPARE(views[i], row.text(i));
    QCOMPARE(ScheduleRow(row.mark(), views).text(2), std::string_view(widest));
    row.SetText(2, "x");  // shrinking a field in the middle keeps its neighbours
    QCOMPARE(row.text(1), std::string_view());
    QCOMPARE(row.text(3), kParams[3].defaultText);
    QCOMPARE(row.text(last), std::string_view(longText));
    for (std::size_t i = 0; i < kInputCount; ++i) row.SetText(i, kParams[i].defaultText);
    row.SetMark("");
    QVERIFY(ScheduleRow(row.mark(), row.texts()).texts() == ScheduleRow().texts());

    // A result keeps what the table shows: the texts, the copy, the error, the refused bits.
    ScheduleRow refused;
    refused.SetText(0, "12a");
    const BeamOutcome bad = EvaluateBeam(refused.texts());
    const ShownResult shownBad(bad);
    QVERIFY(!shownBad.ok());
    QCOMPARE(shownBad.error(), std::string_view(bad.error));
    QVERIFY(shownBad.IsRefused(0) && !shownBad.IsRefused(1));
    QCOMPARE(shownBad.result(kBeamSelfWeight), std::string_view());
    const BeamOutcome good = EvaluateBeam(ScheduleRow().texts());
    const ShownResult shownGood(good);
    QVERIFY(shownGood.ok());
    for (std::size_t i = 0; i < kResultCount; ++i)
        QCOMPARE(shownGood.result(i), std::string_view(ResultText(good.calculation.results, i)));
    QCOMPARE(shownGood.copied(), std::string_view(good.copied));
}

// A column the file lacked, filled in the window, joins the header in the
// header's own words.
void TestSchedule::addedColumnsSpeakTheHeadersLanguage_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("added");
    const ScheduleColumn door{ColumnKind::Input, std::size_t(FindParam("DoorWidth"))};
    QTest::newRow("captions") << QByteArray("梁号,梁宽度(mm)\r\nKL1,300\r\n")
                              << QString::fromStdString("," + ColumnCaption(door));
    QTest::newRow("captions without units")
        << QByteArray(" 梁宽度\r\n300\r\n") << QString::fromStdString("," + ColumnCaption(door));
    QTest::newRow("field names") << QByteArray("Mark,BeamWidth\r\nKL1,300\r\n") << QString(",DoorWidth");
}

void TestSchedule::addedColumnsSpeakTheHeadersLanguage() {
    QFETCH(QByteArray, file);
    QFETCH(QString, added);
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    QVERIFY(ReadScheduleBytes(file.toStdString(), TextEncoding::Auto, layout, rows).ok);
    rows[0].SetText(std::size_t(FindParam("DoorWidth")), "900");
    std::vector<ShownResult> results(rows.size());
    const QString saved = QString::fromStdString(ScheduleFileBytes(SavedLayout(layout, rows), rows, results));
    const QString header = saved.left(saved.indexOf("\r\n"));
    QVERIFY2(header.endsWith(added), qPrintable(header));
}

void TestSchedule::outputReadsBackAsInputWithTheSameResults() {
    // Results and errors in the input are recomputed, not taken.
    const Run first = Schedule("Mark,BeamWidth,BeamLength\nKL1,300,4300\nKL2,12a,3600\nKL3,200,0\n");
    QCOMPARE(first.exit, int(kRunRowErrors));
    QList<QByteArray> lines = first.bytes.split('\n');
    for (int row : {1, 2}) {  // a computed row and a refused one
        QList<QByteArray> cells = lines[row].split(',');
        cells[kFirstResultColumn] = "9.999";
        lines[row] = cells.join(',');
    }
    const QByteArray tampered = lines.join('\n');
    QVERIFY(tampered != first.bytes);
    const Run again = Schedule(tampered);
    QCOMPARE(again.exit, int(kRunRowErrors));
    QCOMPARE(again.bytes, first.bytes);
}

void TestSchedule::captionsNameColumnsAsFieldNamesDo() {
    const Run byField = Schedule("Mark,BeamWidth,WallHeight,ReductionRatio\nKL1,300,4600,0.8\n");
    const Run byCaption = Schedule(" 梁号 ,梁宽度(mm),墙高度,reductionratio\nKL1,300,4600,0.8\n");
    QCOMPARE(byCaption.exit, 0);
    QCOMPARE(byCaption.bytes, byField.bytes);
}

void TestSchedule::tabSeparatedTextAsSpreadsheetsPutIt_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QStringList>>("records");
    QTest::newRow("CR LF, last line ended")
        << QByteArray("a\tb\r\n1\t2\r\n") << QList<QStringList>{{"a", "b"}, {"1", "2"}};
    QTest::newRow("LF, last line open")
        << QByteArray("a\tb\n1\t2") << QList<QStringList>{{"a", "b"}, {"1", "2"}};
    QTest::newRow("empty cells") << QByteArray("\tx\t\n") << QList<QStringList>{{"", "x", ""}};
    QTest::newRow("quoted line break, tab and quote")
        << QByteArray("\"two\nlines\"\t\"a\tb\"\t\"say \"\"hi\"\"\"\n")
        << QList<QStringList>{{"two\nlines", "a\tb", "say \"hi\""}};
    QTest::newRow("quote inside a plain cell") << QByteArray("5\"\tx\n") << QList<QStringList>{{"5\"", "x"}};
    QTest::newRow("one cell") << QByteArray("KL1") << QList<QStringList>{{"KL1"}};
}

void TestSchedule::tabSeparatedTextAsSpreadsheetsPutIt() {
    QFETCH(QByteArray, text);
    QFETCH(QList<QStringList>, records);
    const auto parsed = ParseTabSeparated(text.toStdString());
    QList<QStringList> cells;
    for (const auto& record : parsed) {
        QStringList r;
        for (const auto& cell : record) r << QString::fromStdString(cell);
        cells << r;
    }
    QCOMPARE(cells, records);
    // Written back, the cells parse the same.
    std::string written;
    for (const auto& record : parsed) AppendTabRecord(written, record);
    QVERIFY(ParseTabSeparated(written) == parsed);
}

// Saving into a workbook changes only the schedule's cells; what would
// not stay as the user made it is said, never done silently.
void TestSchedule::aWorkbookSaveSaysWhatItCannotKeep_data() {
    QTest::addColumn<QString>("around");  // the sheet's parts after its cells
    QTest::addColumn<QString>("change");  // edit, append or delete
    QTest::addColumn<QString>("says");    // empty: nothing lost
    const QString table = "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>";
    QTest::newRow("an edit in a plain sheet") << "" << "edit" << "";
    QTest::newRow("a beam added below a plain sheet") << "" << "append" << "";
    QTest::newRow("a beam added below a table object") << table << "append" << "表格";
    QTest::newRow("an edit in a protected sheet") << "<sheetProtection sheet=\"1\"/>" << "edit" << "保护";
    QTest::newRow("a beam deleted above a formula") << "" << "delete" << "公式";
    QTest::newRow("a beam deleted above a merge")
        << "<mergeCells count=\"1\"><mergeCell ref=\"F3:G3\"/></mergeCells>" << "delete" << "合并单元格";
}

void TestSchedule::aWorkbookSaveSaysWhatItCannotKeep() {
    QFETCH(QString, around);
    QFETCH(QString, change);
    QFETCH(QString, says);
    const std::string rows =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Mark</t></is></c><c r=\"B1\" t=\"inlineStr\"><is><t>"
        "BeamWidth</t></is></c></row><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>KL1</t></is></c><c r=\"B2\">"
        "<v>200</v></c></row><row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>KL2</t></is></c><c r=\"B3\"><v>250"
        "</v></c>" + std::string(change == "delete" && says == "公式" ? "<c r=\"E3\"><f>B3*2</f><v>500</v></c>" : "") +
        "</row>";
    auto bytes = std::make_shared<const std::string>(
        test::ExcelWorkbook({{"一层", test::ExcelSheet(rows, around.toStdString())}}, ""));
    CsvLayout layout;
    std::vector<ScheduleRow> beams;
    QVERIFY(ReadWorkbookSchedule(bytes, 0, layout, beams).ok);
    QCOMPARE(beams.size(), std::size_t(2));
    if (change == "edit") beams[1].SetText(std::size_t(FindParam("BeamWidth")), "300");
    if (change == "append") beams.emplace_back();
    if (change == "delete") beams.erase(beams.begin());
    std::vector<ShownResult> results;
    for (const ScheduleRow& row : beams) results.emplace_back(EvaluateBeam(row.texts()));
    WorkbookSave save;
    QVERIFY(WorkbookFileBytes(SavedLayout(layout, beams, false), beams, results, save).ok);
    const QString losses = QString::fromStdString(save.losses);
    QVERIFY2(says.isEmpty() ? losses.isEmpty() : losses.contains(says), qPrintable(losses));
    // Whatever is said, the saved workbook reads back as the rows saved.
    CsvLayout again;
    std::vector<ScheduleRow> reread;
    QVERIFY(ReadWorkbookSchedule(save.bytes, 0, again, reread).ok);
    QCOMPARE(reread.size(), beams.size());
    for (std::size_t r = 0; r < beams.size(); ++r) {
        QCOMPARE(reread[r].mark(), beams[r].mark());
        QCOMPARE(reread[r].text(std::size_t(FindParam("BeamWidth"))), beams[r].text(std::size_t(FindParam("BeamWidth"))));
    }
}

// The loads a workbook shows beside its beams are always the rows' own: a
// stale one is written over on any save (with or without 保存时包含计算结果),
// a right one is left as it was, with the rest of its row.
void TestSchedule::aWorkbooksLoadsAreTheRowsOwn() {
    const std::string header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Mark</t></is></c><c r=\"B1\" "
                               "t=\"inlineStr\"><is><t>BeamWidth</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>"
                               "BeamSelfWeight</t></is></c></row>";
    const std::string right = "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>KL1</t></is></c><c r=\"B2\"><v>200"
                              "</v></c><c r=\"C2\" s=\"1\"><v>2.908</v></c></row>";
    const std::string stale = "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>KL2</t></is></c><c r=\"B3\"><v>300"
                              "</v></c><c r=\"C3\" s=\"1\"><v>999</v></c></row>";
    auto bytes = std::make_shared<const std::string>(test::ExcelWorkbook({{"一层", test::ExcelSheet(header + right + stale)}}, ""));
    CsvLayout layout;
    std::vector<ScheduleRow> beams;
    QVERIFY(ReadWorkbookSchedule(bytes, 0, layout, beams).ok);
    std::vector<ShownResult> results;
    for (const ScheduleRow& row : beams) results.emplace_back(EvaluateBeam(row.texts()));
    WorkbookSave save;
    QVERIFY(WorkbookFileBytes(SavedLayout(layout, beams, false), beams, results, save).ok);
    workbook::Package package(*save.bytes);
    workbook::PartStatus status;
    const std::string sheet = package.ReadWhole("xl/worksheets/sheet1.xml", status).value_or("");
    QVERIFY2(sheet.find(right) != std::string::npos, sheet.c_str());  // the row as it was, byte for byte
    const std::string own(results[1].result(kBeamSelfWeight));
    QVERIFY(sheet.find("<c r=\"C3\" s=\"1\"><v>" + own + "</v></c>") != std::string::npos);
    QVERIFY(sheet.find("999") == std::string::npos);
}

void TestSchedule::savesOneAfterAnotherKeepEveryRow_data() {
    QTest::addColumn<QString>("edit");
    QTest::newRow("a width") << "width";
    QTest::newRow("a material alone (the same weight)") << "material";
    QTest::newRow("a beam added") << "append";
    QTest::newRow("the first beam deleted") << "delete";
    QTest::newRow("a beam inserted") << "insert";
    QTest::newRow("nothing") << "";
}

// Saves one after another into a workbook, as the window makes them, each
// from what the one before wrote (which the next save takes as it left it,
// without reading the sheet again): each reads back as the rows saved, and
// the bytes are those of a save that reads the sheet afresh.
void TestSchedule::savesOneAfterAnotherKeepEveryRow() {
    QFETCH(QString, edit);
    const std::size_t width = std::size_t(FindParam("BeamWidth"));
    std::size_t brick = 0;
    while (MaterialWeight(brick) != std::size_t(FindParam("WallDensity"))) ++brick;
    std::string data = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Mark</t></is></c><c r=\"B1\" t=\"inlineStr\">"
                       "<is><t>BeamWidth</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>WallDensity</t></is></c>"
                       "<c r=\"D1\" t=\"inlineStr\"><is><t>WallMaterial</t></is></c></row>";
    // Enough rows for several of the pieces a save deflates apart, and a formula beside them.
    for (int r = 2; r <= 700; ++r) {
        const std::string n = std::to_string(r);
        data += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>KL" + n + "</t></is></c><c r=\"B" + n +
                "\" s=\"1\"><v>" + std::to_string(200 + r % 50) + "</v></c><c r=\"C" + n + "\"><v>18</v></c>" +
                (r % 7 == 0 ? "<c r=\"D" + n + "\" t=\"inlineStr\"><is><t>普通砖</t></is></c>" : std::string()) +
                "<c r=\"F" + n + "\"><f>B" + n + "*2</f><v>" + std::to_string(2 * (200 + r % 50)) + "</v></c></row>";
    }
    auto bytes = std::make_shared<const std::string>(test::ExcelWorkbook({{"一层", test::ExcelSheet(data)}}, ""));
    CsvLayout layout;
    std::vector<ScheduleRow> beams;
    QVERIFY(ReadWorkbookSchedule(bytes, 0, layout, beams).ok);
    QCOMPARE(beams.size(), std::size_t(699));
    const auto save = [&](const CsvLayout& from, WorkbookSave& made) {
        std::vector<ShownResult> results;
        for (const ScheduleRow& row : beams) results.emplace_back(EvaluateBeam(row.texts()));
        return WorkbookFileBytes(SavedLayout(from, beams, true), beams, results, made).ok;
    };
    for (int turn = 0; turn < 3; ++turn) {
        const std::size_t at = 40 + 250 * std::size_t(turn);  // in a piece of its own each time
        if (edit == "width") beams[at].SetText(width, turn % 2 ? "260" : "270");
        if (edit == "material") beams[at - at % 7].SetMaterial(brick, turn % 2 ? "普通砖" : "灰砂砖");
        if (edit == "append") beams.emplace_back().SetMark("KL-new" + std::to_string(turn));
        if (edit == "delete") beams.erase(beams.begin());
        if (edit == "insert") beams.insert(beams.begin() + long(at), ScheduleRow())->SetMark("KL-in");
        WorkbookSave cached, afresh;
        QVERIFY(save(layout, cached));
        CsvLayout reading = layout;
        if (reading.workbook) {
            auto origin = std::make_shared<WorkbookOrigin>(*reading.workbook);
            origin->saved = nullptr;
            reading.workbook = origin;
        }
        QVERIFY(save(reading, afresh));
        QVERIFY2(*cached.bytes == *afresh.bytes, qPrintable(edit));
        CsvLayout again;
        std::vector<ScheduleRow> reread;
        QVERIFY(ReadWorkbookSchedule(cached.bytes, 0, again, reread).ok);
        QCOMPARE(reread.size(), beams.size());
        for (std::size_t r = 0; r < beams.size(); ++r) {
            QCOMPARE(reread[r].mark(), beams[r].mark());
            QVERIFY(reread[r].texts() == beams[r].texts());
            QVERIFY2(reread[r].materials() == beams[r].materials(), qPrintable(QString::number(r)));
        }
        // The formulas beside the beams stay, whatever moved.
        workbook::Package package(*cached.bytes);
        workbook::PartStatus status;
        QVERIFY(package.ReadWhole("xl/worksheets/sheet1.xml", status).value_or("").find("<f>B700*2</f>") !=
                std::string::npos);
        CsvLayout next = SavedLayout(layout, beams, true);
        next.workbook = cached.origin;
        layout = next;
        for (std::size_t r = 0; r < beams.size(); ++r) beams[r].SetOrigin(cached.ids[r]);
    }
}

QTEST_APPLESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
