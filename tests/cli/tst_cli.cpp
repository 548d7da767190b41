#include <QtTest>

#include "beams.h"
#include "testfiles.h"
#include "workbooks.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray rawOut;
};

Run Calc(const QStringList& args, const QString& workDir = {}) {
    QProcess p;
    if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(QUORVANE_CALC_EXE), args);
    if (!p.waitForFinished(60000)) return {};
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.rawOut = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.rawOut);
#ifdef Q_OS_WIN
    // Every line ends in exactly CR LF, never CR CR LF; compare as LF.
    if (r.rawOut.contains("\r\r") || r.rawOut.count('\n') != r.rawOut.count("\r\n")) r.exitCode = -3;
    r.out.replace("\r\n", "\n");
#endif
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void defaultBeamPrintsTheFourResultsAndTheCopy();
    void givenFieldsOverrideTheDefaults_data();
    void givenFieldsOverrideTheDefaults();
    void refusedTextNamesTheFieldAndTheRule_data();
    void refusedTextNamesTheFieldAndTheRule();
    void arithmeticFailureNamesTheCause();
    void reportPrintsTheTwentyFiveLines();
    void helpListsEveryField();
    void scheduleReportsMatchTheSingleBeamReport();
    void scheduleReadsStandardInput();
    void scheduleUsageErrorsExitTwo();
    void refusedRunKeepsTheOldOutputByteForByte_data();
    void refusedRunKeepsTheOldOutputByteForByte();
    void lostStandardOutputIsAFailure_data();
    void lostStandardOutputIsAFailure();
    void emptyOptionValuesAreRefused_data();
    void emptyOptionValuesAreRefused();
    void reportsNeverLandOnTheRunsOwnFiles_data();
    void reportsNeverLandOnTheRunsOwnFiles();
    void deviceAndPipeOutputsAreWrittenInPlace();
    void aSignalLeavesNoTemporaryFile();
    void aReportThatCannotBeWrittenIsExitTwo();
    void messagesNameTheCauseBriefly_data();
    void messagesNameTheCauseBriefly();
    void workbookReadsAsTheSameScheduleInCsv();
    void aBuildingRunsFloorByFloor();
    void excelFilesThatAreNoWorkbookAreNamed_data();
    void excelFilesThatAreNoWorkbookAreNamed();
    void materialsFromTheStandard_data();
    void materialsFromTheStandard();
};

void TestCli::defaultBeamPrintsTheFourResultsAndTheCopy() {
    const Run r = Calc({});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("梁自重: 2.908 KN/M\n砌体自重: 9.8 KN/M\n梁上总恒载: 12.708 KN/M\n"
                            "广厦结构CAD应输入: 10.208 KN/M\n复制: 10.3\n"));
}

void TestCli::givenFieldsOverrideTheDefaults_data() {
    quorvane::test::AddBeamRows(quorvane::test::WorkedExamples());
}

void TestCli::givenFieldsOverrideTheDefaults() {
    QFETCH(int, beam);
    const quorvane::test::Beam& b = quorvane::test::WorkedExamples().at(std::size_t(beam));
    QStringList args;
    for (const auto& [field, text] : b.texts) args << QString("%1=%2").arg(field, QString::fromUtf8(text));
    const Run r = Calc(args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("梁自重: %1 KN/M\n砌体自重: %2 KN/M\n梁上总恒载: %3 KN/M\n"
                            "广厦结构CAD应输入: %4 KN/M\n复制: %5\n")
                        .arg(b.results[0], b.results[1], b.results[2], b.results[3], b.copied));
}

void TestCli::refusedTextNamesTheFieldAndTheRule_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mustSay");
    QTest::newRow("above the bound") << QStringList{"BeamWidth=100001"} << "BeamWidth";
    QTest::newRow("not a number") << QStringList{"WallHeight=3000x"} << "WallHeight";
    QTest::newRow("empty ratio") << QStringList{"ReductionRatio="} << "ReductionRatio";
    QTest::newRow("unknown name") << QStringList{"BeamWidht=200"} << "BeamWidht";
    QTest::newRow("no equals sign") << QStringList{"200"} << "NAME=VALUE";
}

void TestCli::refusedTextNamesTheFieldAndTheRule() {
    QFETCH(QStringList, args);
    QFETCH(QString, mustSay);
    const Run r = Calc(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(mustSay), qPrintable(r.err));
}

