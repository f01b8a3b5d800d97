#include "workspace/KeywordTable.h"

#include "platform/QStringBytes.h"

#include <QColor>
#include <QString>
#include <algorithm>
#include <stdexcept>

namespace vorlith {

namespace {

// A translucent red: a muted tint over light and dark skins alike, the old value still readable.
const QColor FailedCellColor(0xD0, 0x40, 0x40, 0x60);

void CheckPosition(int row, int count) {
    if (row < 0 || row >= count)
        throw std::out_of_range("List index out of bounds (" + std::to_string(row) + ")");
}

} // namespace

KeywordTable::KeywordTable(QObject* parent) : QAbstractTableModel(parent) {}

void KeywordTable::Append(Cells cells) {
    const int count = RowCount();
    beginInsertRows({}, count, count);
    rows_.push_back(KeywordRow{std::to_string(count + 1), std::move(cells), false});
    endInsertRows();
}

void KeywordTable::AppendMany(std::vector<Cells> cells) {
    if (cells.empty())
        return;
    const int count = RowCount();
    beginInsertRows({}, count, count + static_cast<int>(cells.size()) - 1);
    rows_.reserve(rows_.size() + cells.size());
    for (auto& c : cells)
        rows_.push_back(KeywordRow{std::to_string(rows_.size() + 1), std::move(c), false});
    endInsertRows();
}

void KeywordTable::AppendKeywords(const std::vector<std::string_view>& keywords) {
    if (keywords.empty())
        return;
    const int count = RowCount();
    beginInsertRows({}, count, count + static_cast<int>(keywords.size()) - 1);
    // Grow geometrically so that many small imports stay linear; one big one is sized exactly.
    const std::size_t needed = rows_.size() + keywords.size();
    if (needed > rows_.capacity())
        rows_.reserve(std::max(needed, rows_.capacity() + rows_.capacity() / 2));
    for (const std::string_view keyword : keywords) {
        KeywordRow& row = rows_.emplace_back();
        row.Caption = std::to_string(rows_.size());
        row.Cell[0].assign(keyword);
    }
    endInsertRows();
}

void KeywordTable::AppendKeyword(std::string keyword) {
    Cells cells;
    cells[0] = std::move(keyword);
    Append(std::move(cells));
}

void KeywordTable::SetCell(int row, int cell, std::string text) {
    CheckPosition(row, RowCount());
    KeywordRow& r = rows_[static_cast<std::size_t>(row)];
    r.Cell.at(static_cast<std::size_t>(cell)) = std::move(text);
    r.Failure[static_cast<std::size_t>(cell)] = 0;
    const QModelIndex at = index(row, cell + 1);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole});
}

void KeywordTable::MarkFailed(int row, int cell, std::string_view reason) {
    CheckPosition(row, RowCount());
    auto known = std::find(reasons_.begin(), reasons_.end(), reason);
    if (known == reasons_.end()) {
        // Reasons are a handful of status texts; past 254 the last slot takes the newest.
        if (reasons_.size() == 254)
            reasons_.back() = std::string(reason);
        else
            reasons_.emplace_back(reason);
        known = reasons_.end() - 1;
    }
    rows_[static_cast<std::size_t>(row)].Failure.at(static_cast<std::size_t>(cell)) =
        static_cast<std::uint8_t>(known - reasons_.begin() + 1);
    const QModelIndex at = index(row, cell + 1);
    Q_EMIT dataChanged(at, at, {Qt::ToolTipRole, Qt::BackgroundRole});
}

std::string_view KeywordTable::FailureReason(int row, int cell) const {
    const std::uint8_t mark = Row(row).Failure.at(static_cast<std::size_t>(cell));
    return mark == 0 ? std::string_view() : std::string_view(reasons_[mark - 1u]);
}

std::size_t KeywordTable::FailedCount() const {
    std::size_t count = 0;
    for (const KeywordRow& r : rows_)
        for (const std::uint8_t mark : r.Failure)
            count += mark != 0;
    return count;
}

void KeywordTable::SetChecked(int row, bool checked) {
    CheckPosition(row, RowCount());
    rows_[static_cast<std::size_t>(row)].Checked = checked;
    const QModelIndex at = index(row, 0);
    Q_EMIT dataChanged(at, at, {Qt::CheckStateRole});
}

