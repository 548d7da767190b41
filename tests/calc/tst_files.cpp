// The file service: what a write does to each kind of target (a plain
// file, a device, a pipe, a link, a read-only file), which files a run
// counts as its own, and the temporary files of dead processes.
#include <QtTest>

#include <cerrno>
#include <filesystem>
#include <thread>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "files.h"
#include "testfiles.h"

using namespace quorvane;

namespace {

std::filesystem::path Path(const QString& p) { return std::filesystem::path(p.toStdU16String()); }

using test::ReadAll;
using test::WriteAll;

// Names in folder that the service would have left behind.
QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({".~quorvane-*"}, QDir::Files | QDir::Hidden | QDir::System);
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void aFailedWriteSaysItsCause_data();
    void aFailedWriteSaysItsCause();
    void eachKindOfTargetIsWrittenAsItMustBe_data();
    void eachKindOfTargetIsWrittenAsItMustBe();
    void namesFoldAsWindowsComparesThem_data();
    void namesFoldAsWindowsComparesThem();
    void claimsKnowAFileByAnySpelling();
    void staleTemporaryFilesOfDeadProcessesGo();
    void reasonsAreInTheUsersWords_data();
    void reasonsAreInTheUsersWords();
};

// Each row makes a target in a fresh folder, writes "new" to it and checks
// what became of it: its kind, its bytes, the message.
// What went wrong, as code asks it: the cause beside the message.
void TestFiles::aFailedWriteSaysItsCause_data() {
    QTest::addColumn<QString>("target");  // under a fresh folder
    QTest::addColumn<int>("cause");
    QTest::newRow("into a folder that is not there") << "no/such/file.csv" << int(Cause::NotFound);
    QTest::newRow("over a folder") << "a folder" << int(Cause::Refused);
    QTest::newRow("over a read-only file") << "read-only.csv" << int(Cause::Refused);
    QTest::newRow("a new file") << "new.csv" << int(Cause::None);
}

void TestFiles::aFailedWriteSaysItsCause() {
    QFETCH(QString, target);
    QFETCH(int, cause);
    QTemporaryDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.path().toStdString());
    std::filesystem::create_directory(root / "a folder");
    {
        QFile file(dir.filePath("read-only.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner);
    }
    const Outcome written = ReplaceFileAtomically(root / target.toStdString(), "new\n");
    QCOMPARE(int(written.cause), cause);
    QCOMPARE(written.ok, cause == int(Cause::None));
}

void TestFiles::eachKindOfTargetIsWrittenAsItMustBe_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("mustSay");
    QTest::newRow("new file") << "missing" << true << "";
    QTest::newRow("plain file replaced") << "file" << true << "";
    QTest::newRow("read-only file refused") << "read-only" << false << "只读";
    QTest::newRow("folder refused") << "folder" << false << "文件夹";
#ifndef Q_OS_WIN
    QTest::newRow("link: its target replaced, the link kept") << "link" << true << "";
    QTest::newRow("chain of relative links") << "link-chain" << true << "";
    QTest::newRow("character device written in place") << "null-device" << true << "";
    QTest::newRow("full device: the failure, not a rename") << "full-device" << false << "磁盘空间不足";
    QTest::newRow("pipe: its reader gets the bytes") << "fifo" << true << "";
#endif
}

void TestFiles::eachKindOfTargetIsWrittenAsItMustBe() {
    QFETCH(QString, kind);
    QFETCH(bool, ok);
    QFETCH(QString, mustSay);
    QTemporaryDir dir;
    const QString path = dir.filePath("目标.csv"), real = dir.filePath("real.csv");
    const QByteArray old = "old\r\n";
    QString contentAt = path;  // where "new" must be found after a good write
    std::thread reader;
    QByteArray piped;
    if (kind == "file" || kind == "read-only") WriteAll(path, old);
    if (kind == "read-only")
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    if (kind == "folder") QVERIFY(QDir().mkdir(path));
#ifndef Q_OS_WIN
    if (kind == "link" || kind == "link-chain") {
        WriteAll(real, old);
        const QByteArray via = kind == "link" ? QByteArray("real.csv") : QByteArray("middle");
        if (kind == "link-chain") QVERIFY(::symlink("real.csv", dir.filePath("middle").toUtf8()) == 0);
        QVERIFY(::symlink(via, path.toUtf8()) == 0);
        contentAt = real;
    }
    if (kind.endsWith("-device")) {
        // A private node: the machine's own devices are never handed out.
        if (::mknod(path.toUtf8(), S_IFCHR | 0666, makedev(1, kind == "null-device" ? 3 : 7)) != 0)
            QSKIP("making a device node needs root");
    }
    if (kind == "fifo") {
        QVERIFY(::mkfifo(path.toUtf8(), 0666) == 0);
        reader = std::thread([&] {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly)) piped = f.readAll();
        });
    }
#endif
    const Outcome written = ReplaceFileAtomically(Path(path), "new\r\n", "无法写入输出文件");
    if (reader.joinable()) reader.join();
    QCOMPARE(written.ok, ok);
    const QString message = QString::fromStdString(written.message);
    QVERIFY2(
        mustSay.isEmpty() || (message.contains(mustSay) && message.contains(QDir::toNativeSeparators(path))),
        qPrintable(message));
    QVERIFY(Leftovers(dir.path()).isEmpty());
