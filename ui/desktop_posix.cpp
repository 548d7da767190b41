#include "desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QLockFile>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace quorvane::desktop {
namespace {

// Per user, race-free (the lock file is created exclusively), and a copy
// that crashed or was killed leaves a stale lock that the next start takes
// over. A lock file that cannot be made at all lets the program through.
class LockFileLock : public SingleCopyLock {
public:
    explicit LockFileLock(const QString& path) : lock_(path) {
        // Age says nothing about a running copy; only a dead owner makes the
        // lock stale, and QLockFile checks that by its process id.
        lock_.setStaleLockTime(0);
        acquired_ = lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError;
    }
    bool acquired() const override { return acquired_; }

private:
    QLockFile lock_;
    bool acquired_ = false;
};

}  // namespace

void SetStaysOnTop(QWidget* window, bool on) {
    // QWidget::setWindowFlags would hide and re-create the native window;
    // the QWindow flag only changes the window manager's stacking state.
    window->winId();
    if (QWindow* handle = window->windowHandle()) handle->setFlag(Qt::WindowStaysOnTopHint, on);
}

bool StaysOnTop(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle && handle->flags().testFlag(Qt::WindowStaysOnTopHint);
}

bool StartReportViewer(const QString& reportPath, QString* reason) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(reportPath))) return true;
    if (reason) *reason = QStringLiteral("系统没有可以打开文本文件的程序");
    return false;
}

bool OpenWebAddress(const QString& address, QString* reason) {
    if (QDesktopServices::openUrl(QUrl(address))) return true;
    if (reason) *reason = QStringLiteral("系统没有可以打开网址的浏览器");
    return false;
}

QFont LayoutFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Noto Sans Mono CJK SC")});
    font.setPixelSize(12);
    return font;
}

std::unique_ptr<SingleCopyLock> LockSingleCopy(const QString& lockPath) {
    return std::make_unique<LockFileLock>(lockPath);
}

std::optional<QString> FixedReportPath(const QString&) { return std::nullopt; }

}  // namespace quorvane::desktop