void TestCli::arithmeticFailureNamesTheCause() {
    const Run r = Calc({"BeamLength=0"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("除数为零") && r.err.contains("梁长度"), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    // A copy rule that overflows: the four loads stand, the copy is refused.
    const Run copy = Calc({"ReductionRatio=5e306"});
    QCOMPARE(copy.exitCode, 1);
    QCOMPARE(copy.out.count("KN/M"), 4);
    QVERIFY(!copy.out.contains("复制"));
    QVERIFY2(copy.err.contains("「复制荷载」"), qPrintable(copy.err));
}

void TestCli::reportPrintsTheTwentyFiveLines() {
    const Run r = Calc({"--report"});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.rawOut.split('\n');
    QCOMPARE(lines.size(), 26);  // 25 lines ended by CR LF
    QCOMPARE(QString::fromUtf8(lines[0]), QString("Quorvane(折算比例取 1 )\r"));
    QCOMPARE(QString::fromUtf8(lines[21]), QString(" 12.708 - 1 * 2.5 =10.208KN/m\r"));
    QVERIFY(QString::fromUtf8(lines[23]).startsWith("【Quorvane V2008.03.23】 Date："));
}

void TestCli::helpListsEveryField() {
    const Run r = Calc({"--help"});
    QCOMPARE(r.exitCode, 0);
    for (const char* field : {"BeamWidth", "WallPlasterDensity", "BeamLength", "ReductionRatio"})
        QVERIFY2(r.out.contains(field), field);
}

void TestCli::scheduleReportsMatchTheSingleBeamReport() {
    QTemporaryDir dir;
    QFile in(dir.filePath("beams.csv"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write("Mark,DoorWidth,ReductionRatio\r\nKL1,900,0.9\r\n");
    in.close();
    const Run r =
        Calc({"--csv", in.fileName(), "-o", dir.filePath("out.csv"), "--report-dir", dir.filePath("r")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.isEmpty());
    QFile report(dir.filePath("r/KL1.txt"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    // The file is in the system's code page (UTF-8 with a byte-order mark
    // where that cannot hold it); --report writes UTF-8.
    QByteArray bytes = report.readAll();
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    QStringDecoder decode(bom ? QStringDecoder::Utf8 : QStringDecoder::System);
    QStringList fromSchedule = QString(decode(bom ? bytes.mid(3) : bytes)).split('\n');
    QStringList single =
        QString::fromUtf8(Calc({"DoorWidth=900", "ReductionRatio=0.9", "--report"}).rawOut).split('\n');
    QCOMPARE(fromSchedule.size(), 26);
    fromSchedule.removeAt(23);  // the date line
    single.removeAt(23);
    QCOMPARE(fromSchedule, single);
}

void TestCli::scheduleReadsStandardInput() {
    QProcess p;
    p.start(QStringLiteral(QUORVANE_CALC_EXE), {"--csv", "-"});
    p.write("BeamLength\n3600\n0\n");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);  // the second beam fails
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[1].contains(",2.908,9.8,12.708,10.208,10.3,\r"));
    QVERIFY(QString::fromUtf8(lines[2]).contains("除数为零"));
}

void TestCli::scheduleUsageErrorsExitTwo() {
    QTemporaryDir dir;
    QCOMPARE(Calc({"--csv", dir.filePath("missing.csv")}).exitCode, 2);
    QCOMPARE(Calc({"--csv", "-", "BeamWidth=200"}).exitCode, 2);
    QCOMPARE(Calc({"--report-dir", dir.path()}).exitCode, 2);
}

// Each row: a run that must fail with exit 2 and a message, leaving an
// existing output file exactly as it was and no temporary file beside it.
// In the arguments, IN, OUT and DIR stand for files in a fresh folder.
void TestCli::refusedRunKeepsTheOldOutputByteForByte_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shell");  // a prefix run by bash, or empty
    QTest::addColumn<QString>("mustSay");
    const QByteArray beams = "Mark,DoorWidth\r\nKL1,900\r\n";
    QTest::newRow("output is the input") << beams << QStringList{"--csv", "IN", "-o", "IN"} << ""
                                         << "就是输入文件";
    QTest::newRow("unknown column") << QByteArray("Mark,BeamWidht\r\nKL1,200\r\n")
                                    << QStringList{"--csv", "IN", "-o", "OUT"} << ""
                                    << "BeamWidht";
    QTest::newRow("report folder is a file")
        << beams << QStringList{"--csv", "IN", "-o", "OUT", "--report-dir", "OUT"} << ""
        << "计算过程文件夹";
#ifndef Q_OS_WIN
    QTest::newRow("report folder takes no files")
        << beams << QStringList{"--csv", "IN", "-o", "OUT", "--report-dir", "/proc/self"} << ""
        << "/proc/self";
    // The output outgrows a file-size limit half way, as on a full disk.
    QByteArray many = "Mark,DoorWidth\r\n";
    for (int i = 0; i < 200; ++i) many += "KL" + QByteArray::number(i) + ",900\r\n";
    QTest::newRow("output cut off half way")
        << many << QStringList{"--csv", "IN", "-o", "OUT"} << "trap '' XFSZ; ulimit -f 8;"
        << "OUT";
#endif
}

void TestCli::refusedRunKeepsTheOldOutputByteForByte() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, args);
    QFETCH(QString, shell);
    QFETCH(QString, mustSay);
    QTemporaryDir dir;
    const QString in = dir.filePath("beams.csv"), out = dir.filePath("loads.csv");
    const QByteArray old = "old,results\r\n1,2\r\n";
    for (const auto& [path, bytes] : {std::pair{in, input}, std::pair{out, old}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    args.replaceInStrings(QRegularExpression("^IN$"), in).replaceInStrings(QRegularExpression("^OUT$"), out);
    Run r;
    if (shell.isEmpty()) {
        r = Calc(args);
    } else {
        QProcess p;
        QStringList quoted;
        for (const QString& a : args) quoted << "'" + a + "'";
        p.start("bash", {"-c", shell + " exec '" QUORVANE_CALC_EXE "' " + quoted.join(' ')});
        QVERIFY(p.waitForFinished(30000));
        r.exitCode = p.exitCode();
        r.err = QString::fromUtf8(p.readAllStandardError());
    }
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(mustSay.replace("OUT", out)), qPrintable(r.err));
    QFile kept(out);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), old);
    QFile input0(in);
    QVERIFY(input0.open(QIODevice::ReadOnly));
    QCOMPARE(input0.readAll(), input);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"beams.csv", "loads.csv"}));
}

