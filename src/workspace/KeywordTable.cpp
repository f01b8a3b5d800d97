#include "workspace/KeywordTable.h"

#include "platform/HugePages.h"
#include "workspace/TableWork.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <thread>

namespace vorlith {

namespace {

[[noreturn]] void ThrowOutOfBounds(int row) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(row) + ")");
}

void CheckPosition(int row, int count) {
    if (row < 0 || row >= count)
        ThrowOutOfBounds(row);
}

// order[i] is the old position of the row going to position i: every row exactly once.
void CheckPermutation(const std::vector<std::size_t>& order, std::size_t rows) {
    if (order.size() != rows)
        throw std::invalid_argument("KeywordTable::Reorder: order does not cover every row");
    std::vector<bool> seen(rows);
    for (const std::size_t from : order) {
        if (from >= rows || seen[from])
            throw std::invalid_argument("KeywordTable::Reorder: order is not a permutation");
        seen[from] = true;
    }
}

// A large table's cycles are long and each step waits on memory: they are cut at every 4096th
// position into stretches that two threads walk at once, with the slots at the cuts held aside
// (a stretch ends by taking the next cut's slot as it was). Cycles without a cut are left to the
// caller's walk.
template <typename Slot> void ReorderStretches(std::vector<Slot>& slots, std::vector<std::uint32_t>& next) {
    constexpr std::size_t every = 4096;
    const std::size_t rows = next.size();
    std::vector<Slot> held;
    held.reserve(rows / every + 1);
    for (std::size_t cut = 0; cut < rows; cut += every)
        held.push_back(slots[cut]);
    const auto walk = [&](std::size_t firstCut) {
        for (std::size_t cut = firstCut * every; cut < rows; cut += 2 * every) {
            std::size_t to = cut;
            for (std::size_t from = next[to]; from % every != 0; to = from, from = next[to]) {
                slots[to] = slots[from];
                next[to] = static_cast<std::uint32_t>(to);
            }
            slots[to] = held[next[to] / every];
            next[to] = static_cast<std::uint32_t>(to);
        }
    };
    std::thread second(walk, 1);
    walk(0);
    second.join();
}

} // namespace

KeywordTable::KeywordTable(QObject* parent) : QObject(parent) {}

void KeywordTable::ThrowNoRow(int row) {
    ThrowOutOfBounds(row);
}

std::size_t KeywordTable::RowBytes(const RowSlot& slot) {
    std::size_t bytes = 0;
    for (const std::uint32_t length : slot.Length)
        bytes += length;
    return bytes;
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

// A new slot for the row's cells, their text at the end of the arena; the caller numbers it.
template <typename Slot, typename Texts> Slot& PutRow(std::vector<Slot>& slots, std::string& text, const Texts& cells) {
    Slot& slot = slots.emplace_back();
    slot.At = text.size();
    for (std::size_t c = 0; c < cells.size(); ++c) {
        slot.Length[c] = CellLength(cells[c].size());
        text.append(cells[c]);
    }
    return slot;
}

} // namespace

template <typename Texts> void KeywordTable::AppendRow(std::uint32_t number, const Texts& cells) {
    if (nextId_ == 0)
        throw std::length_error("The keyword table has given out every row id");
    RowSlot& slot = PutRow(slots_, text_, cells);
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
}

void KeywordTable::CheckWritable() {
    if (held_ > 0)
        throw std::logic_error("The table is busy with long work: wait for it to end, or press Esc to cancel it.");
    ++changes_;
}

void KeywordTable::Append(Cells cells) {
    CheckWritable();
    const int count = RowCount();
    AppendRow(static_cast<std::uint32_t>(count + 1), cells);
    NoteAppended(count);
    Q_EMIT RowsAppended(count, count);
}

void KeywordTable::AppendMany(std::vector<Cells> cells) {
    CheckWritable();
    if (cells.empty())
        return;
    const int count = RowCount();
    GrowSlots(slots_.size() + cells.size());
    for (const Cells& c : cells)
        AppendRow(static_cast<std::uint32_t>(slots_.size() + 1), c);
    NoteAppended(count);
    Q_EMIT RowsAppended(count, RowCount() - 1);
}

