// GB 50009-2012's materials on a 梁表 unit-weight column (常用材料, on a
// cell's context menu and on its editor's).
#pragma once

#include <QString>

#include <cstddef>
#include <functional>

#include "materials.h"

class QAbstractItemDelegate;
class QLineEdit;
class QMenu;
class QPoint;
class QWidget;

namespace quorvane {

// The menu for a unit weight's column or its material's column, picked
// called with the material and the name it goes by there; null for a
// column the table gives nothing for. k: the column's material field.
QMenu* MakeMaterialMenu(int column, QWidget* parent,
                        const std::function<void(std::size_t k, const Material& material, const QString& name)>& picked);

// A unit weight's editor: its own menu, then the materials menu made
// under it (none: null). A material picked ends the edit without writing
// what was typed over it.
void ShowEditorMenu(QAbstractItemDelegate* delegate, QLineEdit* editor,
                    const std::function<QMenu*(QWidget* parent)>& materials, const QPoint& at);

}  // namespace quorvane