// Results that never reached their reader are a failure (exit 2), in both modes.
void TestCli::lostStandardOutputIsAFailure_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("full disk, one beam") << "\"$CALC\" >/dev/full";
    QTest::newRow("full disk, report") << "\"$CALC\" --report >/dev/full";
    QTest::newRow("closed output, report") << "\"$CALC\" --report >&-";
    QTest::newRow("full disk, schedule") << "printf 'Mark\\nKL1\\n' | \"$CALC\" --csv - >/dev/full";
}

void TestCli::lostStandardOutputIsAFailure() {
#ifdef Q_OS_WIN
    QSKIP("needs /dev/full and a shell");
#else
    QFETCH(QString, command);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CALC", QUORVANE_CALC_EXE);
    p.setProcessEnvironment(env);
    p.start("bash", {"-c", command});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains("无法写入标准输出"), qPrintable(command));
#endif
}

void TestCli::emptyOptionValuesAreRefused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("option");
    QTest::newRow("schedule") << QStringList{"--csv", ""} << "--csv";
    QTest::newRow("output") << QStringList{"--csv", "-", "-o", ""} << "--output";
    QTest::newRow("report folder") << QStringList{"--csv", "-", "--report-dir", ""} << "--report-dir";
}

void TestCli::emptyOptionValuesAreRefused() {
    QFETCH(QStringList, args);
    QFETCH(QString, option);
    const Run r = Calc(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(option), qPrintable(r.err));
}

namespace {

// Runs a bash command with $CALC set; exit code and standard error.
[[maybe_unused]] Run Shell(const QString& command, const QString& workDir) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CALC", QUORVANE_CALC_EXE);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start("bash", {"-c", command});
    if (!p.waitForFinished(60000)) return {};
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.rawOut = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

using quorvane::test::ReadAll;
using quorvane::test::WriteAll;

const QByteArray kTwoBeams = "Mark,DoorWidth\r\nKL1,900\r\nKL2,0\r\n";

}  // namespace