void KeywordTable::PreparedRows::Add(const Cells& cells) {
    PutRow(slots_, text_, cells);
}

void KeywordTable::PreparedRows::AddKeyword(std::string_view keyword) {
    PutRow(slots_, text_, std::array<std::string_view, 1>{keyword});
}

void KeywordTable::PreparedRows::LeaveRoom(std::size_t rows, std::size_t textBytes) {
    if (!slots_.empty() || !text_.empty())
        throw std::logic_error("KeywordTable::PreparedRows: room is left before the first row");
    slots_.resize(rows);
    text_.resize(textBytes);
    leadRows_ = rows;
    leadText_ = textBytes;
}

void KeywordTable::AppendPrepared(PreparedRows rows) {
    CheckWritable();
    const std::size_t count = rows.Count();
    if (count == 0)
        return;
    if (nextId_ == 0 || count > std::numeric_limits<RowId>::max() - nextId_ + std::size_t{1})
        throw std::length_error("The keyword table has given out every row id");
    const int before = RowCount();
    if (rows.leadRows_ == slots_.size() && rows.leadText_ == text_.size()) {
        std::copy(slots_.begin(), slots_.end(), rows.slots_.begin());
        std::copy(text_.begin(), text_.end(), rows.text_.begin());
        slots_.swap(rows.slots_);
        text_.swap(rows.text_);
    } else {
        // The table changed since the room was left: the rows go after it the usual way.
        const std::size_t base = text_.size();
        text_.append(rows.text_, rows.leadText_);
        GrowSlots(slots_.size() + count);
        for (std::size_t r = rows.leadRows_; r < rows.slots_.size(); ++r) {
            RowSlot slot = rows.slots_[r];
            slot.At = slot.At - rows.leadText_ + base;
            slots_.push_back(slot);
        }
    }
    for (std::size_t r = static_cast<std::size_t>(before); r < slots_.size(); ++r) {
        slots_[r].Number = static_cast<std::uint32_t>(r + 1);
        slots_[r].Id = nextId_++;
    }
    // New ids are the highest: only an index by id built since a reorder needs them.
    if (!idsAscending_)
        indexStale_ = true;
    NoteAppended(before);
    Q_EMIT RowsAppended(before, RowCount() - 1);
}

void KeywordTable::AppendKeywords(const std::vector<std::string_view>& keywords) {
    CheckWritable();
    if (keywords.empty())
        return;
    const int count = RowCount();
    GrowSlots(slots_.size() + keywords.size());
    std::size_t bytes = text_.size();
    for (const std::string_view keyword : keywords)
        bytes += keyword.size();
    if (bytes > text_.capacity())
        ReserveInHugePages(text_, std::max(bytes, text_.capacity() + text_.capacity() / 2));
    for (const std::string_view keyword : keywords)
        AppendRow(static_cast<std::uint32_t>(slots_.size() + 1), std::array<std::string_view, 1>{keyword});
    NoteAppended(count);
    Q_EMIT RowsAppended(count, RowCount() - 1);
}

void KeywordTable::AppendKeywordPieces(std::size_t rowsAtMost, std::size_t bytesAtMost,
                                       const std::function<bool(std::vector<std::string_view>&)>& next) {
    CheckWritable();
    const int count = RowCount();
    const std::size_t textBefore = text_.size();
    // Room untouched is never paged in, so a generous bound costs no memory.
    if (slots_.size() + rowsAtMost > slots_.capacity())
        ReserveInHugePages(slots_, slots_.size() + rowsAtMost);
    if (textBefore + bytesAtMost > text_.capacity())
        ReserveInHugePages(text_, textBefore + bytesAtMost);
    std::vector<std::string_view> lines;
    try {
        for (bool more = true; more;) {
            lines.clear();
            more = next(lines);
            for (const std::string_view keyword : lines)
                AppendRow(static_cast<std::uint32_t>(slots_.size() + 1), std::array<std::string_view, 1>{keyword});
        }
    } catch (...) {
        slots_.resize(static_cast<std::size_t>(count));
        text_.resize(textBefore);
        PositionsMoved();
        throw;
    }
    if (RowCount() == count)
        return;
    NoteAppended(count);
    Q_EMIT RowsAppended(count, RowCount() - 1);
}

