#pragma once
// The keyword table, the only store of keywords and figures. Rows are addressed by
// their position in the current display order.

#include <QAbstractTableModel>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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

struct KeywordRow {
    std::string Caption; // the row's number, fixed when it was appended
    Cells Cell;
    bool Checked = false;
    // Per cell: 0, or 1 + the index of the reason its last lookup failed (see FailureReason).
    std::array<std::uint8_t, CellCount> Failure{};
};

class KeywordTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit KeywordTable(QObject* parent = nullptr);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    const KeywordRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    const std::vector<KeywordRow>& Rows() const { return rows_; }

    // Appends a row numbered with the row count before the addition, plus one.
    void Append(Cells cells);
    // Appends many rows with one notification; each is numbered as if appended alone.
    void AppendMany(std::vector<Cells> cells);
    // Convenience for the commands that add a keyword with four empty figures.
    void AppendKeyword(std::string keyword);
    // Appends one row per keyword (four empty figures each) with one notification.
    void AppendKeywords(const std::vector<std::string_view>& keywords);

    const std::string& Caption(int row) const { return Row(row).Caption; }
    const std::string& Cell(int row, int cell) const {
        return Row(row).Cell.at(static_cast<std::size_t>(cell));
    }
    // Writes a cell; a written cell is no longer marked failed.
    void SetCell(int row, int cell, std::string text);

    // A lookup for the cell failed: it keeps its value and carries the reason until it is written.
    void MarkFailed(int row, int cell, std::string_view reason);
    bool Failed(int row, int cell) const { return Row(row).Failure.at(static_cast<std::size_t>(cell)) != 0; }
    // Empty when the cell is not marked failed.
    std::string_view FailureReason(int row, int cell) const;
    // Cells marked failed in the whole table.
    std::size_t FailedCount() const;

    bool Checked(int row) const { return Row(row).Checked; }
    void SetChecked(int row, bool checked);
    void SetAllChecked(bool checked);

    void Delete(int row);
    void DeleteAll();
    // Removes every row the predicate picks, in one pass and with one notification.
    // Returns the number of rows removed.
    std::size_t DeleteIf(const std::function<bool(const KeywordRow&)>& pick);

    // Removes the rows at the positions marked true (marked covers every row); returns how many.
    std::size_t DeleteMarked(const std::vector<bool>& marked);

    // Reorders the rows: order[i] is the old position of the row that goes to position i.
    // order must be a permutation of 0..RowCount()-1.
    void Reorder(const std::vector<std::size_t>& order);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<KeywordRow> rows_;
    // The few distinct failure reasons, shared by every marked cell.
    std::vector<std::string> reasons_;
};

} // namespace vorlith