// A report named like the schedule read or the output written takes the
// next free name, and the run says so; the file it would have hit stays.
void TestCli::reportsNeverLandOnTheRunsOwnFiles_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("kept");  // the run's own file, with its bytes afterwards
    QTest::newRow("input in the report folder")
        << QStringList{"--csv", "KL1.txt", "-o", "out.csv", "--report-dir", "."} << "KL1.txt";
    QTest::newRow("input spelt another way")
        << QStringList{"--csv", "rep/../kl1.TXT", "-o", "out.csv", "--report-dir", "."} << "kl1.TXT";
    QTest::newRow("output in the report folder")
        << QStringList{"--csv", "in.csv", "-o", "rep/KL1.txt", "--report-dir", "rep"} << "rep/KL1.txt";
}

void TestCli::reportsNeverLandOnTheRunsOwnFiles() {
    QFETCH(QStringList, args);
    QFETCH(QString, kept);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("rep"));
    const QString input = args[1].endsWith(".csv") ? "in.csv" : kept;
    WriteAll(dir.filePath(input), kTwoBeams);
    const Run r = Calc(args, dir.path());
    QCOMPARE(r.exitCode, 0);
    const QString folder = dir.filePath(args.last());
    if (kept == input)
        QCOMPARE(ReadAll(dir.filePath(kept)), kTwoBeams);
    else
        QVERIFY(ReadAll(dir.filePath(kept)).startsWith("Mark,BeamWidth"));  // the output, whole
    QVERIFY(ReadAll(folder + "/KL1-2.txt").startsWith("Quorvane("));
    QVERIFY(ReadAll(folder + "/KL2.txt").startsWith("Quorvane("));
    QVERIFY2(r.err.contains("KL1-2.txt"), qPrintable(r.err));
}

void TestCli::deviceAndPipeOutputsAreWrittenInPlace() {
#ifdef Q_OS_WIN
    QSKIP("POSIX device nodes and pipes");
#else
    QTemporaryDir dir;
    WriteAll(dir.filePath("in.csv"), kTwoBeams);
    // A pipe: its reader gets the results, and it stays a pipe.
    Run r = Shell(
        "mkfifo pipe && { cat pipe > got & } && \"$CALC\" --csv in.csv -o pipe && wait && "
        "test -p pipe && head -c 12 got",
        dir.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.rawOut, QByteArray("Mark,BeamWid"));
    // Private device nodes: a null device stays one; a full one is a failure.
    r = Shell(
        "mknod null c 1 3 && mknod full c 1 7 || exit 77; \"$CALC\" --csv in.csv -o null && test -c null && "
        "{ \"$CALC\" --csv in.csv -o full; echo \"exit $?\"; test -c full; }",
        dir.path());
    if (r.exitCode == 77) QSKIP("making a device node needs root");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.rawOut, QByteArray("exit 2\n"));
    QVERIFY2(r.err.contains("磁盘空间不足"), qPrintable(r.err));
#endif
}

void TestCli::aSignalLeavesNoTemporaryFile() {
#ifdef Q_OS_WIN
    QSKIP("POSIX signals");
#else
    // The schedule comes from a pipe that stays open, so the run waits
    // with its temporary file made; then it is told to stop.
    QTemporaryDir dir;
    WriteAll(dir.filePath("out.csv"), "old\r\n");
    const Run r = Shell(
        "mkfifo in; { printf 'Mark\\nKL1\\n'; exec sleep 600; } > in & feeder=$!; "
        "\"$CALC\" --csv in -o out.csv & calc=$!; "
        "until ls -A | grep -q '^\\.~quorvane-'; do sleep 0.02; done; "
        "kill -TERM $calc; wait $calc; echo \"status $?\"; kill $feeder; ls -A",
        dir.path());
    QCOMPARE(r.rawOut, QByteArray("status 143\nin\nout.csv\n"));
    QCOMPARE(ReadAll(dir.filePath("out.csv")), QByteArray("old\r\n"));
#endif
}

