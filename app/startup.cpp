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

SingleCopy::SingleCopy(const QString& lockPath) : lock_(desktop::LockSingleCopy(lockPath)) {}

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
    if (auto fixed = desktop::FixedReportPath(ReportFileName())) return *fixed;
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) documents = QDir::homePath();
    QDir().mkpath(documents);
    return QDir::toNativeSeparators(QDir(documents).filePath(ReportFileName()));
}

}  // namespace quorvane
