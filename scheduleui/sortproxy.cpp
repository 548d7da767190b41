#include "sortproxy.h"

#include "schedulemodel.h"

namespace quorvane {

int NaturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit()) ++ei;
            while (ej < b.size() && b[ej].isDigit()) ++ej;
            QStringView x = QStringView(a).mid(i, ei - i), y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x[0] == u'0') x = x.mid(1);
            while (y.size() > 1 && y[0] == u'0') y = y.mid(1);
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y)) return c;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    return (a.size() - i > 0) - (b.size() - j > 0);
}

ScheduleSortProxy::ScheduleSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(ScheduleModel::kSortRole);
    setDynamicSortFilter(false);  // an edited row stays where it is
}

bool ScheduleSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // The empty row stays below the beams, whichever way they are sorted.
    const auto* model = static_cast<const ScheduleModel*>(sourceModel());
    if (model->IsEmptyRow(left.row())) return sortOrder() == Qt::DescendingOrder;
    if (model->IsEmptyRow(right.row())) return sortOrder() == Qt::AscendingOrder;
    const QVariant a = left.data(sortRole()), b = right.data(sortRole());
    if (!a.isValid() || !b.isValid()) return a.isValid() && !b.isValid();
    if (a.typeId() == QMetaType::Double && b.typeId() == QMetaType::Double) return a.toDouble() < b.toDouble();
    return NaturalCompare(a.toString(), b.toString()) < 0;
}

}  // namespace quorvane