void TestCli::aReportThatCannotBeWrittenIsExitTwo() {
    QTemporaryDir dir;
    WriteAll(dir.filePath("in.csv"), kTwoBeams);
    WriteAll(dir.filePath("out.csv"), "old\r\n");
    QVERIFY(QDir(dir.path()).mkpath("rep/KL2.txt"));  // a folder where KL2's report goes
    const Run r = Calc({"--csv", "in.csv", "-o", "out.csv", "--report-dir", "rep"}, dir.path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("KL2.txt") && r.err.contains("已有同名的文件夹"), qPrintable(r.err));
    QCOMPARE(ReadAll(dir.filePath("out.csv")), QByteArray("old\r\n"));
}

void TestCli::messagesNameTheCauseBriefly_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mustSay");
    QTest::newRow("a huge header cell is cut short")
        << "{ head -c 100000 /dev/zero | tr '\\0' x; printf ',Mark\\nKL1\\n'; } | \"$CALC\" --csv -" << 2
        << "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…";
    QTest::newRow("control characters are shown, not sent")
        << "printf 'Mark,\\033[31mred\\nKL1,1\\n' | \"$CALC\" --csv -" << 2 << "\\x1B[31mred";
    QTest::newRow("a folder given as the schedule") << "mkdir f; \"$CALC\" --csv f" << 2 << "是一个文件夹";
    QTest::newRow("a missing schedule") << "\"$CALC\" --csv none.csv" << 2 << "文件不存在";
    QTest::newRow("closed standard input") << "\"$CALC\" --csv - <&-" << 2 << "输入已关闭";
    QTest::newRow("a schedule through a named pipe is read from its first byte")
        << "\"$CALC\" --csv <(printf 'Mark,DoorWidth\\nKL1,900\\n') && echo read >&2" << 0 << "read";
    QTest::newRow("field names in any letter case, as in a header")
        << "\"$CALC\" beamwidth=200 DOORWIDTH=900 >/dev/null && echo accepted >&2" << 0 << "accepted";
}

void TestCli::messagesNameTheCauseBriefly() {
#ifdef Q_OS_WIN
    QSKIP("needs a POSIX shell");
#else
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, mustSay);
    QTemporaryDir dir;
    const Run r = Shell(command, dir.path());
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(mustSay), qPrintable(r.err));
    QVERIFY2(r.err.size() < 400, qPrintable(r.err.left(400)));
    QVERIFY(!r.err.contains(QChar(0x1B)));
#endif
}

// An Excel workbook as other programs write it gives the results of the
// same schedule saved as CSV; a wrong sheet or a damaged file is a message.
void TestCli::workbookReadsAsTheSameScheduleInCsv() {
#ifdef Q_OS_WIN
    QSKIP("makes its workbook with python3");
#else
    QTemporaryDir dir;
    QProcess python;
    python.start("python3", {MAKE_WORKBOOK_PY, dir.filePath("二层.xlsx")});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    WriteAll(dir.filePath("二层.csv"),
             "\xEF\xBB\xBF"
             "梁号,梁宽度(mm),梁长度(mm),DoorWidth\r\n"
             "KL&1,200,3600.0000000000005,900\r\n"
             "\"框架梁\r2\",,4200,\r\n");
    const Run fromBook = Calc({"--csv", "二层.xlsx", "--sheet", "2"}, dir.path());
    const Run fromCsv = Calc({"--csv", "二层.csv"}, dir.path());
    QCOMPARE(fromBook.exitCode, 0);
    QCOMPARE(fromBook.rawOut, fromCsv.rawOut);
    QVERIFY(fromBook.rawOut.contains("\r\nKL&1,200,"));
    // The first sheet holds notes: by default the first schedule sheet is
    // read (as the window opens it); asked for, the notes' header is
    // refused as a CSV's would be.
    QCOMPARE(Calc({"--csv", "二层.xlsx"}, dir.path()).rawOut, fromCsv.rawOut);
    QCOMPARE(Calc({"--csv", "二层.xlsx", "--sheet", "说明"}, dir.path()).exitCode, 2);
    QCOMPARE(Calc({"--csv", "二层.xlsx", "--sheet", "二层"}, dir.path()).rawOut, fromCsv.rawOut);
    const Run noSheet = Calc({"--csv", "二层.xlsx", "--sheet", "3"}, dir.path());
    QCOMPARE(noSheet.exitCode, 2);
    QVERIFY2(noSheet.err.contains("“说明”、“二层”"), qPrintable(noSheet.err));
    WriteAll(dir.filePath("坏.xlsx"), ReadAll(dir.filePath("二层.xlsx")).left(300));
    const Run damaged = Calc({"--csv", "坏.xlsx"}, dir.path());
    QCOMPARE(damaged.exitCode, 2);
    QVERIFY2(damaged.err.contains("损坏") && damaged.err.contains("坏.xlsx"), qPrintable(damaged.err));
    WriteAll(dir.filePath("空.xlsx"), "");  // an empty file is named, as every file a message is about
    const Run empty = Calc({"--csv", "空.xlsx"}, dir.path());
    QCOMPARE(empty.exitCode, 2);
    QVERIFY2(empty.err.contains("空.xlsx") && empty.err.contains("空的"), qPrintable(empty.err));
#endif
}

