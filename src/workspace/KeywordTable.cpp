#include "workspace/KeywordTable.h"

#include "platform/QStringBytes.h"

#include <QColor>
#include <QString>
#include <algorithm>
#include <cstring>
#include <limits>
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

const KeywordTable::RowSlot& KeywordTable::Slot(int row) const {
    CheckPosition(row, RowCount());
    return slots_[static_cast<std::size_t>(row)];
}

std::size_t KeywordTable::RowBytes(const RowSlot& slot) {
    std::size_t bytes = 0;
    for (const std::uint32_t length : slot.Length)
        bytes += length;
    return bytes;
}

std::size_t KeywordTable::CellStart(const RowSlot& slot, int cell) {
    std::size_t at = slot.At;
    for (int c = 0; c < cell; ++c)
        at += slot.Length[static_cast<std::size_t>(c)];
    return at;
}

std::string_view KeywordTable::Cell(int row, int cell) const {
    const RowSlot& slot = Slot(row);
    const std::uint32_t length = slot.Length.at(static_cast<std::size_t>(cell));
    return {text_.data() + CellStart(slot, cell), length};
}

KeywordRow KeywordTable::Row(int row) const {
    const RowSlot& slot = Slot(row);
    KeywordRow copy{std::to_string(slot.Number), {}, slot.Checked, slot.Failure};
    for (int c = 0; c < CellCount; ++c)
        copy.Cell[static_cast<std::size_t>(c)] = std::string(Cell(row, c));
    return copy;
}

std::vector<KeywordRow> KeywordTable::Rows() const {
    std::vector<KeywordRow> rows;
    rows.reserve(slots_.size());
    for (int r = 0; r < RowCount(); ++r)
        rows.push_back(Row(r));
    return rows;
}

namespace {

std::uint32_t CellLength(std::size_t size) {
    // The arena's lengths are 32-bit; no file or page the program reads comes near.
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("A keyword table cell is too long");
    return static_cast<std::uint32_t>(size);
}

} // namespace

template <typename Texts>
void KeywordTable::AppendRow(std::uint32_t number, const Texts& cells) {
    if (nextId_ == 0)
        throw std::length_error("The keyword table has given out every row id");
    RowSlot& slot = slots_.emplace_back();
    slot.At = text_.size();
    slot.Number = number;
    slot.Id = nextId_++;
    if (!idsAscending_ && !indexStale_) {
        // A fresh index stays fresh: new ids are the highest, one after another.
        const int position = static_cast<int>(slots_.size() - 1);
        if (!sparseIndex_.empty()) {
            sparseIndex_.emplace_back(slot.Id, position);
        } else {
            const std::size_t at = slot.Id - indexBase_;
            if (at >= index_.size())
                index_.resize(at + 1, -1);
            index_[at] = position;
        }
    }
    for (std::size_t c = 0; c < cells.size(); ++c) {
        slot.Length[c] = CellLength(cells[c].size());
        text_.append(cells[c]);
    }
}

void KeywordTable::Append(Cells cells) {
    const int count = RowCount();
    beginInsertRows({}, count, count);
    AppendRow(static_cast<std::uint32_t>(count + 1), cells);
    endInsertRows();
}

void KeywordTable::AppendMany(std::vector<Cells> cells) {
    if (cells.empty())
        return;
    const int count = RowCount();
    beginInsertRows({}, count, count + static_cast<int>(cells.size()) - 1);
    slots_.reserve(slots_.size() + cells.size());
    for (const Cells& c : cells)
        AppendRow(static_cast<std::uint32_t>(slots_.size() + 1), c);
    endInsertRows();
}

void KeywordTable::AppendKeywords(const std::vector<std::string_view>& keywords) {
    if (keywords.empty())
        return;
    const int count = RowCount();
    beginInsertRows({}, count, count + static_cast<int>(keywords.size()) - 1);
    // Grow geometrically so that many small imports stay linear; one big one is sized exactly.
    const std::size_t needed = slots_.size() + keywords.size();
    if (needed > slots_.capacity())
        slots_.reserve(std::max(needed, slots_.capacity() + slots_.capacity() / 2));
    std::size_t bytes = text_.size();
    for (const std::string_view keyword : keywords)
        bytes += keyword.size();
    if (bytes > text_.capacity())
        text_.reserve(std::max(bytes, text_.capacity() + text_.capacity() / 2));
    for (const std::string_view keyword : keywords)
        AppendRow(static_cast<std::uint32_t>(slots_.size() + 1), std::array<std::string_view, 1>{keyword});
    endInsertRows();
}

void KeywordTable::AppendKeyword(std::string keyword) {
    Cells cells;
    cells[0] = std::move(keyword);
    Append(std::move(cells));
}

