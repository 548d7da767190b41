// How the 梁表 window sorts a column: numbers as numbers, texts in natural
// order (digit runs by their value: KL2 before KL10), empty and
// non-numeric cells of a numeric column last. Sorting shows rows in
// another order; it never changes the document's.
#pragma once

#include <QSortFilterProxyModel>

namespace quorvane {

// Natural order of two texts: digit runs by their value, whatever the
// locale (Qt's collator drops its numeric mode under the C locale).
int NaturalCompare(const QString& a, const QString& b);

class ScheduleSortProxy : public QSortFilterProxyModel {
public:
    explicit ScheduleSortProxy(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace quorvane
