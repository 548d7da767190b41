#include <QtTest>

#include <memory>

#include "form1.h"
#include "startup.h"
#include "testshell.h"

using namespace quorvane;

class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void firstCopyOpensCompactAndCreatesAnEmptyReport();
    void existingReportIsLeftUntouched();
    void reportThatCannotBeCreatedIsSaidAndStartUpGoesOn();
    void secondCopyIsRefusedWithOneMessageAndNoWindow();
    void killedCopyDoesNotBlockTheNextStart();
    void reportLivesInTheDocumentsFolder();

private:
    QTemporaryDir dir_;
    RecordingShell shell_;
};

void TestStartUp::initTestCase() {
    QVERIFY(dir_.isValid());
    // A private runtime folder: the single-copy lock lives there, for this
    // process and the program copies it starts.
    const QString runtime = dir_.filePath("runtime");
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("HOME", QFile::encodeName(dir_.filePath("home")));
    QVERIFY(QDir().mkpath(dir_.filePath("home")));
}

void TestStartUp::cleanup() { shell_.messages.clear(); }

void TestStartUp::firstCopyOpensCompactAndCreatesAnEmptyReport() {
    const QString report = dir_.filePath("first.txt");
    const SingleCopy single(dir_.filePath("first.lock"));
    const auto form = StartUp(shell_, single, report);
    QVERIFY(form);
    QVERIFY(shell_.messages.empty());
    QVERIFY(QFileInfo(report).isFile());
    QCOMPARE(QFileInfo(report).size(), 0);
    QVERIFY(form->Check2->isChecked());
    QCOMPARE(form->Check2->text(), QString("1"));
    QVERIFY(form->Frame3->isVisibleTo(form.get()));
}

void TestStartUp::existingReportIsLeftUntouched() {
    const QString report = dir_.filePath("existing.txt");
    {
        QFile f(report);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("an earlier report\r\n");
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
    }
    const QDateTime modified = QFileInfo(report).lastModified();
    const SingleCopy single(dir_.filePath("existing.lock"));
    const auto form = StartUp(shell_, single, report);
    QVERIFY(form);
    QFile f(report);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("an earlier report\r\n"));
    QCOMPARE(QFileInfo(report).lastModified(), modified);
}

void TestStartUp::reportThatCannotBeCreatedIsSaidAndStartUpGoesOn() {
    const QString report = dir_.filePath("missing-folder/计算过程.txt");
    const SingleCopy single(dir_.filePath("missing.lock"));
    const auto form = StartUp(shell_, single, report);
    QVERIFY(form);
    QCOMPARE(shell_.messages.size(), std::size_t(1));
    QVERIFY2(shell_.messages[0].text.contains(report), qPrintable(shell_.messages[0].text));
    QVERIFY(form->Check2->isChecked());  // the initial mode still comes
}

void TestStartUp::secondCopyIsRefusedWithOneMessageAndNoWindow() {
    const QString lock = dir_.filePath("twice.lock");
    const QString report = dir_.filePath("twice.txt");
    const SingleCopy first(lock);
    QVERIFY(first.acquired());
    const SingleCopy second(lock);
    QVERIFY(!second.acquired());
    const auto form = StartUp(shell_, second, report);
    QVERIFY(!form);
    QCOMPARE(shell_.texts(), QStringList{"＾○＾您已经运行了程序＾○＾"});
    QCOMPARE(shell_.messages[0].buttons, Buttons::Ok);
    QVERIFY(!QFileInfo::exists(report));  // nothing after the test runs
}

void TestStartUp::killedCopyDoesNotBlockTheNextStart() {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUORVANE_EXE), {});
    QVERIFY(program.waitForStarted());
    const QString lock = SingleCopyLockPath();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), 10000);
    {
        const SingleCopy whileRunning(lock);
        QVERIFY(!whileRunning.acquired());
    }
    program.kill();
    QVERIFY(program.waitForFinished());
    QVERIFY(QFileInfo::exists(lock));  // left behind by the killed copy
    const SingleCopy next(lock);
    QVERIFY(next.acquired());
}

void TestStartUp::reportLivesInTheDocumentsFolder() {
    const QString path = ReportFilePath();
    QCOMPARE(QFileInfo(path).fileName(), QString("计算过程.txt"));
    QVERIFY2(path.startsWith(dir_.filePath("home")), qPrintable(path));
    QVERIFY(QFileInfo(QFileInfo(path).path()).isDir());
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
