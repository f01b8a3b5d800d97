#include "gui/KeywordModel.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordTable.h"
#include "workspace/RowFilter.h"

#include <QColor>
#include <QString>
#include <algorithm>

namespace vorlith {

namespace {

// A translucent red: a muted tint over light and dark skins alike, the old value still readable.
const QColor FailedCellColor(0xD0, 0x40, 0x40, 0x60);

QList<int> RolesOf(KeywordTable::CellChange change) {
    switch (change) {
    case KeywordTable::CellChange::Values:
        return {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole};
    case KeywordTable::CellChange::Ticks:
        return {Qt::CheckStateRole};
    case KeywordTable::CellChange::FailureMarks:
        break;
    }
    return {Qt::ToolTipRole, Qt::BackgroundRole};
}

} // namespace

KeywordModel::KeywordModel(KeywordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), count_(table.RowCount()) {
    connect(&table_, &KeywordTable::RowsAppended, this, &KeywordModel::Appended);
    connect(&table_, &KeywordTable::RowsAboutToBeRemoved, this, &KeywordModel::AboutToRemove);
    connect(&table_, &KeywordTable::RowsRemoved, this, &KeywordModel::Removed);
    connect(&table_, &KeywordTable::RowsReordered, this, &KeywordModel::Reordered);
    connect(&table_, &KeywordTable::TableReset, this, &KeywordModel::Reset);
    connect(&table_, &KeywordTable::CellsChanged, this,
            [this](int first, int last, int firstColumn, int lastColumn, KeywordTable::CellChange change) {
                const QList<int> roles = RolesOf(change);
                if (!Filtered()) {
                    Q_EMIT dataChanged(index(first, firstColumn), index(last, lastColumn), roles);
                    return;
                }
                // The shown rows of the span are one run of rows_: one notice for them all.
                const auto from = std::lower_bound(rows_.begin(), rows_.end(), first);
                const auto to = std::upper_bound(from, rows_.end(), last);
                if (from != to)
                    Q_EMIT dataChanged(index(static_cast<int>(from - rows_.begin()), firstColumn),
                                       index(static_cast<int>(to - rows_.begin()) - 1, lastColumn), roles);
            });
}

void KeywordModel::Appended(int first, int last) {
    const int added = last - first + 1;
    if (!Filtered()) {
        beginInsertRows({}, count_, count_ + added - 1);
        count_ += added;
        endInsertRows();
        return;
    }
    count_ += added;
    // Rows are appended: the new ones that match go at the end.
    std::vector<int> matching;
    for (int r = first; r <= last; ++r)
        if (KeywordContains(table_.Cell(r, CellOf(Column::Keywords)), needle_))
            matching.push_back(r);
    if (matching.empty())
        return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at + static_cast<int>(matching.size()) - 1);
    rows_.insert(rows_.end(), matching.begin(), matching.end());
    endInsertRows();
}

void KeywordModel::AboutToRemove(int first, int last) {
    if (!Filtered()) {
        beginRemoveRows({}, first, last);
        removing_ = true;
        return;
    }
    const auto from = std::lower_bound(rows_.begin(), rows_.end(), first);
    const auto to = std::lower_bound(from, rows_.end(), last + 1);
    if (from != to) {
        beginRemoveRows({}, static_cast<int>(from - rows_.begin()), static_cast<int>(to - rows_.begin()) - 1);
        removing_ = true;
    }
}

void KeywordModel::Removed(int first, int last) {
    const int removed = last - first + 1;
    count_ -= removed;
    if (Filtered()) {
        const auto from = std::lower_bound(rows_.begin(), rows_.end(), first);
        const auto to = std::lower_bound(from, rows_.end(), last + 1);
        // The rows after the removed ones moved up in the table.
        for (auto after = rows_.erase(from, to); after != rows_.end(); ++after)
            *after -= removed;
    }
    if (removing_) {
        removing_ = false;
        endRemoveRows();
    }
}

