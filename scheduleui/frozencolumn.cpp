#include "frozencolumn.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include "scheduletable.h"

namespace quorvane {

FrozenColumn::FrozenColumn(ScheduleTable* table)
    : QObject(table), table_(table), frozen_(new ScheduleTable(table)) {
    table->SetFrozen(frozen_);
    frozen_->setObjectName(QStringLiteral("FrozenMarkColumn"));
    frozen_->setModel(table->model());
    frozen_->setSelectionModel(table->selectionModel());
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setEditTriggers(table->editTriggers());
    frozen_->setSelectionMode(table->selectionMode());
    frozen_->setWordWrap(false);
    frozen_->verticalHeader()->hide();
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->verticalHeader()->setDefaultSectionSize(table->verticalHeader()->defaultSectionSize());
    frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->horizontalHeader()->setFixedHeight(table->horizontalHeader()->height());
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setAccessibleName(QStringLiteral("梁号"));
    for (int c = 1; c < table->model()->columnCount(); ++c) frozen_->setColumnHidden(c, true);
    frozen_->setColumnWidth(0, table->columnWidth(0));
    table->viewport()->stackUnder(frozen_);

    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section != 0) return;
                frozen_->setColumnWidth(0, size);
                UpdateGeometry();
            });
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, table->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(table->verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // Its caption shows the sort as the covered one would; a click selects
    // the column, the right button offers the covered caption's menu.
    frozen_->horizontalHeader()->setSortIndicatorShown(true);
    frozen_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // the file's own order
    connect(table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, frozen_->horizontalHeader(),
            [this](int section, Qt::SortOrder order) {
                frozen_->horizontalHeader()->setSortIndicator(section == 0 ? 0 : -1, order);
            });
    frozen_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(frozen_->horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QHeaderView* covered = table_->horizontalHeader();
        emit covered->customContextMenuRequested(
            covered->mapFromGlobal(frozen_->horizontalHeader()->mapToGlobal(at)));
    });
    connect(table->verticalHeader(), &QHeaderView::geometriesChanged, this, [this] { UpdateGeometry(); });
    table->installEventFilter(this);
    frozen_->show();
    UpdateGeometry();
}

QTableView* FrozenColumn::view() const { return frozen_; }

bool FrozenColumn::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                              event->type() == QEvent::LayoutRequest))
        UpdateGeometry();
    return QObject::eventFilter(watched, event);
}

void FrozenColumn::UpdateGeometry() {
    const int frame = table_->frameWidth();
    frozen_->setGeometry(table_->verticalHeader()->width() + frame, frame, table_->columnWidth(0) + frame,
                         table_->viewport()->height() + table_->horizontalHeader()->height());
}

}  // namespace quorvane