void KeywordTable::SetCell(int row, int cell, std::string text) {
    CheckPosition(row, RowCount());
    RowSlot& slot = slots_[static_cast<std::size_t>(row)];
    const std::size_t old = slot.Length.at(static_cast<std::size_t>(cell));
    const std::uint32_t size = CellLength(text.size()); // before anything moves
    const std::size_t total = RowBytes(slot);
    const std::size_t before = CellStart(slot, cell) - slot.At;
    const std::size_t after = total - before - old;
    const bool last = slot.At + total == text_.size();
    if (size <= old || last) {
        // In place: the row shrinks (leaving a hole) or is the arena's last and may grow.
        if (last && size > old)
            text_.resize(text_.size() + (size - old));
        char* at = text_.data() + slot.At + before;
        std::memmove(at + size, at + old, after);
        std::memcpy(at, text.data(), size);
        if (last)
            text_.resize(slot.At + total - old + size);
        else
            garbage_ += old - size;
    } else {
        // The row moves to the end; the arena may move, so copy by offset after growing it.
        const std::size_t from = slot.At;
        const std::size_t to = text_.size();
        text_.resize(to + total - old + size);
        char* base = text_.data();
        std::memcpy(base + to, base + from, before);
        std::memcpy(base + to + before, text.data(), size);
        std::memcpy(base + to + before + size, base + from + before + old, after);
        garbage_ += total;
        slot.At = to;
    }
    slot.Length[static_cast<std::size_t>(cell)] = size;
    slot.Failure[static_cast<std::size_t>(cell)] = 0;
    CompactIfWasteful();
    const QModelIndex changed = index(row, cell + 1);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole});
}

int KeywordTable::Find(RowId id) const {
    if (id == 0 || id >= nextId_ || slots_.empty())
        return -1;
    if (idsAscending_) {
        // Most often nothing before the row was deleted: it sits where its id says.
        const RowId first = slots_.front().Id;
        if (id >= first && id - first < slots_.size() && slots_[id - first].Id == id)
            return static_cast<int>(id - first);
        const auto at = std::lower_bound(slots_.begin(), slots_.end(), id,
                                         [](const RowSlot& slot, RowId wanted) { return slot.Id < wanted; });
        return at != slots_.end() && at->Id == id ? static_cast<int>(at - slots_.begin()) : -1;
    }
    if (indexStale_)
        RebuildIndex();
    if (!sparseIndex_.empty()) {
        const auto at =
            std::lower_bound(sparseIndex_.begin(), sparseIndex_.end(), std::pair<RowId, int>(id, -1));
        return at != sparseIndex_.end() && at->first == id ? at->second : -1;
    }
    return id >= indexBase_ && id - indexBase_ < index_.size() ? index_[id - indexBase_] : -1;
}

void KeywordTable::RebuildIndex() const {
    index_.clear();
    sparseIndex_.clear();
    RowId low = std::numeric_limits<RowId>::max(), high = 0;
    for (const RowSlot& slot : slots_) {
        low = std::min(low, slot.Id);
        high = std::max(high, slot.Id);
    }
    const std::size_t span = slots_.empty() ? 0 : std::size_t{high} - low + 1;
    // Ids of long-deleted rows leave gaps; a direct index over wide gaps would cost more than
    // the rows themselves.
    if (span <= 2 * slots_.size() + 1024) {
        indexBase_ = low;
        index_.assign(span, -1);
        for (std::size_t r = 0; r < slots_.size(); ++r)
            index_[slots_[r].Id - low] = static_cast<int>(r);
        sparseIndex_.shrink_to_fit();
    } else {
        sparseIndex_.reserve(slots_.size());
        for (std::size_t r = 0; r < slots_.size(); ++r)
            sparseIndex_.emplace_back(slots_[r].Id, static_cast<int>(r));
        std::sort(sparseIndex_.begin(), sparseIndex_.end());
        index_.shrink_to_fit();
    }
    indexStale_ = false;
}

void KeywordTable::Release(const RowSlot& slot) {
    const std::size_t bytes = RowBytes(slot);
    if (slot.At + bytes == text_.size())
        text_.resize(slot.At);
    else
        garbage_ += bytes;
}

void KeywordTable::CompactIfWasteful() {
    // Holes come from rewritten and deleted rows; past half the arena they are squeezed out,
    // so the cost is spread over at least as many bytes written.
    if (garbage_ < 4096 || garbage_ * 2 < text_.size())
        return;
    std::string packed;
    packed.reserve(text_.size() - garbage_);
    for (RowSlot& slot : slots_) {
        const std::size_t bytes = RowBytes(slot);
        const std::size_t at = packed.size();
        packed.append(text_, slot.At, bytes);
        slot.At = at;
    }
    text_.swap(packed);
    garbage_ = 0;
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
    slots_[static_cast<std::size_t>(row)].Failure.at(static_cast<std::size_t>(cell)) =
        static_cast<std::uint8_t>(known - reasons_.begin() + 1);
    const QModelIndex at = index(row, cell + 1);
    Q_EMIT dataChanged(at, at, {Qt::ToolTipRole, Qt::BackgroundRole});
}

std::string_view KeywordTable::FailureReason(int row, int cell) const {
    const std::uint8_t mark = Slot(row).Failure.at(static_cast<std::size_t>(cell));
    return mark == 0 ? std::string_view() : std::string_view(reasons_[mark - 1u]);
}

