#pragma once
// The keyword table, the only store of keywords and figures. Rows are addressed by
// their position in the current display order, and by an id that survives sorting and the
// deletion of other rows, for work that outlives a change of order (a run writing its counts).
//
// A million-row list must stay small and quick to sort: the text of every cell lives in one
// arena per table, a row's five cells side by side, and a row is a fixed 40-byte slot holding
// where its text starts and how long each cell is. Sorting moves slots, never text.
//
// The table holds values and states only; how the window shows them is gui/KeywordModel's
// business. Listeners learn of every change from the notices below, one notice a change however
// many rows it spans.

#include <QObject>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlith {

enum class Column { No = 0, Keywords, Searches, Google, Yahoo, Msn };
inline constexpr int ColumnCount = 6;
inline constexpr int CellCount = 5; // Keywords, Searches, Google, Yahoo, Msn

// Index of the cell that a column shows; the No column shows the caption instead.
constexpr int CellOf(Column column) {
    return static_cast<int>(column) - 1;
}

struct ColumnInfo {
    const char* Header;
    int Width; // pixels, as the window opens
};
inline constexpr std::array<ColumnInfo, ColumnCount> Columns{{
    {"No", 49},
    {"Keywords", 132},
    {"Searches", 132},
    {"Google", 104},
    {"Yahoo", 104},
    {"Msn", 104},
}};

using Cells = std::array<std::string, CellCount>;

// A row's identity: given when the row is appended, never reused in the table's life; 0 is no row.
using RowId = std::uint32_t;

// A row as plain values: a copy, for callers and checks that want a whole row at once.
struct KeywordRow {
    std::string Caption; // the row's number, fixed when it was appended
    Cells Cell;
    bool Checked = false;
    // Per cell: 0, or 1 + the index of the reason its last lookup failed (see FailureReason).
    std::array<std::uint8_t, CellCount> Failure{};
};

class RowBlock;

// Hears of the table's changes while it records (the undo history); the table then hands the rows
// it removes over instead of dropping them.
class TableJournal {
public:
    virtual ~TableJournal() = default;
    virtual bool Recording() const = 0;
    virtual void RowsAdded(RowId first, RowId last) = 0;
    virtual void RowsTaken(RowBlock rows) = 0;
    // Before the cell is written or marked: its value and failure mark until now.
    virtual void CellWriting(RowId id, int cell, std::string_view before, std::uint8_t beforeMark) = 0;
};

class KeywordTable : public QObject {
    Q_OBJECT
public:
    // What a CellsChanged notice rewrote: values (which also clears their failure marks), or
    // only the ticks (column No) or the failure marks.
    enum class CellChange { Values, Ticks, FailureMarks };
    Q_ENUM(CellChange)

    explicit KeywordTable(QObject* parent = nullptr);

    int RowCount() const { return static_cast<int>(slots_.size()); }
    // Work that reads the rows on a worker holds the table: until it lets go, whatever would change
    // the rows, their text or their ticks throws std::logic_error.
    void Hold() { ++held_; }
    void LetGo() { --held_; }
    bool Held() const { return held_ > 0; }
    // Copies of rows; for whole-table work read Cell() row by row instead.
    KeywordRow Row(int row) const;
    std::vector<KeywordRow> Rows() const;

    // Appends a row numbered with the row count before the addition, plus one.
    void Append(Cells cells);
    // Appends many rows with one notification; each is numbered as if appended alone.
    void AppendMany(std::vector<Cells> cells);
    // Convenience for the commands that add a keyword with four empty figures.
    void AppendKeyword(std::string keyword);
    // Appends one row per keyword (four empty figures each) with one notification.
    void AppendKeywords(const std::vector<std::string_view>& keywords);
    // AppendKeywords for a list given piece by piece: next(lines) fills lines with the next piece
    // and returns false after the last. At most rowsAtMost rows and bytesAtMost bytes are held room
    // for. One notice and one journal entry for them all; when next throws, no row is added.
    void AppendKeywordPieces(std::size_t rowsAtMost, std::size_t bytesAtMost,
                             const std::function<bool(std::vector<std::string_view>&)>& next);

    // The row's number, fixed when it was appended, and the same as text.
    std::uint32_t Number(int row) const { return Slot(row).Number; }
    std::string Caption(int row) const { return std::to_string(Number(row)); }
    RowId Id(int row) const { return Slot(row).Id; }
    // The row's current position, or -1 once it is gone (or for an id never given).
    int Find(RowId id) const;
    // The view is good until the table next changes.
    std::string_view Cell(int row, int cell) const;
    // Writes a cell; a written cell is no longer marked failed.
    void SetCell(int row, int cell, std::string text);