void KeywordTable::SetAllChecked(bool checked) {
    if (rows_.empty())
        return;
    for (auto& r : rows_)
        r.Checked = checked;
    Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, 0), {Qt::CheckStateRole});
}

void KeywordTable::Delete(int row) {
    CheckPosition(row, RowCount());
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void KeywordTable::DeleteAll() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

std::size_t KeywordTable::DeleteIf(const std::function<bool(const KeywordRow&)>& pick) {
    const auto first = std::find_if(rows_.begin(), rows_.end(), pick);
    if (first == rows_.end())
        return 0;
    // One reset for the whole batch: per-range signals would cost the view O(rows) each.
    beginResetModel();
    const auto kept = std::remove_if(first, rows_.end(), pick);
    const auto removed = static_cast<std::size_t>(rows_.end() - kept);
    rows_.erase(kept, rows_.end());
    endResetModel();
    return removed;
}

std::size_t KeywordTable::DeleteMarked(const std::vector<bool>& marked) {
    if (marked.size() != rows_.size())
        throw std::invalid_argument("KeywordTable::DeleteMarked: the marks do not cover every row");
    std::size_t at = 0;
    while (at < rows_.size() && !marked[at])
        ++at;
    if (at == rows_.size())
        return 0;
    beginResetModel();
    std::size_t kept = at;
    for (std::size_t r = at + 1; r < rows_.size(); ++r)
        if (!marked[r])
            rows_[kept++] = std::move(rows_[r]);
    const std::size_t removed = rows_.size() - kept;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(kept), rows_.end());
    endResetModel();
    return removed;
}

void KeywordTable::Reorder(const std::vector<std::size_t>& order) {
    if (order.size() != rows_.size())
        throw std::invalid_argument("KeywordTable::Reorder: order does not cover every row");
    std::vector<int> newPosition(rows_.size(), -1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::size_t from = order[i];
        if (from >= rows_.size() || newPosition[from] != -1)
            throw std::invalid_argument("KeywordTable::Reorder: order is not a permutation");
        newPosition[from] = static_cast<int>(i);
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // In place, one cycle of the permutation at a time: every row moves once and no second
    // table is allocated. The rows are read in random order, so the reads of the next few
    // steps of the cycle are started early and their misses overlap.
    constexpr int ahead = 8;
    std::vector<bool> placed(rows_.size());
    for (std::size_t start = 0; start < rows_.size(); ++start) {
        if (placed[start] || order[start] == start)
            continue;
        KeywordRow held = std::move(rows_[start]);
        std::size_t lead = start;
        for (int i = 0; i < ahead; ++i)
            lead = order[lead];
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = order[at];
            if (from == start) {
                rows_[at] = std::move(held);
                break;
            }
            lead = order[lead];
            const char* next = reinterpret_cast<const char*>(&rows_[lead]);
            for (std::size_t line = 0; line < sizeof(KeywordRow); line += 64)
                __builtin_prefetch(next + line);
            rows_[at] = std::move(rows_[from]);
            at = from;
        }
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.push_back(index(newPosition[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int KeywordTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int KeywordTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KeywordTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount())
        return {};
    const KeywordRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return ToQString(index.column() == 0 ? row.Caption
                                             : row.Cell[static_cast<std::size_t>(index.column() - 1)]);
    if (role == Qt::CheckStateRole && index.column() == 0)
        return row.Checked ? Qt::Checked : Qt::Unchecked;
    if (index.column() > 0 && row.Failure[static_cast<std::size_t>(index.column() - 1)] != 0) {
        // A failed lookup must not look like a cell nobody asked for yet.
        if (role == Qt::ToolTipRole)
            return QString(QStringLiteral("Lookup failed: ") +
                           ToQString(FailureReason(index.row(), index.column() - 1)));
        if (role == Qt::BackgroundRole)
            return FailedCellColor;
    }
    return {};
}

bool KeywordTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant KeywordTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(Columns[static_cast<std::size_t>(section)].Header);
}

Qt::ItemFlags KeywordTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace vorlith
