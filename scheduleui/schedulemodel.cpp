#include "schedulemodel.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

#include "numtext.h"
#include "qttext.h"

namespace quorvane {
namespace {

const QColor kRefusedShade(255, 205, 205);
const QColor kResultShade(236, 245, 231);
const QColor kErrorText(176, 0, 32);
const QColor kOutsideMaterialShade(255, 232, 170);  // a weight its material's range does not hold

ScheduleColumn Column(int c) { return ColumnAt(static_cast<std::size_t>(c)); }

QVariant Alignment(ScheduleColumn column) {
    if (column.kind == ColumnKind::Mark || column.kind == ColumnKind::Error || column.kind == ColumnKind::Material)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

ScheduleModel::ScheduleModel(QObject* parent) : QAbstractTableModel(parent) {}

void ScheduleModel::Reset(std::vector<ScheduleRow> rows, CsvLayout layout, std::vector<ShownResult> results) {
    beginResetModel();
    rows_ = std::move(rows);
    layout_ = std::move(layout);
    results_ = std::move(results);
    if (results_.size() != rows_.size()) {
        results_.clear();
        results_.reserve(rows_.size());
        for (const ScheduleRow& row : rows_) results_.emplace_back(EvaluateRow(row));
    }
    endResetModel();
}

bool ScheduleModel::IsEditableColumn(int column) {
    const ColumnKind kind = Column(column).kind;
    return kind == ColumnKind::Mark || kind == ColumnKind::Input || kind == ColumnKind::Material;
}

std::vector<CellEdit> ScheduleModel::WithMaterialWeights(std::vector<CellEdit> edits) const {
    const std::size_t given = edits.size();
    for (std::size_t e = 0; e < given; ++e) {
        const ScheduleColumn column = Column(edits[e].column);
        if (column.kind != ColumnKind::Material) continue;
        const std::size_t weight = MaterialWeight(column.index);
        const int weightColumn = static_cast<int>(PositionOf({ColumnKind::Input, weight}));
        const Material* m = FindMaterial(weight, edits[e].text);
        const int row = edits[e].row;
        if (!m || std::any_of(edits.begin(), edits.begin() + static_cast<long>(given), [&](const CellEdit& other) {
                return other.row == row && other.column == weightColumn;
            }))
            continue;
        edits.push_back({row, weightColumn, m->high});
    }
    return edits;
}

std::string ScheduleModel::MaterialNote(int row, int column) const {
    const ScheduleColumn at = Column(column);
    if (IsEmptyRow(row) || (at.kind != ColumnKind::Input && at.kind != ColumnKind::Material)) return {};
    const ScheduleRow& beam = rows_[static_cast<std::size_t>(row)];
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        const auto weight = MaterialWeight(k);
        if (at.kind == ColumnKind::Material ? at.index != k : at.index != weight) continue;
        if (beam.material(k).empty()) return {};  // (most cells: no text built while painting)
        return MaterialMismatch(k, beam.material(k), beam.text(weight),
                                std::string(kParams[weight].displayName) + " " + std::string(beam.text(weight)));
    }
    return {};
}

std::string ScheduleModel::CellString(int row, int column) const {
    if (IsEmptyRow(row)) return {};
    const auto r = static_cast<std::size_t>(row);
    return std::string(CellText(Column(column), rows_[r], results_[r]));
}

void ScheduleModel::Recompute(int first, int last) {
    for (int r = first; r <= last; ++r) {
        const auto i = static_cast<std::size_t>(r);
        results_[i] = ShownResult(EvaluateRow(rows_[i]));
    }
}

void ScheduleModel::Apply(const std::vector<CellEdit>& edits) {
    if (edits.empty()) return;
    std::vector<int> touched;
    touched.reserve(edits.size());
    bool materials = false;
    for (const CellEdit& e : edits) {
        if (IsEmptyRow(e.row)) continue;
        ScheduleRow& row = rows_[static_cast<std::size_t>(e.row)];
        const ScheduleColumn column = Column(e.column);
        if (column.kind == ColumnKind::Mark) row.SetMark(e.text);
        if (column.kind == ColumnKind::Input) row.SetText(column.index, e.text);
        if (column.kind == ColumnKind::Material) row.SetMaterial(column.index, e.text);
        materials = materials || column.kind == ColumnKind::Material;
        if (touched.empty() || touched.back() != e.row) touched.push_back(e.row);
    }
    if (touched.empty()) return;
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (int r : touched)
        results_[static_cast<std::size_t>(r)] = ShownResult(EvaluateRow(rows_[static_cast<std::size_t>(r)]));
    emit dataChanged(index(touched.front(), 0), index(touched.back(), columnCount() - 1));
    if (materials) emit materialsChanged();
}

void ScheduleModel::Refuse(int row, std::string_view why) {
    const auto r = static_cast<std::size_t>(row);
    rows_[r].SetRefusal(why);
    results_[r] = ShownResult(EvaluateRow(rows_[r]));
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

namespace {
bool NamesAMaterial(const std::vector<ScheduleRow>& rows) {
    for (const ScheduleRow& row : rows)
        for (std::size_t k = 0; k < kMaterialCount; ++k)
            if (!row.material(k).empty()) return true;
    return false;
}
}  // namespace

void ScheduleModel::Insert(int at, std::vector<ScheduleRow> rows) {
    if (rows.empty()) return;
    const int count = static_cast<int>(rows.size());
    const bool materials = NamesAMaterial(rows);
    beginInsertRows({}, at, at + count - 1);
    rows_.insert(rows_.begin() + at, std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    results_.insert(results_.begin() + at, rows.size(), ShownResult());
    Recompute(at, at + count - 1);
    endInsertRows();
    if (materials) emit materialsChanged();
}

void ScheduleModel::Append(int count) {
    if (count <= 0) return;
    const int at = beamCount();
    // Rows come in below the empty row, which then shows the first new beam.
    beginInsertRows({}, at + 1, at + count);
    const ShownResult fresh(EvaluateBeam(ScheduleRow().texts()));  // every new row's, until it is edited
    rows_.resize(rows_.size() + static_cast<std::size_t>(count));
    results_.resize(results_.size() + static_cast<std::size_t>(count), fresh);
    endInsertRows();
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
}

std::vector<ScheduleRow> ScheduleModel::Take(int at, int count) {
    if (count <= 0) return {};
    beginRemoveRows({}, at, at + count - 1);
    std::vector<ScheduleRow> taken(std::make_move_iterator(rows_.begin() + at),
                                   std::make_move_iterator(rows_.begin() + at + count));
    rows_.erase(rows_.begin() + at, rows_.begin() + at + count);
    results_.erase(results_.begin() + at, results_.begin() + at + count);
    endRemoveRows();
    if (NamesAMaterial(taken)) emit materialsChanged();
    return taken;
}

std::vector<ScheduleRow> ScheduleModel::TakeScattered(const std::vector<int>& rows) {
    beginResetModel();
    std::vector<ScheduleRow> taken, kept;
    std::vector<ShownResult> keptResults;
    taken.reserve(rows.size());
    kept.reserve(rows_.size() - rows.size());
    keptResults.reserve(rows_.size() - rows.size());
    std::size_t next = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (next < rows.size() && static_cast<std::size_t>(rows[next]) == r) {
            taken.push_back(std::move(rows_[r]));
            ++next;
        } else {
            kept.push_back(std::move(rows_[r]));
            keptResults.push_back(std::move(results_[r]));
        }
    }
    rows_ = std::move(kept);
    results_ = std::move(keptResults);
    endResetModel();
    if (NamesAMaterial(taken)) emit materialsChanged();
    return taken;
}

void ScheduleModel::InsertScattered(const std::vector<int>& at, std::vector<ScheduleRow> rows) {
    const bool materials = NamesAMaterial(rows);
    beginResetModel();
    const std::size_t total = rows_.size() + rows.size();
    std::vector<ScheduleRow> merged;
    std::vector<ShownResult> mergedResults;
    merged.reserve(total);
    mergedResults.reserve(total);
    std::size_t next = 0, old = 0;
    for (std::size_t r = 0; r < total; ++r) {
        if (next < at.size() && static_cast<std::size_t>(at[next]) == r) {
            mergedResults.emplace_back(EvaluateRow(rows[next]));
            merged.push_back(std::move(rows[next++]));
        } else {
            merged.push_back(std::move(rows_[old]));
            mergedResults.push_back(std::move(results_[old++]));
        }
    }
    rows_ = std::move(merged);
    results_ = std::move(mergedResults);
    endResetModel();
    if (materials) emit materialsChanged();
}

int ScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : beamCount() + 1;
}

int ScheduleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kTableColumnCount);
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const ScheduleColumn column = Column(index.column());
    if (IsEmptyRow(index.row())) {
        if (role == Qt::TextAlignmentRole) return Alignment(column);
        if ((role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) && IsEditableColumn(index.column()))
            return QStringLiteral("空行:在这里输入或粘贴即添加一根梁");
        return role == Qt::DisplayRole || role == Qt::EditRole ? QVariant(QString()) : QVariant();
    }
    const auto r = static_cast<std::size_t>(index.row());
    const ShownResult& result = results_[r];
    const bool refused = (column.kind == ColumnKind::Input && result.IsRefused(column.index)) ||
                         (column.kind == ColumnKind::Material && !rows_[r].material(column.index).empty() &&
                          !result.ok() && !MaterialNameRefusal(column.index, rows_[r].material(column.index)).empty());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return FromUtf8(CellText(column, rows_[r], result));
        case kSortRole: {
            const std::string_view text = CellText(column, rows_[r], result);
            if (column.kind == ColumnKind::Mark || column.kind == ColumnKind::Error ||
                column.kind == ColumnKind::Material)
                return FromUtf8(text);
            const Reading reading = ReadText(text);
            if (text.empty() || !reading.numeric) return {};
            return reading.value;
        }
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:  // what a screen reader says instead of the colour
            if (refused && column.kind == ColumnKind::Material)
                return FromUtf8(MaterialNameRefusal(column.index, rows_[r].material(column.index)));
            if (refused) return FromUtf8(InputRefusal(column.index, rows_[r].text(column.index)));
            if (column.kind == ColumnKind::Error && !result.ok()) return FromUtf8(result.error());
            if (const std::string note = MaterialNote(index.row(), index.column()); !note.empty())
                return FromUtf8(note);
            return {};
        case Qt::BackgroundRole:
            if (refused) return QBrush(kRefusedShade);
            if (!MaterialNote(index.row(), index.column()).empty()) return QBrush(kOutsideMaterialShade);
            if (column.kind == ColumnKind::Result || column.kind == ColumnKind::Copied)
                return QBrush(kResultShade);
            return {};
        case Qt::ForegroundRole:
            if (column.kind == ColumnKind::Error) return QBrush(kErrorText);
            return {};
        case Qt::TextAlignmentRole:
            return Alignment(column);
        default:
            return {};
    }
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    if (orientation == Qt::Vertical)
        return IsEmptyRow(section) ? QVariant(role == Qt::ToolTipRole ? QStringLiteral("空行:在这里输入或粘贴即添加一根梁")
                                                                      : QStringLiteral("*"))
                                   : QVariant(section + 1);
    const ScheduleColumn column = Column(section);
    if (role == Qt::ToolTipRole) return FromUtf8(ColumnCaption(column) + "  " + std::string(ColumnField(column)));
    // Two lines, name over unit, so that the columns stay narrow.
    QString caption = FromUtf8(ColumnCaption(column));
    const qsizetype unit = caption.indexOf('(');
    if (unit > 0) caption.replace(unit, 1, QStringLiteral("\n("));
    return caption;
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (IsEditableColumn(index.column())) f |= Qt::ItemIsEditable;
    return f;
}

bool ScheduleModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !IsEditableColumn(index.column())) return false;
    std::string text = ToUtf8(value.toString());
    if (text == CellString(index.row(), index.column())) return true;
    emit editRequested(CellEdit{index.row(), index.column(), std::move(text)});
    return true;
}

}  // namespace quorvane
