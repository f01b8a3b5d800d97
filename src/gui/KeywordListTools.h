#pragma once
// The main window's keyboard and list conveniences: window-wide shortcuts, the table's context
// menu, the filter box and the buttons beside it. They forward to the window's handlers and to
// the core, and decide nothing.

#include <QObject>
#include <vector>

class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QWidget;

namespace vorlith {

class KeywordModel;
class TfrmMain;
class Workspace;

class KeywordListTools : public QObject {
    Q_OBJECT
public:
    // bar: the selection and links bar, where the filter box and the new buttons go.
    KeywordListTools(TfrmMain& frm, Workspace& ws, QTableView& table, KeywordModel& shown, QWidget& bar);

    // Table positions of the highlighted rows, in table order.
    std::vector<int> HighlightedRows() const;
    QMenu* ContextMenu() const { return menu_; }
    QLineEdit* FilterBox() const { return edtFilter_; }

    void CopyKeywords();
    void CopyRows();
    void TickHighlighted(bool checked);
    void DeleteHighlighted();
    void FocusFilter();

private:
    TfrmMain& frm_;
    Workspace& ws_;
    QTableView& table_;
    KeywordModel& shown_;
    QLineEdit* edtFilter_;
    QPushButton* btnRemoveDuplicates_;
    QPushButton* btnRetryFailed_;
    QPushButton* btnSaveShown_;
    QMenu* menu_;
};

} // namespace vorlith