void KeywordTable::AppendKeyword(std::string keyword) {
    CheckWritable();
    Cells cells;
    cells[0] = std::move(keyword);
    Append(std::move(cells));
}

void KeywordTable::NoteAppended(int firstRow) {
    if (Journaling())
        journal_->RowsAdded(slots_[static_cast<std::size_t>(firstRow)].Id, slots_.back().Id);
}

void KeywordTable::SetCell(int row, int cell, std::string text) {
    CheckWritable();
    CheckPosition(row, RowCount());
    if (Journaling())
        journal_->CellWriting(Id(row), cell, Cell(row, cell), FailureMark(row, cell));
    WriteCell(row, cell, text);
    Q_EMIT CellsChanged(row, row, cell + 1, cell + 1, CellChange::Values);
}

void KeywordTable::RestoreCell(int row, int cell, std::string text, std::uint8_t mark) {
    CheckWritable();
    CheckPosition(row, RowCount());
    WriteCell(row, cell, text);
    if (mark <= reasons_.size())
        slots_[static_cast<std::size_t>(row)].Failure.at(static_cast<std::size_t>(cell)) = mark;
    Q_EMIT CellsChanged(row, row, cell + 1, cell + 1, CellChange::Values);
}

void KeywordTable::WriteCell(int row, int cell, const std::string& text) {
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
    Compact();
}

void KeywordTable::Compact() {
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
    CheckWritable();
    CheckPosition(row, RowCount());
    if (Journaling())
        journal_->CellWriting(Id(row), cell, Cell(row, cell), FailureMark(row, cell));
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
    Q_EMIT CellsChanged(row, row, cell + 1, cell + 1, CellChange::FailureMarks);
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
    CheckWritable();
    CheckPosition(row, RowCount());
    slots_[static_cast<std::size_t>(row)].Checked = checked;
    Q_EMIT CellsChanged(row, row, 0, 0, CellChange::Ticks);
}

void KeywordTable::SetAllChecked(bool checked) {
    CheckWritable();
    if (slots_.empty())
        return;
    for (RowSlot& slot : slots_)
        slot.Checked = checked;
    Q_EMIT CellsChanged(0, RowCount() - 1, 0, 0, CellChange::Ticks);
}

void KeywordTable::SetCheckedRows(const std::vector<int>& rows, bool checked) {
    CheckWritable();
    if (rows.empty())
        return;
    for (const int row : rows)
        CheckPosition(row, RowCount());
    for (const int row : rows)
        slots_[static_cast<std::size_t>(row)].Checked = checked;
    // One notice: a notice a row keeps the view busy for seconds on a large highlighted range.
    const auto [first, last] = std::minmax_element(rows.begin(), rows.end());
    Q_EMIT CellsChanged(*first, *last, 0, 0, CellChange::Ticks);
}

void KeywordTable::Delete(int row) {
    CheckWritable();
    CheckPosition(row, RowCount());
    if (Journaling()) {
        std::vector<bool> marked(slots_.size());
        marked[static_cast<std::size_t>(row)] = true;
        HandOver(marked);
        return;
    }
    Q_EMIT RowsAboutToBeRemoved(row, row);
    Release(slots_[static_cast<std::size_t>(row)]);
    slots_.erase(slots_.begin() + row);
    PositionsMoved();
    CompactIfWasteful();
    Q_EMIT RowsRemoved(row, row);
}

void KeywordTable::DeleteAll() {
    CheckWritable();
    if (slots_.empty())
        return;
    if (Journaling()) {
        HandOver(std::vector<bool>(slots_.size(), true));
        return;
    }
    const int before = RowCount();
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
    Q_EMIT TableReset(before);
}