// A workbook of floors: every schedule sheet with --sheet all (a 楼层
// column first), one by name, from standard input too; -o .xlsx is the
// workbook with the loads beside each floor, never CSV text under that name.
void TestCli::aBuildingRunsFloorByFloor() {
    QTemporaryDir dir;
    WriteAll(dir.filePath("楼.xlsx"), QByteArray::fromStdString(quorvane::test::TwoFloors()));
    const Run all = Calc({"--csv", "楼.xlsx", "--sheet", "all"}, dir.path());
    QCOMPARE(all.exitCode, 0);
    const QStringList lines = all.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("\xEF\xBB\xBF楼层,Mark,BeamWidth") || lines[0].startsWith(QChar(0xFEFF) + QString("楼层,Mark,")));
    QVERIFY2(lines[1].startsWith("一层,KL1,200,500,") && lines[2].startsWith("二层,KL2,250,600,"), qPrintable(all.out));
    const Run second = Calc({"--csv", "楼.xlsx", "--sheet", "二层"}, dir.path());
    QCOMPARE(second.exitCode, 0);
    QVERIFY(second.out.contains("\nKL2,250,600,"));
    QVERIFY(lines[2].trimmed().endsWith(second.out.split('\n', Qt::SkipEmptyParts)[1].trimmed()));
#ifndef Q_OS_WIN
    const Run piped = Shell("cat 楼.xlsx | \"$CALC\" --csv - --sheet all", dir.path());
    QCOMPARE(piped.rawOut, all.rawOut);