    // A lookup for the cell failed: it keeps its value and carries the reason until it is written.
    void MarkFailed(int row, int cell, std::string_view reason);
    bool Failed(int row, int cell) const { return Slot(row).Failure.at(static_cast<std::size_t>(cell)) != 0; }
    // Empty when the cell is not marked failed.
    std::string_view FailureReason(int row, int cell) const;
    // Cells marked failed in the whole table.
    std::size_t FailedCount() const;
    // The cell's failure mark as FailureReason keeps it (0 none), and a write that sets both back.
    std::uint8_t FailureMark(int row, int cell) const {
        return Slot(row).Failure.at(static_cast<std::size_t>(cell));
    }
    void RestoreCell(int row, int cell, std::string text, std::uint8_t mark);

    // Rows taken out with their ids, numbers, ticks and text, and put back where they were.
    // Neither goes to the journal: they are how the history replays.
    RowBlock TakeMarked(const std::vector<bool>& marked);
    void PutBack(RowBlock rows);
    void SetJournal(TableJournal* journal) { journal_ = journal; }
    // A copy of every row in display order, for work on another thread while the table goes on.
    RowBlock Copy() const;

    bool Checked(int row) const { return Slot(row).Checked; }
    void SetChecked(int row, bool checked);
    void SetAllChecked(bool checked);
    // Ticks or unticks the rows at the given positions with one change notice for the span.
    void SetCheckedRows(const std::vector<int>& rows, bool checked);

    void Delete(int row);
    void DeleteAll();
    // Removes every ticked row, in one pass and with one notification; returns how many.
    std::size_t DeleteChecked();

    // Removes the rows at the positions marked true (marked covers every row); returns how many.
    std::size_t DeleteMarked(const std::vector<bool>& marked);

    // Reorders the rows: order[i] is the old position of the row that goes to position i.
    // order must be a permutation of 0..RowCount()-1.
    void Reorder(const std::vector<std::size_t>& order);
    // A reorder in two halves: the first only reads the table (a worker may make it while the table
    // is held), so that where the table lives the rows move by a swap. Gathering a million slots
    // into fresh memory costs far more than the swap, most of it in page faults.
    // A raised stop ends it early with WorkStopped (workspace/TableWork.h).
    class PreparedOrder;
    PreparedOrder PrepareReorder(std::vector<std::size_t> order,
                                 const std::atomic<bool>* stop = nullptr) const;
    // Throws std::invalid_argument when the table's rows changed since it was prepared.
    void Reorder(PreparedOrder prepared);
    // Rows made ready away from the table (a worker parsing a file), appended later in one go:
    // numbered, given ids and told as AppendMany would, at a fraction of its cost.
    class PreparedRows;
    void AppendPrepared(PreparedRows rows);
    // The text bytes PreparedRows::LeaveRoom wants.
    std::size_t ArenaUsed() const { return text_.size(); }

    // Bytes of cell text kept for the rows, and bytes the arena holds in all (text and holes).
    std::size_t TextBytes() const { return text_.size() - garbage_; }
    std::size_t ArenaBytes() const { return text_.capacity(); }

    // Each is sent once the change is made, but for RowsAboutToBeRemoved.
Q_SIGNALS:
    // Rows first..last were appended.
    void RowsAppended(int first, int last);
    // Rows first..last are about to go, and may still be read: a view drops them in two steps.
    void RowsAboutToBeRemoved(int first, int last);
    // Rows first..last (positions before the removal) were removed; the rows after moved up.
    void RowsRemoved(int first, int last);
    // The cells of rows first..last, columns firstColumn..lastColumn (numbered as Column) changed.
    void CellsChanged(int first, int last, int firstColumn, int lastColumn,
                      vorlith::KeywordTable::CellChange change);
    // The rows moved: order[i] is the old position of the row now at i.
    void RowsReordered(const std::vector<std::size_t>& order);
    // Rows went in bulk (Delete All, a batch of marked rows): read the table afresh.
    void TableReset(int rowsBefore);

private:
    // An arena offset in six bytes (256 TiB), so that the id fits in the slot's old 40 bytes.
    struct Offset48 {
        std::uint16_t Part[3]{};
        operator std::uint64_t() const {
            return Part[0] | std::uint64_t{Part[1]} << 16 | std::uint64_t{Part[2]} << 32;
        }
        Offset48& operator=(std::uint64_t at) {
            if (at >> 48)
                throw std::length_error("The keyword table's text would pass 256 TiB");
            Part[0] = static_cast<std::uint16_t>(at);
            Part[1] = static_cast<std::uint16_t>(at >> 16);
            Part[2] = static_cast<std::uint16_t>(at >> 32);
            return *this;
        }
    };
    struct RowSlot {
        std::array<std::uint32_t, CellCount> Length{};
        std::uint32_t Number = 0;
        RowId Id = 0;
        Offset48 At; // the first byte of the row's cells in text_
        std::array<std::uint8_t, CellCount> Failure{};
        bool Checked = false;
    };
    static_assert(sizeof(RowSlot) == 40, "a row slot is meant to stay 40 bytes");

public:
    class PreparedOrder {
        friend class KeywordTable;
        std::vector<std::size_t> order_;
        std::vector<RowSlot> slots_;
        std::uint64_t changes_ = 0;
    };
    class PreparedRows {
    public:
        // Room at the front for the table's rows and text as they are now, made (and touched) by
        // whoever prepares the rows: the append then copies into memory already in use, where
        // growing the table's own would cost a page fault every 4 KiB.
        void LeaveRoom(std::size_t rows, std::size_t textBytes);
        void Add(const Cells& cells);
        void AddKeyword(std::string_view keyword); // four empty figures
        std::size_t Count() const { return slots_.size() - leadRows_; }