std::size_t KeywordTable::FailedCount() const {
    std::size_t count = 0;
    for (const RowSlot& slot : slots_)
        for (const std::uint8_t mark : slot.Failure)
            count += mark != 0;
    return count;
}

void KeywordTable::SetChecked(int row, bool checked) {
    CheckPosition(row, RowCount());
    slots_[static_cast<std::size_t>(row)].Checked = checked;
    const QModelIndex at = index(row, 0);
    Q_EMIT dataChanged(at, at, {Qt::CheckStateRole});
}

void KeywordTable::SetAllChecked(bool checked) {
    if (slots_.empty())
        return;
    for (RowSlot& slot : slots_)
        slot.Checked = checked;
    Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, 0), {Qt::CheckStateRole});
}

void KeywordTable::SetCheckedRows(const std::vector<int>& rows, bool checked) {
    if (rows.empty())
        return;
    for (const int row : rows)
        CheckPosition(row, RowCount());
    for (const int row : rows)
        slots_[static_cast<std::size_t>(row)].Checked = checked;
    // One notice: a notice a row keeps the view busy for seconds on a large highlighted range.
    const auto [first, last] = std::minmax_element(rows.begin(), rows.end());
    Q_EMIT dataChanged(index(*first, 0), index(*last, 0), {Qt::CheckStateRole});
}

void KeywordTable::Delete(int row) {
    CheckPosition(row, RowCount());
    beginRemoveRows({}, row, row);
    Release(slots_[static_cast<std::size_t>(row)]);
    slots_.erase(slots_.begin() + row);
    PositionsMoved();
    CompactIfWasteful();
    endRemoveRows();
}

void KeywordTable::DeleteAll() {
    if (slots_.empty())
        return;
    beginResetModel();
    slots_.clear();
    slots_.shrink_to_fit();
    text_.clear();
    text_.shrink_to_fit();
    garbage_ = 0;
    // The id counter goes on: a run started before still finds none of its rows.
    idsAscending_ = true;
    PositionsMoved();
    index_ = {};
    sparseIndex_ = {};
    endResetModel();
}

std::size_t KeywordTable::DeleteChecked() {
    std::vector<bool> marked(slots_.size());
    for (std::size_t r = 0; r < slots_.size(); ++r)
        marked[r] = slots_[r].Checked;
    return DeleteMarked(marked);
}

std::size_t KeywordTable::DeleteMarked(const std::vector<bool>& marked) {
    if (marked.size() != slots_.size())
        throw std::invalid_argument("KeywordTable::DeleteMarked: the marks do not cover every row");
    std::size_t at = 0;
    while (at < slots_.size() && !marked[at])
        ++at;
    if (at == slots_.size())
        return 0;
    // One reset for the whole batch: per-range signals would cost the view O(rows) each.
    beginResetModel();
    std::size_t kept = at;
    for (std::size_t r = at; r < slots_.size(); ++r) {
        if (marked[r])
            garbage_ += RowBytes(slots_[r]);
        else
            slots_[kept++] = slots_[r];
    }
    const std::size_t removed = slots_.size() - kept;
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(kept), slots_.end());
    PositionsMoved();
    if (slots_.empty()) {
        text_.clear();
        garbage_ = 0;
    }
    CompactIfWasteful();
    endResetModel();
    return removed;
}

void KeywordTable::Reorder(const std::vector<std::size_t>& order) {
    if (order.size() != slots_.size())
        throw std::invalid_argument("KeywordTable::Reorder: order does not cover every row");
    {
        std::vector<bool> seen(slots_.size());
        for (const std::size_t from : order) {
            if (from >= slots_.size() || seen[from])
                throw std::invalid_argument("KeywordTable::Reorder: order is not a permutation");
            seen[from] = true;
        }
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // Gathered into fresh slots: the old ones are read in random order, but the reads do not
    // wait on each other (following the permutation's cycles in place would chase one miss
    // after another). The text stays where it is.
    constexpr std::size_t ahead = 16;
    std::vector<RowSlot> slots;
    slots.reserve(slots_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + ahead < order.size())
            __builtin_prefetch(&slots_[order[i + ahead]]);
        slots.push_back(slots_[order[i]]);
    }
    slots_.swap(slots);
    PositionsMoved();
    // Sorting back by No puts the ids in order again, and Find needs no index.
    idsAscending_ = std::is_sorted(slots_.begin(), slots_.end(),
                                   [](const RowSlot& a, const RowSlot& b) { return a.Id < b.Id; });
    if (idsAscending_) {
        index_ = {};
        sparseIndex_ = {};
    }
    if (!before.isEmpty()) {
        std::vector<int> newPosition(slots_.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            newPosition[order[i]] = static_cast<int>(i);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& old : before)
            after.push_back(index(newPosition[static_cast<std::size_t>(old.row())], old.column()));
        changePersistentIndexList(before, after);
    }
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
    const RowSlot& row = slots_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return index.column() == 0 ? QString::number(row.Number) : ToQString(Cell(index.row(), index.column() - 1));
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
