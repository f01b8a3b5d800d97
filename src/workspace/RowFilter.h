#pragma once
// The filter box: the rows whose keyword contains the typed text, case ignored; the model the
// window shows, which holds only those rows; and what the context menu copies.

#include <QAbstractTableModel>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;

// The needle as KeywordContains wants it: folded to lower case.
std::string FoldedNeedle(std::string_view text);
// True when keyword contains the folded needle, case ignored (an empty needle is in every text).
bool KeywordContains(std::string_view keyword, std::string_view foldedNeedle);

// Positions of the rows whose keyword contains text, in table order; every row for "".
std::vector<int> FilterRows(const KeywordTable& table, std::string_view text);
// The rows the workspace's filter shows.
std::vector<int> ShownRows(const Workspace& ws);

// SecondStatusPanel while a filter is set: how many rows are shown of how many.
std::string FilterCountText(int shown, int total);

// Copy Keywords: the keywords of the rows, one per line.
std::string KeywordsText(const KeywordTable& table, const std::vector<int>& rows);
// Copy Rows: the header and the rows, fields separated by tabs, for a spreadsheet. A tab or line
// break inside a value becomes a space so that no value spills into the next field.
std::string RowsText(const KeywordTable& table, const std::vector<int>& rows);

// The keyword table as the window shows it: only the rows that the filter lets through, in table
// order. With an empty filter it is the table itself, row for row.
class FilteredTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FilteredTable(KeywordTable& source, QObject* parent = nullptr);

    void SetFilter(std::string_view text);
    const std::string& Filter() const { return filter_; }
    bool Filtered() const { return !filter_.empty(); }
    // The table position of a shown row.
    int SourceRow(int shownRow) const;
    // The shown row of a table position, or -1 when it is hidden.
    int ShownRow(int sourceRow) const;
    int ShownCount() const { return rowCount(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void Refilter();
    void BeginReset();
    void EndReset();

    KeywordTable& source_;
    std::string filter_;
    std::string needle_;
    std::vector<int> rows_; // table positions, ascending, while filtered
    bool resetting_ = false;
};

} // namespace vorlith