std::size_t KeywordTable::DeleteChecked() {
    CheckWritable();
    std::vector<bool> marked(slots_.size());
    for (std::size_t r = 0; r < slots_.size(); ++r)
        marked[r] = slots_[r].Checked;
    return DeleteMarked(marked);
}

std::size_t KeywordTable::DeleteMarked(const std::vector<bool>& marked) {
    CheckWritable();
    if (marked.size() != slots_.size())
        throw std::invalid_argument("KeywordTable::DeleteMarked: the marks do not cover every row");
    if (Journaling())
        return HandOver(marked);
    std::size_t at = 0;
    while (at < slots_.size() && !marked[at])
        ++at;
    if (at == slots_.size())
        return 0;
    const int before = RowCount();
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
    // One reset for the whole batch: a notice a removed span would cost the view O(rows) each.
    Q_EMIT TableReset(before);
    return removed;
}

void KeywordTable::Reorder(const std::vector<std::size_t>& order) {
    CheckPermutation(order, slots_.size());
    CheckWritable();
    // Each cycle of the permutation in place: every slot moves once, and no second copy of the
    // slots is held (PrepareReorder's copy is for the window, which must not wait on the moves).
    // The walk along a cycle waits on each next position, so the positions are read from a
    // copy half the size, marked done by pointing at themselves.
    std::vector<std::uint32_t> next(order.begin(), order.end());
    if (next.size() >= 100'000 && std::thread::hardware_concurrency() > 1)
        ReorderStretches(slots_, next);
    for (std::size_t start = 0; start < next.size(); ++start) {
        if (next[start] == start)
            continue;
        const RowSlot first = slots_[start];
        std::size_t to = start;
        for (std::size_t from = next[to]; from != start; to = from, from = next[to]) {
            slots_[to] = slots_[from];
            next[to] = static_cast<std::uint32_t>(to);
        }
        slots_[to] = first;
        next[to] = static_cast<std::uint32_t>(to);
    }
    Reordered(order);
}

void KeywordTable::Reordered(const std::vector<std::size_t>& order) {
    RowsMoved();
    Q_EMIT RowsReordered(order);
}

void KeywordTable::RowsMoved() {
    PositionsMoved();
    // Sorting back by No puts the ids in order again, and Find needs no index.
    idsAscending_ = std::is_sorted(slots_.begin(), slots_.end(),
                                   [](const RowSlot& a, const RowSlot& b) { return a.Id < b.Id; });
    if (idsAscending_) {
        index_ = {};
        sparseIndex_ = {};
    }
}

// Grown geometrically so that many small appends (a harvest's rounds, small imports) stay
// linear instead of moving every slot to fresh memory each time; one big one is sized exactly.
void KeywordTable::GrowSlots(std::size_t needed) {
    if (needed > slots_.capacity())
        ReserveInHugePages(slots_, std::max(needed, slots_.capacity() + slots_.capacity() / 2));
}

KeywordTable::PreparedOrder KeywordTable::PrepareReorder(std::vector<std::size_t> order,
                                                         const std::atomic<bool>* stop) const {
    CheckPermutation(order, slots_.size());
    // Gathered into fresh slots: the old ones are read in random order, but the reads do not
    // wait on each other (following the permutation's cycles in place would chase one miss
    // after another). The text stays where it is.
    constexpr std::size_t ahead = 16;
    PreparedOrder prepared;
    std::vector<RowSlot>& slots = prepared.slots_;
    ReserveInHugePages(slots, slots_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i % 65536 == 0)
            StopIfAsked(stop);
        if (i + ahead < order.size())
            __builtin_prefetch(&slots_[order[i + ahead]]);
        slots.push_back(slots_[order[i]]);
    }
    prepared.order_ = std::move(order);
    prepared.changes_ = changes_;
    return prepared;
}

void KeywordTable::Reorder(PreparedOrder prepared) {
    // Any change since the slots were gathered would be lost with the old slots.
    if (prepared.changes_ != changes_ || prepared.slots_.size() != slots_.size())
        throw std::invalid_argument("KeywordTable::Reorder: the rows changed since the order was made");
    CheckWritable();
    slots_.swap(prepared.slots_);
    Reordered(prepared.order_);
}

