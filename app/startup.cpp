#include "startup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "calc.h"
#include "form1.h"

namespace quorvane {
namespace {

QString ReportFileName() {
    return QString::fromUtf8(kReportFileName.data(), static_cast<qsizetype>(kReportFileName.size()));
}

}  // namespace

#ifdef Q_OS_WIN
SingleCopy::SingleCopy(const QString&) : mutex_(std::make_unique<win::SingleInstance>()) {
    acquired_ = mutex_->acquired();
}
#else
SingleCopy::SingleCopy(const QString& lockPath) : lock_(std::make_unique<QLockFile>(lockPath)) {
    // Age says nothing about a running copy; only a dead owner makes the
    // lock stale, and QLockFile checks that by its process id.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0) || lock_->error() != QLockFile::LockFailedError;
}
#endif

QString SingleCopyLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("quorvane.lock"));
}

std::unique_ptr<Form1> StartUp(Shell& shell, const SingleCopy& single, const QString& reportPath) {
    if (!single.acquired()) {
        shell.ShowMessage(nullptr, QStringLiteral("＾○＾您已经运行了程序＾○＾"), Buttons::Ok);
        return nullptr;
    }
    auto form = std::make_unique<Form1>(reportPath, shell);
    form->Form_Load();
    return form;
}

QString ReportFilePath() {
#ifdef Q_OS_WIN
    const QString fixed = QStringLiteral("C:\\Program Files\\") + ReportFileName();
    if (win::CanWriteOrCreate(fixed.toStdWString())) return fixed;
#endif
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) documents = QDir::homePath();
    QDir().mkpath(documents);
    return QDir::toNativeSeparators(QDir(documents).filePath(ReportFileName()));
}

}  // namespace quorvane
