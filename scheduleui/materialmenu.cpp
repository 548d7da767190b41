#include "materialmenu.h"

#include <QAbstractItemDelegate>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include <memory>

#include "qttext.h"
#include "row.h"

namespace quorvane {

QMenu* MakeMaterialMenu(int column, QWidget* parent,
                        const std::function<void(std::size_t k, const Material& material, const QString& name)>& picked) {
    const ScheduleColumn kind = ColumnAt(static_cast<std::size_t>(column));
    std::size_t k = 0;
    while (k < kMaterialCount && !(kind == ScheduleColumn{ColumnKind::Input, MaterialWeight(k)} ||
                                   kind == ScheduleColumn{ColumnKind::Material, k}))
        ++k;
    if (k == kMaterialCount) return nullptr;
    auto* menu = new QMenu(QStringLiteral("常用材料 (GB 50009)(&M)"), parent);
    for (const Material* m : MaterialsFor(MaterialWeight(k))) {
        const QString name = FromUtf8(MaterialName(MaterialWeight(k), *m));
        menu->addAction(name + QStringLiteral("    ") + FromUtf8(MaterialRange(*m)), menu,
                        [picked, k, m, name] { picked(k, *m, name); });
    }
    return menu;
}

void ShowEditorMenu(QAbstractItemDelegate* delegate, QLineEdit* editor,
                    const std::function<QMenu*(QWidget* parent)>& materials, const QPoint& at) {
    std::unique_ptr<QMenu> menu(editor->createStandardContextMenu());
    if (QMenu* offered = materials(menu.get())) {
        menu->addSeparator();
        menu->addMenu(offered);
        const QPointer<QLineEdit> alive(editor);
        for (QAction* pick : offered->actions())
            QObject::connect(pick, &QAction::triggered, menu.get(), [delegate, alive] {
                if (alive) emit delegate->closeEditor(alive, QAbstractItemDelegate::NoHint);
            });
    }
    menu->exec(at);
}

}  // namespace quorvane