std::size_t KeywordTable::HandOver(const std::vector<bool>& marked) {
    RowBlock rows = TakeMarked(marked);
    const std::size_t count = rows.Count();
    if (count != 0)
        journal_->RowsTaken(std::move(rows));
    return count;
}

RowBlock KeywordTable::TakeMarked(const std::vector<bool>& marked) {
    if (marked.size() != slots_.size())
        throw std::invalid_argument("KeywordTable::TakeMarked: the marks do not cover every row");
    const auto count = static_cast<std::size_t>(std::count(marked.begin(), marked.end(), true));
    RowBlock rows;
    if (count == 0)
        return rows;
    const int before = RowCount();
    if (count == slots_.size()) {
        // The whole table moves over as it is, so that Delete All and its undo take no time.
        if (garbage_ * 8 > text_.size())
            Compact();
        rows.slots_ = std::move(slots_);
        rows.text_ = std::move(text_);
        slots_ = {};
        text_ = {};
        garbage_ = 0;
        idsAscending_ = true;
        index_ = {};
        sparseIndex_ = {};
    } else {
        rows.slots_.reserve(count);
        rows.positions_.reserve(count);
        std::size_t bytes = 0;
        for (std::size_t r = 0; r < slots_.size(); ++r)
            bytes += marked[r] ? RowBytes(slots_[r]) : 0;
        rows.text_.reserve(bytes);
        std::size_t kept = 0;
        for (std::size_t r = 0; r < slots_.size(); ++r) {
            if (!marked[r]) {
                slots_[kept++] = slots_[r];
                continue;
            }
            RowSlot slot = slots_[r];
            const std::size_t size = RowBytes(slot);
            const std::size_t at = rows.text_.size();
            rows.text_.append(text_, slot.At, size);
            garbage_ += size;
            slot.At = at;
            rows.slots_.push_back(slot);
            rows.positions_.push_back(static_cast<std::uint32_t>(r));
        }
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(kept), slots_.end());
        CompactIfWasteful();
    }
    PositionsMoved();
    Q_EMIT TableReset(before);
    return rows;
}

void KeywordTable::PutBack(RowBlock rows) {
    CheckWritable();
    if (rows.slots_.empty())
        return;
    const int before = RowCount();
    bool tail = true; // every row goes after the rows there now
    if (slots_.empty() && rows.positions_.empty()) {
        slots_ = std::move(rows.slots_);
        text_ = std::move(rows.text_);
        garbage_ = 0;
    } else {
        const std::size_t base = text_.size();
        text_.append(rows.text_);
        // Merged in place from the back: fresh memory for a million slots costs far more than
        // the merge, most of it in page faults. Each row goes back to its old position, or as
        // near as the rows left allow: block row b goes to min(its position, b + rows there).
        const std::size_t there = slots_.size();
        const std::size_t count = rows.slots_.size();
        const auto target = [&](std::size_t b) {
            return std::min<std::size_t>(rows.positions_.empty() ? b : rows.positions_[b], b + there);
        };
        tail = target(0) == there;
        slots_.resize(there + count);
        std::size_t t = there, b = count;
        for (std::size_t w = there + count; w-- > 0 && b > 0;) {
            if (target(b - 1) == w) {
                RowSlot slot = rows.slots_[--b];
                slot.At = slot.At + base;
                slots_[w] = slot;
            } else {
                slots_[w] = slots_[--t];
            }
        }
    }
    RowsMoved();
    if (tail)
        Q_EMIT RowsAppended(before, RowCount() - 1);
    else
        Q_EMIT TableReset(before);
}

RowBlock KeywordTable::Copy() const {
    RowBlock rows;
    rows.slots_ = slots_;
    rows.text_ = text_;
    return rows;
}

std::vector<RowId> RowBlock::Ids() const {
    std::vector<RowId> ids;
    ids.reserve(slots_.size());
    for (const KeywordTable::RowSlot& slot : slots_)
        ids.push_back(slot.Id);
    return ids;
}

} // namespace vorlith