#endif
    for (const char* wrong : {"0", "abc", ""}) {
        const Run refused = Calc({"--csv", "楼.xlsx", "--sheet", wrong}, dir.path());
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("工作表") || refused.err.contains("不能为空"), qPrintable(refused.err));
        QVERIFY2(!refused.err.contains("outside") && !refused.err.contains("not"), qPrintable(refused.err));
    }
    // A floor that cannot be read is never left out unsaid: --sheet all refuses the workbook, the
    // default (the first schedule) says which sheet it passed over; a sheet that is no schedule is named.
    const auto cell = [](const char* at, const char* text) {
        return std::string("<c r=\"") + at + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    };
    const std::string plainFloor = quorvane::test::ExcelSheet("<row r=\"1\">" + cell("A1", "梁号") + cell("B1", "梁长度(mm)") +
                                                         "</row><row r=\"2\">" + cell("A2", "L1") + "<c r=\"B2\"><v>6000</v></c></row>");
    WriteAll(dir.filePath("坏楼.xlsx"),
             QByteArray::fromStdString(quorvane::test::ExcelWorkbook(
                 {{"一层", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\""}, {"二层", plainFloor},
                  {"说明", quorvane::test::ExcelSheet("<row r=\"1\">" + cell("A1", "注意") + "</row>")}},
                 "")));
    const Run refused = Calc({"--csv", "坏楼.xlsx", "--sheet", "all"}, dir.path());
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.err.contains("一层") && refused.err.contains("损坏") && refused.out.isEmpty(), qPrintable(refused.err));
    QVERIFY2(refused.err.contains("没有结束") && refused.err.contains("第 1 行") && !refused.err.contains("token"),
             qPrintable(refused.err));  // what the XML reader found, in Chinese
    const Run passedOver = Calc({"--csv", "坏楼.xlsx"}, dir.path());
    QCOMPARE(passedOver.exitCode, 0);
    QVERIFY2(passedOver.out.contains("\nL1,") && passedOver.err.contains("一层") && passedOver.err.contains("二层"),
             qPrintable(passedOver.err));
    WriteAll(dir.filePath("楼和说明.xlsx"),
             QByteArray::fromStdString(quorvane::test::ExcelWorkbook(
                 {{"二层", plainFloor}, {"说明", quorvane::test::ExcelSheet("<row r=\"1\">" + cell("A1", "注意") + "</row>")}}, "")));
    const Run noted = Calc({"--csv", "楼和说明.xlsx", "--sheet", "all"}, dir.path());
    QCOMPARE(noted.exitCode, 0);
    QVERIFY2(noted.err.contains("“说明”") && noted.err.contains("没有计算"), qPrintable(noted.err));
    // A report folder per floor.
    QCOMPARE(Calc({"--csv", "楼.xlsx", "--sheet", "all", "--report-dir", "计算过程"}, dir.path()).exitCode, 0);
    QVERIFY(QFile::exists(dir.filePath("计算过程/一层/KL1.txt")) && QFile::exists(dir.filePath("计算过程/二层/KL2.txt")));
    const Run book = Calc({"--csv", "楼.xlsx", "--sheet", "all", "-o", "荷载.xlsx"}, dir.path());
    QCOMPARE(book.exitCode, 0);
    QVERIFY(ReadAll(dir.filePath("荷载.xlsx")).startsWith("PK"));
    const Run back = Calc({"--csv", "荷载.xlsx", "--sheet", "all"}, dir.path());
    QCOMPARE(back.out, all.out);  // the loads written beside are read as results, computed again
    const std::string saved = ReadAll(dir.filePath("荷载.xlsx")).toStdString();
    quorvane::workbook::Package package(saved);
    quorvane::workbook::PartStatus status;
    const std::string floor = package.ReadWhole("xl/worksheets/sheet1.xml", status).value_or("");
    QVERIFY(floor.find("<c r=\"E2\"><f>B2+C2</f><v>700</v></c>") != std::string::npos);  // the formula beside
    QVERIFY2(floor.find("<c r=\"F2\"><v>2.908</v></c>") != std::string::npos, floor.c_str());  // 梁自重 past it
    // 二层's header row has F1:G1 merged: its loads go past the merge, never under it.
    const std::string upper = package.ReadWhole("xl/worksheets/sheet2.xml", status).value_or("");
    QVERIFY2(upper.find("r=\"H2\"") != std::string::npos && upper.find("r=\"F2\"") == std::string::npos &&
                 upper.find("r=\"G2\"") == std::string::npos,
             upper.c_str());
    // From a CSV, a new workbook of its rows.
    WriteAll(dir.filePath("三层.csv"), "梁号,梁宽度(mm)\r\nKL5,300\r\n");
    QCOMPARE(Calc({"--csv", "三层.csv", "-o", "三层.xlsx"}, dir.path()).exitCode, 0);
    QVERIFY(ReadAll(dir.filePath("三层.xlsx")).startsWith("PK"));
    QVERIFY(Calc({"--csv", "三层.xlsx"}, dir.path()).out.contains("\nKL5,300,"));
}

void TestCli::excelFilesThatAreNoWorkbookAreNamed_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    QTest::newRow("encrypted") << QByteArray::fromStdString(quorvane::test::EncryptedWorkbook()) << "加密";
    QTest::newRow("an .xls renamed .xlsx") << QByteArray::fromStdString(quorvane::test::OldExcelFile()) << "97-2003";
    QTest::newRow("an empty zip") << QByteArray::fromStdString(quorvane::workbook::NewPackage({})) << "空的 zip";
    QTest::newRow("a zip of other files") << QByteArray::fromStdString(quorvane::workbook::NewPackage({{"a.txt", "x"}}))
                                          << "不是 Excel 工作簿";
    std::string cut = quorvane::test::TwoFloors();
    QTest::newRow("cut short") << QByteArray::fromStdString(cut.substr(0, cut.size() / 2)) << "损坏";
}

void TestCli::excelFilesThatAreNoWorkbookAreNamed() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    QTemporaryDir dir;
    WriteAll(dir.filePath("梁表.xlsx"), bytes);
    const Run r = Calc({"--csv", "梁表.xlsx"}, dir.path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(says) && r.err.contains("梁表.xlsx"), qPrintable(r.err));
    QVERIFY2(!r.err.contains("未知的列名"), qPrintable(r.err));
}