    private:
        friend class KeywordTable;
        std::vector<RowSlot> slots_;
        std::string text_;
        std::size_t leadRows_ = 0;
        std::size_t leadText_ = 0;
    };

private:

    void CheckWritable();
    int held_ = 0;
    std::uint64_t changes_ = 0; // counts what CheckWritable let through
    // Inline: sorts and saves read cells a million at a time.
    const RowSlot& Slot(int row) const {
        if (row < 0 || row >= RowCount())
            ThrowNoRow(row);
        return slots_[static_cast<std::size_t>(row)];
    }
    [[noreturn]] static void ThrowNoRow(int row);
    static std::size_t RowBytes(const RowSlot& slot);
    static std::size_t CellStart(const RowSlot& slot, int cell) {
        std::size_t at = slot.At;
        for (int c = 0; c < cell; ++c)
            at += slot.Length[static_cast<std::size_t>(c)];
        return at;
    }
    template <typename Texts> void AppendRow(std::uint32_t number, const Texts& cells);
    // The row's text is no longer kept: its bytes become a hole, or are cut off at the end.
    void Release(const RowSlot& slot);
    // Copies the kept text into a fresh arena once holes outweigh it.
    void CompactIfWasteful();
    void Compact();
    // SetCell without its notice and journal entry.
    void WriteCell(int row, int cell, const std::string& text);
    // Positions moved: Find's index is rebuilt when next asked.
    void PositionsMoved() { indexStale_ = true; }
    // After the slots took a new order: the index, and the notice.
    void Reordered(const std::vector<std::size_t>& order);
    // After slots moved: Find's index is stale, or not needed when the ids are in order.
    void RowsMoved();
    void GrowSlots(std::size_t needed);
    void RebuildIndex() const;
    bool Journaling() const { return journal_ != nullptr && journal_->Recording(); }
    void NoteAppended(int firstRow);
    // A removal while journaling: the rows go to the journal whole.
    std::size_t HandOver(const std::vector<bool>& marked);
    friend class RowBlock;

    std::vector<RowSlot> slots_;
    std::string text_;
    std::size_t garbage_ = 0; // bytes of text_ no row points at
    // The few distinct failure reasons, shared by every marked cell.
    std::vector<std::string> reasons_;

    RowId nextId_ = 1;
    // Ids ascend with position until a reorder; then Find looks them up in an index by id,
    // direct (id - indexBase_ -> position) while ids are dense, sorted pairs once they are sparse.
    // Find is const but builds the index: not for use from two threads at once.
    bool idsAscending_ = true;
    mutable bool indexStale_ = true;
    mutable RowId indexBase_ = 0;
    mutable std::vector<int> index_;
    mutable std::vector<std::pair<RowId, int>> sparseIndex_;
    TableJournal* journal_ = nullptr;
};

// Rows out of the table: their slots and only their text, so that keeping them costs what they
// held in the table. Move-only.
class RowBlock {
public:
    RowBlock() = default;
    RowBlock(RowBlock&&) noexcept = default;
    RowBlock& operator=(RowBlock&&) noexcept = default;
    std::size_t Count() const { return slots_.size(); }
    std::size_t Bytes() const {
        return slots_.capacity() * sizeof(KeywordTable::RowSlot) + text_.capacity() +
               positions_.capacity() * sizeof(std::uint32_t);
    }
    // The ids of the rows, in their old order.
    std::vector<RowId> Ids() const;
    // The rows' numbers and cells, as the table had them.
    std::uint32_t Number(std::size_t row) const { return slots_[row].Number; }
    std::string_view Cell(std::size_t row, int cell) const {
        const KeywordTable::RowSlot& slot = slots_[row];
        return {text_.data() + KeywordTable::CellStart(slot, cell),
                slot.Length[static_cast<std::size_t>(cell)]};
    }

private:
    friend class KeywordTable;
    std::vector<KeywordTable::RowSlot> slots_;
    std::string text_;
    // Each row's position before it was taken, ascending; empty when the block was the whole table.
    std::vector<std::uint32_t> positions_;
};

inline std::string_view KeywordTable::Cell(int row, int cell) const {
    const RowSlot& slot = Slot(row);
    const std::uint32_t length = slot.Length.at(static_cast<std::size_t>(cell));
    return {text_.data() + CellStart(slot, cell), length};
}

} // namespace vorlith
