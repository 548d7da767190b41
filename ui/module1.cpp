#include "module1.h"

#include <QWidget>
#include <QWindow>

#ifdef Q_OS_WIN
#include "win32.h"
#endif

namespace quorvane {
namespace {

void SetStaysOnTop(QWidget* window, bool on) {
#ifdef Q_OS_WIN
    // The platform layer's calls, the ones its Wine tests check.
    const HWND handle = reinterpret_cast<HWND>(window->winId());
    if (on)
        win::SetTopmost(handle);
    else
        win::ClearTopmost(handle);
#else
    // QWidget::setWindowFlags would hide and re-create the native window;
    // the QWindow flag only changes the window manager's stacking state.
    window->winId();
    if (QWindow* handle = window->windowHandle()) handle->setFlag(Qt::WindowStaysOnTopHint, on);
#endif
}

}  // namespace

void SetTopmost(QWidget* window) { SetStaysOnTop(window, true); }
void ClearTopmost(QWidget* window) { SetStaysOnTop(window, false); }

bool IsTopmost(const QWidget* window) {
#ifdef Q_OS_WIN
    return win::IsTopmost(reinterpret_cast<HWND>(window->winId()));
#else
    const QWindow* handle = window->windowHandle();
    return handle && handle->flags().testFlag(Qt::WindowStaysOnTopHint);
#endif
}

}  // namespace quorvane
