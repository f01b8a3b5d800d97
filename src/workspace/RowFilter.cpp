#include "workspace/RowFilter.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordTable.h"
#include "workspace/Workspace.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace vorlith {

namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A value as one spreadsheet field: no tab or line break inside.
void AppendField(std::string& out, std::string_view value) {
    for (const char c : value)
        out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

} // namespace

std::string FoldedNeedle(std::string_view text) {
    if (IsAscii(text)) {
        std::string folded(text);
        for (char& c : folded)
            c = FoldAscii(c);
        return folded;
    }
    return ToBytes(ToQString(text).toCaseFolded());
}

bool KeywordContains(std::string_view keyword, std::string_view foldedNeedle) {
    if (foldedNeedle.empty())
        return true;
    if (keyword.size() >= foldedNeedle.size()) {
        // Plain ASCII keywords (nearly all) are folded byte by byte into a small buffer.
        char buffer[256];
        if (keyword.size() <= sizeof buffer) {
            bool ascii = true;
            for (std::size_t i = 0; i < keyword.size(); ++i) {
                const char c = keyword[i];
                ascii = ascii && static_cast<unsigned char>(c) < 0x80;
                buffer[i] = FoldAscii(c);
            }
            if (ascii)
                return ::memmem(buffer, keyword.size(), foldedNeedle.data(), foldedNeedle.size()) != nullptr;
        }
    } else if (IsAscii(keyword)) {
        return false;
    }
    return ToQString(keyword).toCaseFolded().contains(ToQString(foldedNeedle));
}

std::vector<int> FilterRows(const KeywordTable& table, std::string_view text) {
    const std::string needle = FoldedNeedle(text);
    const int keywords = CellOf(Column::Keywords);
    std::vector<int> rows;
    for (int r = 0; r < table.RowCount(); ++r)
        if (KeywordContains(table.Cell(r, keywords), needle))
            rows.push_back(r);
    return rows;
}

std::vector<int> ShownRows(const Workspace& ws) {
    return FilterRows(ws.table, ws.Filter);
}

std::string FilterCountText(int shown, int total) {
    return std::to_string(shown) + " of " + std::to_string(total) + " shown";
}

std::string KeywordsText(const KeywordTable& table, const std::vector<int>& rows) {
    std::string out;
    for (const int r : rows) {
        out.append(table.Cell(r, CellOf(Column::Keywords)));
        out.push_back('\n');
    }
    return out;
}

std::string RowsText(const KeywordTable& table, const std::vector<int>& rows) {
    std::string out;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c > 0)
            out.push_back('\t');
        out.append(Columns[static_cast<std::size_t>(c)].Header);
    }
    out.push_back('\n');
    for (const int r : rows) {
        AppendField(out, table.Caption(r));
        for (int c = 0; c < CellCount; ++c) {
            out.push_back('\t');
            AppendField(out, table.Cell(r, c));
        }
        out.push_back('\n');
    }
    return out;
}

FilteredTable::FilteredTable(KeywordTable& source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {
    connect(&source_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (resetting_)
                    return;
                if (!Filtered()) {
                    Q_EMIT dataChanged(index(from.row(), from.column()), index(to.row(), to.column()), roles);
                    return;
                }
                // The shown rows of the span are one run of rows_: one notice for them all.
                const auto first = std::lower_bound(rows_.begin(), rows_.end(), from.row());
                const auto last = std::upper_bound(first, rows_.end(), to.row());
                if (first != last)
                    Q_EMIT dataChanged(index(static_cast<int>(first - rows_.begin()), from.column()),
                                       index(static_cast<int>(last - rows_.begin()) - 1, to.column()), roles);
            });
    connect(&source_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!Filtered())
                    beginInsertRows({}, first, last);
            });
    connect(&source_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!Filtered()) {
                    endInsertRows();
                    return;
                }
                // Rows are appended: the new ones that match go at the end.
                std::vector<int> added;
                for (int r = first; r <= last; ++r)
                    if (KeywordContains(source_.Cell(r, CellOf(Column::Keywords)), needle_))
                        added.push_back(r);
                if (added.empty())
                    return;
                const int at = static_cast<int>(rows_.size());
                beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
                rows_.insert(rows_.end(), added.begin(), added.end());
                endInsertRows();
            });
    // Removals, resets and sorts: shown again from scratch.
    connect(&source_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &FilteredTable::BeginReset);
    connect(&source_, &QAbstractItemModel::rowsRemoved, this, &FilteredTable::EndReset);
    connect(&source_, &QAbstractItemModel::modelAboutToBeReset, this, &FilteredTable::BeginReset);
    connect(&source_, &QAbstractItemModel::modelReset, this, &FilteredTable::EndReset);
    connect(&source_, &QAbstractItemModel::layoutAboutToBeChanged, this, &FilteredTable::BeginReset);
    connect(&source_, &QAbstractItemModel::layoutChanged, this, &FilteredTable::EndReset);
}

void FilteredTable::BeginReset() {
    if (resetting_)
        return;
    resetting_ = true;
    beginResetModel();
}

void FilteredTable::EndReset() {
    if (!resetting_)
        return;
    Refilter();
    resetting_ = false;
    endResetModel();
}

void FilteredTable::Refilter() {
    rows_.clear();
    if (Filtered())
        rows_ = FilterRows(source_, filter_);
}

void FilteredTable::SetFilter(std::string_view text) {
    if (text == filter_)
        return;
    beginResetModel();
    const std::string needle = FoldedNeedle(text);
    // A longer text that holds the old one can only narrow the shown rows: search those alone.
    const bool narrowing = Filtered() && needle.find(needle_) != std::string::npos;
    filter_ = std::string(text);
    needle_ = needle;
    if (narrowing) {
        const int keywords = CellOf(Column::Keywords);
        std::erase_if(rows_, [&](int r) { return !KeywordContains(source_.Cell(r, keywords), needle_); });
    } else {
        Refilter();
    }
    endResetModel();
}

int FilteredTable::SourceRow(int shownRow) const {
    return Filtered() ? rows_.at(static_cast<std::size_t>(shownRow)) : shownRow;
}

int FilteredTable::ShownRow(int sourceRow) const {
    if (!Filtered())
        return sourceRow;
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), sourceRow);
    return at != rows_.end() && *at == sourceRow ? static_cast<int>(at - rows_.begin()) : -1;
}

int FilteredTable::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return Filtered() ? static_cast<int>(rows_.size()) : source_.RowCount();
}

int FilteredTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FilteredTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    return source_.data(source_.index(SourceRow(index.row()), index.column()), role);
}

bool FilteredTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount())
        return false;
    return source_.setData(source_.index(SourceRow(index.row()), index.column()), value, role);
}

QVariant FilteredTable::headerData(int section, Qt::Orientation orientation, int role) const {
    return source_.headerData(section, orientation, role);
}

Qt::ItemFlags FilteredTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return source_.flags(source_.index(SourceRow(index.row()), index.column()));
}

} // namespace vorlith