// GB 50009-2012 Table A on the command line: listed, and a material giving
// its weight (the upper figure), or kept beside a weight given with it.
void TestCli::materialsFromTheStandard_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // a line of standard output
    QTest::addColumn<QString>("err");  // standard error holds it ("" for nothing at all)
    QTest::addColumn<QByteArray>("schedule");  // read with --csv 梁表.csv when given
    QTest::newRow("the list of one input") << QStringList{"--materials", "WallDensity"} << 0
                                           << "WallDensity\tWallMaterial\t5\t蒸压粉煤灰加气混凝土砌块\t5.5 kN/m³\t" << "" << QByteArray();
    QTest::newRow("by the material's caption") << QStringList{"--materials", "门材料"} << 0
                                               << "DoorAreaWeight\tDoorMaterial\t12\t钢铁门\t0.40–0.45 kN/m²\t" << "" << QByteArray();
    QTest::newRow("an input with no materials") << QStringList{"--materials", "BeamWidth"} << 2 << "" << "没有 GB 50009-2012 表A 的材料" << QByteArray();
    QTest::newRow("a material gives its weight") << QStringList{"WallMaterial=蒸压粉煤灰加气混凝土砌块"} << 0
                                                 << "砌体自重: 4.175 KN/M" << "" << QByteArray();
    QTest::newRow("a range gives its upper figure") << QStringList{"WallMaterial=煤渣砖"} << 0 << "砌体自重: 10.025 KN/M" << "" << QByteArray();  // as WallDensity=18.5
    QTest::newRow("a weight given too stands, and a disagreement is said")
        << QStringList{"WallMaterial=浆砌普通砖", "WallDensity=20"} << 0 << "砌体自重: 10.7 KN/M"
        << "墙体材料 浆砌普通砖 的重量为 18.0 kN/m³ (GB 50009-2012 表A 第 10 项),但 WallDensity=20 不在其中" << QByteArray();
    QTest::newRow("an unknown material: the nearest names") << QStringList{"WallMaterial=加气砖"} << 2 << ""
                                                            << "最接近的:蒸压粉煤灰加气混凝土砌块、加气混凝土" << QByteArray();
    QTest::newRow("a name the table has twice") << QStringList{"WallMaterial=普通砖"} << 2 << ""
                                                << "不止一种,请写明是哪一种:普通砖(240mm×115mm×53mm(684块/m³))、普通砖(机器制)" << QByteArray();
    // A schedule's material column, by the same rule: alone it gives the
    // weight (the same load as WallMaterial= above), with its weight both are kept.
    const QStringList csv{"--csv", "梁表.csv"};
    QTest::newRow("a schedule's material without its weight")
        << csv << 0 << "KL1,200,500,25,180,3000,5.5,蒸压粉煤灰加气混凝土砌块,0,2100,0.45,0,1800,0.35,20,17,20,17,3600,1,2.908,4.175,7.083,4.583,4.6,"
        << "没有它的重量列" << QByteArray("梁号,墙体材料\nKL1,蒸压粉煤灰加气混凝土砌块\n");
    QTest::newRow("a schedule's weight beside its material")
        << csv << 0 << "KL1,200,500,25,180,3000,20,浆砌普通砖,0,2100,0.45,0,1800,0.35,20,17,20,17,3600,1,2.908,10.7,13.608,11.108,11.2,"
        << "第 1 行:墙体材料 浆砌普通砖 的重量为 18.0 kN/m³ (GB 50009-2012 表A 第 10 项),但 墙密度 20 不在其中"
        << QByteArray("Mark,WallDensity,WallMaterial\nKL1,20,浆砌普通砖\n");
    QTest::newRow("a schedule's unknown material refuses its row")
        << csv << 1 << "" << "" << QByteArray("Mark,WallMaterial\nKL1,加气砖\n");
}

void TestCli::materialsFromTheStandard() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, schedule);
    QTemporaryDir dir;
    if (!schedule.isEmpty()) WriteAll(dir.filePath("梁表.csv"), schedule);
    const Run r = Calc(args, dir.path());
    QCOMPARE(r.exitCode, exitCode);
    if (!out.isEmpty()) QVERIFY2(QString(r.out).replace("\r\n", "\n").split('\n').contains(out), qPrintable(r.out.left(600)));
    if (err.isEmpty())
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    else
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
