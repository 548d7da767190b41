#include "module1.h"

#include "desktop.h"

namespace quorvane {
void SetTopmost(QWidget* window) { desktop::SetStaysOnTop(window, true); }
void ClearTopmost(QWidget* window) { desktop::SetStaysOnTop(window, false); }

bool IsTopmost(const QWidget* window) { return desktop::StaysOnTop(window); }

}  // namespace quorvane
