#include "workspace/History.h"

namespace vorlith {

namespace {

const std::string NoLabel;

std::vector<std::pair<RowId, RowId>> IdRanges(const std::vector<RowId>& ids) {
    std::vector<std::pair<RowId, RowId>> ranges;
    for (const RowId id : ids) {
        if (!ranges.empty() && ranges.back().second + 1 == id)
            ranges.back().second = id;
        else
            ranges.emplace_back(id, id);
    }
    return ranges;
}

} // namespace

TableHistory::TableHistory(KeywordTable& table) : table_(table) {
    table_.SetJournal(this);
}

TableHistory::~TableHistory() {
    table_.SetJournal(nullptr);
}

TableHistory::Step::Step(TableHistory& history, std::string label, bool run) : history_(&history), run_(run) {
    if (run) {
        history.FlushRun();
        history.run_ = std::make_unique<Entry>(Entry{std::move(label), {}});
        return;
    }
    if (history.commandDepth_++ > 0)
        return;
    // A run's changes so far come before the command's.
    history.FlushRun();
    history.command_ = Entry{std::move(label), {}};
}

TableHistory::Step::~Step() {
    if (history_ == nullptr)
        return;
    if (run_) {
        history_->FlushRun();
        history_->run_.reset();
    } else if (--history_->commandDepth_ == 0 && !history_->command_.Changes.empty()) {
        history_->Push(std::move(history_->command_));
        history_->command_ = {};
    }
}

void TableHistory::FlushRun() {
    if (!run_ || run_->Changes.empty())
        return;
    Entry done{run_->Label, std::move(run_->Changes)};
    run_->Changes.clear();
    Push(std::move(done));
}

void TableHistory::Push(Entry entry) {
    // What the cells hold now is what redo writes again.
    for (Change& change : entry.Changes) {
        if (auto* cell = std::get_if<CellChange>(&change)) {
            const int row = table_.Find(cell->Id);
            if (row < 0)
                continue;
            cell->After = std::string(table_.Cell(row, cell->Cell));
            cell->AfterMark = table_.FailureMark(row, cell->Cell);
            cell->Seen = true;
        }
    }
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    steps_.push_back(std::move(entry));
    done_ = steps_.size();
    if (OnRecorded)
        OnRecorded(steps_.back().Label);
}

void TableHistory::RowsAdded(RowId first, RowId last) {
    Entry* entry = Current();
    if (!entry->Changes.empty()) {
        // A harvest adds its rows one by one: one range for them all.
        auto* rows = std::get_if<RowsChange>(&entry->Changes.back());
        if (rows != nullptr && rows->InTable && rows->Ranges.back().second + 1 == first) {
            rows->Ranges.back().second = last;
            return;
        }
    }
    RowsChange added;
    added.InTable = true;
    added.Ranges.emplace_back(first, last);
    entry->Changes.emplace_back(std::move(added));
}

void TableHistory::RowsTaken(RowBlock rows) {
    RowsChange taken;
    taken.Block = std::move(rows);
    Current()->Changes.emplace_back(std::move(taken));
}

void TableHistory::CellWriting(RowId id, int cell, std::string_view before, std::uint8_t beforeMark) {
    CellChange change;
    change.Id = id;
    change.Cell = static_cast<std::uint8_t>(cell);
    change.Before = std::string(before);
    change.BeforeMark = beforeMark;
    Current()->Changes.emplace_back(std::move(change));
}

void TableHistory::Flip(RowsChange& change) {
    if (change.InTable) {
        std::vector<bool> marked(static_cast<std::size_t>(table_.RowCount()));
        for (const auto& [first, last] : change.Ranges)
            for (RowId id = first;; ++id) {
                const int row = table_.Find(id);
                if (row >= 0)
                    marked[static_cast<std::size_t>(row)] = true;
                if (id == last)
                    break;
            }
        change.Block = table_.TakeMarked(marked);
        change.Ranges = {};
        change.InTable = false;
    } else {
        change.Ranges = IdRanges(change.Block.Ids());
        table_.PutBack(std::move(change.Block));
        change.Block = {};
        change.InTable = true;
    }
}

void TableHistory::Apply(const CellChange& change, bool after) {
    const int row = table_.Find(change.Id);
    if (row < 0 || (after && !change.Seen))
        return;
    table_.RestoreCell(row, change.Cell, after ? change.After : change.Before,
                       after ? change.AfterMark : change.BeforeMark);
}

void TableHistory::Replay(Entry& entry, bool undo) {
    struct Replaying {
        bool& flag;
        explicit Replaying(bool& f) : flag(f) { flag = true; }
        ~Replaying() { flag = false; }
    } replaying(replaying_);
    const auto one = [&](Change& change) {
        if (auto* rows = std::get_if<RowsChange>(&change))
            Flip(*rows);
        else
            Apply(std::get<CellChange>(change), !undo);
    };
    if (undo)
        for (auto change = entry.Changes.rbegin(); change != entry.Changes.rend(); ++change)
            one(*change);
    else
        for (Change& change : entry.Changes)
            one(change);
}

bool TableHistory::Undo() {
    if (!CanUndo())
        return false;
    Replay(steps_[--done_], true);
    return true;
}

bool TableHistory::Redo() {
    if (!CanRedo())
        return false;
    Replay(steps_[done_++], false);
    return true;
}

const std::string& TableHistory::UndoLabel() const {
    return done_ > 0 ? steps_[done_ - 1].Label : NoLabel;
}

const std::string& TableHistory::RedoLabel() const {
    return done_ < steps_.size() ? steps_[done_].Label : NoLabel;
}

std::size_t TableHistory::Bytes() const {
    std::size_t bytes = steps_.capacity() * sizeof(Entry);
    for (const Entry& entry : steps_) {
        bytes += entry.Changes.capacity() * sizeof(Change);
        for (const Change& change : entry.Changes) {
            if (const auto* rows = std::get_if<RowsChange>(&change))
                bytes += rows->Block.Bytes() + rows->Ranges.capacity() * sizeof(rows->Ranges[0]);
            else
                bytes += std::get<CellChange>(change).Before.capacity() +
                         std::get<CellChange>(change).After.capacity();
        }
    }
    return bytes;
}

} // namespace vorlith
