#pragma once
// The keyword table as the window's list shows it: only the rows that the filter lets through, in
// table order (with an empty filter, the table row for row), with their tick boxes, the headers,
// and failed lookups tinted with their reason as a tooltip.

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;

class KeywordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit KeywordModel(KeywordTable& table, QObject* parent = nullptr);

    void SetFilter(std::string_view text);
    const std::string& Filter() const { return filter_; }
    bool Filtered() const { return !filter_.empty(); }
    // The table position of a shown row.
    int SourceRow(int shownRow) const;
    // The shown row of a table position, or -1 when it is hidden.
    int ShownRow(int sourceRow) const;
    int ShownCount() const { return rowCount(); }

    // The Source column: a seventh column while shown, listing names by row id.
    using SourceNames = std::unordered_map<std::uint32_t, std::string>;
    void SetSourceNames(const SourceNames* names) { sourceNames_ = names; }
    void SetSourceColumnShown(bool shown);
    bool SourceColumnShown() const { return sourceShown_; }
    // The captions of the count columns (Google, Yahoo, Msn) as the engines name them.
    void SetCountCaptions(const std::array<std::string, 3>& captions);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The table's notices, which (but for AboutToRemove) come once the table has changed.
    void Appended(int first, int last);
    void AboutToRemove(int first, int last);
    void Removed(int first, int last);
    void Reordered(const std::vector<std::size_t>& order);
    void Reset();
    void Refilter();

    KeywordTable& table_;
    std::string filter_;
    std::string needle_;
    std::vector<int> rows_; // table positions, ascending, while filtered
    // The table's row count as this model last told the view: the table has already changed
    // when a notice comes, and the view must hear the count it knew before.
    int count_ = 0;
    bool removing_ = false; // the view was told that shown rows go
    const SourceNames* sourceNames_ = nullptr;
    bool sourceShown_ = false;
    std::array<QString, 3> countCaptions_;
};

} // namespace vorlith
