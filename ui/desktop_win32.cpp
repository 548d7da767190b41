#include "desktop.h"

#include <QStringList>
#include <QWidget>

#include "win32.h"

namespace quorvane::desktop {
namespace {

HWND Handle(const QWidget* window) { return reinterpret_cast<HWND>(window->winId()); }

bool StartCommand(const std::wstring& commandLine, QString* reason) {
    const DWORD error = win::StartMinimized(commandLine);
    if (error == 0) return true;
    if (reason)
        *reason =
            QStringLiteral("无法启动 %1 (系统错误 %2)").arg(QString::fromStdWString(commandLine)).arg(error);
    return false;
}

class NamedMutexLock : public SingleCopyLock {
public:
    bool acquired() const override { return mutex_.acquired(); }

private:
    win::SingleInstance mutex_;  // one per logged-on user
};

}  // namespace

// The platform layer's calls, the ones its Wine tests check.
void SetStaysOnTop(QWidget* window, bool on) {
    if (on)
        win::SetTopmost(Handle(window));
    else
        win::ClearTopmost(Handle(window));
}

bool StaysOnTop(const QWidget* window) { return win::IsTopmost(Handle(window)); }

bool StartReportViewer(const QString& reportPath, QString* reason) {
    return StartCommand(win::ReportViewerCommand(reportPath.toStdWString()), reason);
}

bool OpenWebAddress(const QString& address, QString* reason) {
    return StartCommand(win::WebAddressCommand(address.toStdWString()), reason);
}


QFont LayoutFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                                 QStringLiteral("Microsoft YaHei UI")});
    font.setPointSize(9);
    return font;
}

std::unique_ptr<SingleCopyLock> LockSingleCopy(const QString&) { return std::make_unique<NamedMutexLock>(); }

std::optional<QString> FixedReportPath(const QString& fileName) {
    const QString fixed = QStringLiteral("C:\\Program Files\\") + fileName;
    if (win::CanWriteOrCreate(fixed.toStdWString())) return fixed;
    return std::nullopt;
}

}  // namespace quorvane::desktop
