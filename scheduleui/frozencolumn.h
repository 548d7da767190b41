// The mark column held in view while the table scrolls sideways, as a
// frozen first column in Excel: a second view of the same model and
// selection, laid over the table's left edge and scrolled with it.
#pragma once

#include <QObject>

class QTableView;

namespace quorvane {

class ScheduleTable;

class FrozenColumn : public QObject {
public:
    explicit FrozenColumn(ScheduleTable* table);
    QTableView* view() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateGeometry();
    ScheduleTable* table_;
    ScheduleTable* frozen_;
};

}  // namespace quorvane
