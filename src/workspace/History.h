#pragma once
// The undo history of the keyword table. Commands and runs open a step; while one is open the
// table tells the history what it changes (rows in, rows out, cells written) and hands the rows
// it removes over whole, so that a step keeps only what it took and undoing it moves them back.
// The window mirrors every recorded step in its QUndoStack; the rules live here.

#include "workspace/KeywordTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vorlith {

class TableHistory : public TableJournal {
public:
    explicit TableHistory(KeywordTable& table);
    ~TableHistory() override;
    TableHistory(const TableHistory&) = delete;
    TableHistory& operator=(const TableHistory&) = delete;

    // A command's changes, one undo step named as the Edit entries show it. Steps do not nest:
    // an inner one joins the outer. A run's step stays open across the run; a command's step
    // taken meanwhile splits it, so that the order of the history is the order of the changes.
    class Step {
    public:
        Step(TableHistory& history, std::string label, bool run = false);
        Step(Step&& other) noexcept : history_(std::exchange(other.history_, nullptr)), run_(other.run_) {}
        Step& operator=(Step&&) = delete;
        ~Step();

    private:
        TableHistory* history_;
        bool run_;
    };
    [[nodiscard]] Step Command(std::string label) { return Step(*this, std::move(label)); }
    [[nodiscard]] Step Run(std::string label) { return Step(*this, std::move(label), true); }

    bool CanUndo() const { return done_ > 0 && !Open(); }
    bool CanRedo() const { return done_ < steps_.size() && !Open(); }
    const std::string& UndoLabel() const;
    const std::string& RedoLabel() const;
    // False when there was nothing to undo or redo, or a step is still open.
    bool Undo();
    bool Redo();
    std::size_t Count() const { return steps_.size(); }
    // Bytes the history holds: the rows and cell values it keeps for undo or redo.
    std::size_t Bytes() const;

    // Told of every step recorded, with its label; a recorded step drops the steps undone before.
    std::function<void(const std::string&)> OnRecorded;

    // TableJournal
    bool Recording() const override { return !replaying_ && Open(); }
    void RowsAdded(RowId first, RowId last) override;
    void RowsTaken(RowBlock rows) override;
    void CellWriting(RowId id, int cell, std::string_view before, std::uint8_t beforeMark) override;

private:
    // Rows that one change added or removed; undo and redo each flip them between the table
    // and the block. While in the table they are known by their ids, as ranges.
    struct RowsChange {
        bool InTable = false;
        std::vector<std::pair<RowId, RowId>> Ranges;
        RowBlock Block;
    };
    struct CellChange {
        RowId Id = 0;
        std::uint8_t Cell = 0;
        std::uint8_t BeforeMark = 0;
        std::uint8_t AfterMark = 0;
        bool Seen = false; // After is known
        std::string Before;
        std::string After;
    };
    using Change = std::variant<RowsChange, CellChange>;
    struct Entry {
        std::string Label;
        std::vector<Change> Changes;
    };

    bool Open() const { return commandDepth_ > 0 || run_ != nullptr; }
    Entry* Current() { return commandDepth_ > 0 ? &command_ : run_.get(); }
    void Push(Entry entry);
    void FlushRun();
    void Flip(RowsChange& change);
    void Apply(const CellChange& change, bool after);
    void Replay(Entry& entry, bool undo);

    KeywordTable& table_;
    std::vector<Entry> steps_;
    std::size_t done_ = 0;
    int commandDepth_ = 0;
    Entry command_;
    std::unique_ptr<Entry> run_;
    bool replaying_ = false;
};

} // namespace vorlith
