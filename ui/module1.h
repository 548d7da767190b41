// Window stacking: put a window into the topmost band or take it out,
// without hiding, moving, resizing or re-creating it.
#pragma once

class QWidget;

namespace quorvane {

void SetTopmost(QWidget* window);
void ClearTopmost(QWidget* window);

// Whether the window is in the topmost band, as the window system was told.
bool IsTopmost(const QWidget* window);

}  // namespace quorvane
