#include "shell.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#ifdef Q_OS_WIN
#include "win32.h"
#endif

namespace quorvane {

Answer DesktopShell::ShowMessage(QWidget* parent, const QString& text, Buttons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quorvane"), text, QMessageBox::NoButton, parent);
    if (buttons == Buttons::Ok) {
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.exec();
        return Answer::Ok;
    }
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

#ifdef Q_OS_WIN
namespace {
bool StartCommand(const std::wstring& commandLine, QString* reason) {
    const DWORD error = win::StartMinimized(commandLine);
    if (error == 0) return true;
    if (reason)
        *reason =
            QStringLiteral("无法启动 %1 (系统错误 %2)").arg(QString::fromStdWString(commandLine)).arg(error);
    return false;
}
}  // namespace

bool DesktopShell::StartReportViewer(const QString& reportPath, QString* reason) {
    return StartCommand(win::ReportViewerCommand(reportPath.toStdWString()), reason);
}

bool DesktopShell::OpenWebAddress(const QString& address, QString* reason) {
    return StartCommand(win::WebAddressCommand(address.toStdWString()), reason);
}
#else
bool DesktopShell::StartReportViewer(const QString& reportPath, QString* reason) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(reportPath))) return true;
    if (reason) *reason = QStringLiteral("系统没有可以打开文本文件的程序");
    return false;
}

bool DesktopShell::OpenWebAddress(const QString& address, QString* reason) {
    if (QDesktopServices::openUrl(QUrl(address))) return true;
    if (reason) *reason = QStringLiteral("系统没有可以打开网址的浏览器");
    return false;
}
#endif

}  // namespace quorvane