#ifndef Q_OS_WIN
    struct stat st {};
    QVERIFY(::lstat(path.toUtf8(), &st) == 0 || kind == "missing");
    if (kind.startsWith("link")) QVERIFY(S_ISLNK(st.st_mode));
    if (kind.endsWith("-device")) QVERIFY(S_ISCHR(st.st_mode));
    if (kind == "fifo") {
        QVERIFY(S_ISFIFO(st.st_mode));
        QCOMPARE(piped, QByteArray("new\r\n"));
        return;
    }
    if (kind.endsWith("-device")) return;
#endif
    if (kind == "folder") {
        QVERIFY(QFileInfo(path).isDir());
        return;
    }
    QCOMPARE(ReadAll(contentAt), ok ? QByteArray("new\r\n") : old);
}

void TestFiles::namesFoldAsWindowsComparesThem_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("ASCII") << "kl1.txt"
                           << "KL1.TXT" << true;
    QTest::newRow("Latin-1 umlaut") << "KLä"
                                    << "KLÄ" << true;
    QTest::newRow("full-width letters") << "ＫＬ"
                                        << "ｋｌ" << true;
    QTest::newRow("Greek sigma") << "梁Σ"
                                 << "梁σ" << true;
    QTest::newRow("Cyrillic") << "балка"
                              << "БАЛКА" << true;
    QTest::newRow("different letters") << "KL1"
                                       << "KL2" << false;
    QTest::newRow("Chinese has no case") << "梁一"
                                         << "梁壹" << false;
    QTest::newRow("sharp s is not SS") << "ß"
                                       << "SS" << false;
}

void TestFiles::namesFoldAsWindowsComparesThem() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(FoldFileName(a.toStdString()) == FoldFileName(b.toStdString()), same);
}

void TestFiles::claimsKnowAFileByAnySpelling() {
    QTemporaryDir dir;
    QVERIFY(QDir().mkdir(dir.filePath("sub")));
    const QString input = dir.filePath("KL1.txt");
    WriteAll(input, "Mark\r\nKL1\r\n");
    FileClaims claims;
    claims.Add(Path(input));
    claims.Add(Path(dir.filePath("out.csv")));  // not there yet
    QVERIFY(claims.Holds(Path(dir.filePath("sub/../KL1.txt"))));
    QVERIFY(claims.Holds(Path(dir.filePath("kl1.TXT"))));
    QVERIFY(claims.Holds(Path(dir.filePath("OUT.csv"))));
    QVERIFY(!claims.Holds(Path(dir.filePath("KL2.txt"))));
    QVERIFY(!claims.Holds(Path(dir.filePath("sub/KL1.txt"))));
#ifndef Q_OS_WIN
    QVERIFY(::symlink(input.toUtf8(), dir.filePath("sub/alias.txt").toUtf8()) == 0);
    QVERIFY(claims.Holds(Path(dir.filePath("sub/alias.txt"))));
#endif
}

void TestFiles::staleTemporaryFilesOfDeadProcessesGo() {
    QTemporaryDir dir;
    const QString dead = ".~quorvane-99999999-1",
                  live = QStringLiteral(".~quorvane-%1-1").arg(QCoreApplication::applicationPid());
    const QString other = dir.filePath(".~quorvane-notes");
    for (const QString& name : {dead, live}) WriteAll(dir.filePath(name), "half");
    WriteAll(other, "not ours");
    RemoveStaleTemporaryFiles(Path(dir.path()));
    QVERIFY(!QFileInfo::exists(dir.filePath(dead)));
    QVERIFY(QFileInfo::exists(dir.filePath(live)));
    QVERIFY(QFileInfo::exists(other));
}

// The common causes in Chinese alone; the system's English text only for
// a cause without words of its own.
void TestFiles::reasonsAreInTheUsersWords_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("reading");
    QTest::addColumn<QString>("words");
    QTest::newRow("no permission") << EACCES << false << "没有写入权限";
    QTest::newRow("missing folder") << ENOENT << false << "文件夹不存在";
    QTest::newRow("disk full") << ENOSPC << false << "磁盘空间不足";
    QTest::newRow("read-only disk") << EROFS << false << "磁盘是只读的";
    QTest::newRow("in use") << EBUSY << false << "其他程序使用";
    QTest::newRow("missing file") << ENOENT << true << "文件不存在";
    QTest::newRow("held open, reading") << EBUSY << true << "其他程序使用";
    QTest::newRow("a folder, reading") << EISDIR << true << "文件夹";
    QTest::newRow("anything else") << ENOTCONN << false << "(";
}

void TestFiles::reasonsAreInTheUsersWords() {
    QFETCH(int, error);
    QFETCH(bool, reading);
    QFETCH(QString, words);
    const QString reason = QString::fromStdString(reading ? ReadFailureReason(error) : FailureReason(error));
    QVERIFY2(reason.contains(words), qPrintable(reason));
    QCOMPARE(reason.contains('('), words == "(");
    const QString message =
        QString::fromStdString(FileMessage("无法保存梁表文件", Path("梁表/三层.csv"), "x"));
    QCOMPARE(message, QDir::toNativeSeparators("无法保存梁表文件 \"梁表/三层.csv\":x"));
}

QTEST_APPLESS_MAIN(TestFiles)
#include "tst_files.moc"