void KeywordModel::Reordered(const std::vector<std::size_t>& order) {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newPosition;
    if (Filtered() || !before.isEmpty()) {
        newPosition.resize(order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            newPosition[order[i]] = static_cast<int>(i);
    }
    // The same rows stay shown, in their new table order.
    std::vector<int> oldRows;
    if (Filtered()) {
        oldRows.swap(rows_);
        std::vector<bool> shown(order.size());
        for (const int r : oldRows)
            shown[static_cast<std::size_t>(newPosition[static_cast<std::size_t>(r)])] = true;
        rows_.reserve(oldRows.size());
        for (std::size_t r = 0; r < shown.size(); ++r)
            if (shown[r])
                rows_.push_back(static_cast<int>(r));
    }
    if (!before.isEmpty()) {
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& old : before) {
            const int from = Filtered() ? oldRows.at(static_cast<std::size_t>(old.row())) : old.row();
            after.push_back(index(ShownRow(newPosition.at(static_cast<std::size_t>(from))), old.column()));
        }
        changePersistentIndexList(before, after);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void KeywordModel::Reset() {
    beginResetModel();
    count_ = table_.RowCount();
    Refilter();
    endResetModel();
}

void KeywordModel::Refilter() {
    rows_.clear();
    if (Filtered())
        rows_ = FilterRows(table_, filter_);
}

void KeywordModel::SetFilter(std::string_view text) {
    if (text == filter_)
        return;
    beginResetModel();
    const std::string needle = FoldedNeedle(text);
    // A longer text that holds the old one can only narrow the shown rows: search those alone.
    const bool narrowing = Filtered() && needle.find(needle_) != std::string::npos;
    filter_ = std::string(text);
    needle_ = needle;
    count_ = table_.RowCount();
    if (narrowing) {
        const int keywords = CellOf(Column::Keywords);
        std::erase_if(rows_, [&](int r) { return !KeywordContains(table_.Cell(r, keywords), needle_); });
    } else {
        Refilter();
    }
    endResetModel();
}

int KeywordModel::SourceRow(int shownRow) const {
    return Filtered() ? rows_.at(static_cast<std::size_t>(shownRow)) : shownRow;
}

int KeywordModel::ShownRow(int sourceRow) const {
    if (!Filtered())
        return sourceRow;
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), sourceRow);
    return at != rows_.end() && *at == sourceRow ? static_cast<int>(at - rows_.begin()) : -1;
}

int KeywordModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return Filtered() ? static_cast<int>(rows_.size()) : count_;
}

int KeywordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount + (sourceShown_ ? 1 : 0);
}

void KeywordModel::SetSourceColumnShown(bool shown) {
    if (shown == sourceShown_)
        return;
    if (shown) {
        beginInsertColumns({}, ColumnCount, ColumnCount);
        sourceShown_ = true;
        endInsertColumns();
    } else {
        beginRemoveColumns({}, ColumnCount, ColumnCount);
        sourceShown_ = false;
        endRemoveColumns();
    }
}

void KeywordModel::SetCountCaptions(const std::array<std::string, 3>& captions) {
    for (std::size_t i = 0; i < captions.size(); ++i)
        countCaptions_[i] = QString::fromUtf8(captions[i].data(), static_cast<qsizetype>(captions[i].size()));
    Q_EMIT headerDataChanged(Qt::Horizontal, static_cast<int>(Column::Google), static_cast<int>(Column::Msn));
}

QVariant KeywordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = SourceRow(index.row());
    if (row >= table_.RowCount()) // gone from the table, and the view not yet told
        return {};
    if (index.column() == 0) {
        if (role == Qt::DisplayRole)
            return QString::number(table_.Number(row));
        if (role == Qt::CheckStateRole)
            return table_.Checked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (index.column() == ColumnCount) {
        if (role != Qt::DisplayRole || !sourceNames_)
            return {};
        const auto found = sourceNames_->find(table_.Id(row));
        return found == sourceNames_->end() ? QString() : QString::fromUtf8(found->second.c_str());
    }
    const int cell = index.column() - 1;
    if (role == Qt::DisplayRole)
        return ToQString(table_.Cell(row, cell));
    if (table_.Failed(row, cell)) {
        // A failed lookup must not look like a cell nobody asked for yet.
        if (role == Qt::ToolTipRole)
            return QString(QStringLiteral("Lookup failed: ") + ToQString(table_.FailureReason(row, cell)));
        if (role == Qt::BackgroundRole)
            return FailedCellColor;
    }
    return {};
}

bool KeywordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    // Long work reading the table on a worker: the tick waits for the user to try again.
    if (table_.Held())
        return false;
    table_.SetChecked(SourceRow(index.row()), value.toInt() == Qt::Checked);
    return true;
}

QVariant KeywordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    if (section == ColumnCount)
        return QStringLiteral("Source");
    const int count = section - static_cast<int>(Column::Google);
    if (count >= 0 && count < 3 && !countCaptions_[static_cast<std::size_t>(count)].isEmpty())
        return countCaptions_[static_cast<std::size_t>(count)];
    return QString::fromLatin1(Columns[static_cast<std::size_t>(section)].Header);
}

Qt::ItemFlags KeywordModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace vorlith
