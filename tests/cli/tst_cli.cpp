#include <QtTest>

#include "beams.h"

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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
