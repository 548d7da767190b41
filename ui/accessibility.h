// What a screen reader hears. The boxes are named from the parameter and
// result tables ("梁 宽度 mm", "梁自重 KN/M"), each labelled by the label
// beside it where the two share a container; the tick boxes by their visible
// captions; the frames are named groups; the main window is a window and the
// About window a dialog.
#pragma once

#include <QString>

#include <cstddef>

#include "controls.h"

namespace quorvane {

// Roles for the program's own widget classes; once per process, before the
// first window (repeated calls do nothing).
void InstallAccessibleRoles();

// "梁 宽度 mm", "梁上抹灰厚度 mm", "梁长度 mm", "折算比例" for input i.
QString InputAccessibleName(std::size_t index);
// "梁自重 KN/M" ... "广厦结构CAD应输入 KN/M" for result i.
QString ResultAccessibleName(std::size_t index);

// Names the main window's boxes and tick boxes and links the labels that
// caption them (QLabel buddies).
void NameForm1Controls(const ControlMap& controls);

}  // namespace quorvane
