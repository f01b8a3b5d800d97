#include "gui/KeywordListTools.h"

#include "gui/FMain.h"
#include "gui/KeywordModel.h"
#include "gui/widgets/ErrorReporting.h"
#include "platform/QStringBytes.h"
#include "stats/GatherData.h"
#include "workspace/Duplicates.h"
#include "workspace/ListEditing.h"
#include "workspace/LiveExport.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"
#include "workspace/TableWork.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <algorithm>

namespace vorlith {

namespace {

QPushButton* BarButton(QWidget* bar, const char* name, const QString& caption, int left, int width,
                       const QString& tip) {
    auto* button = new QPushButton(caption, bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 7, width, 20);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(tip);
    return button;
}

QCoro::Task<void> CopyRowsToClipboard(Workspace& ws, std::vector<int> rows) {
    try {
        const std::optional<QString> text = co_await RowsTextLive(ws, std::move(rows));
        if (text)
            QGuiApplication::clipboard()->setText(*text);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Copy Rows");
    }
}

} // namespace

KeywordListTools::KeywordListTools(TfrmMain& frm, Workspace& ws, QTableView& table, KeywordModel& shown,
                                   QWidget& bar)
    : QObject(&frm), frm_(frm), ws_(ws), table_(table), shown_(shown) {
    edtFilter_ = new QLineEdit(&bar);
    edtFilter_->setObjectName(QStringLiteral("edtFilter"));
    edtFilter_->setGeometry(424, 7, 180, 20);
    edtFilter_->setPlaceholderText(QStringLiteral("Filter keywords (Ctrl+F)"));
    edtFilter_->setClearButtonEnabled(true);
    edtFilter_->setToolTip(
        QStringLiteral("Shows only rows whose keyword contains this text, case ignored (Ctrl+F)"));
    btnRemoveDuplicates_ =
        BarButton(&bar, "btnRemoveDuplicates", QStringLiteral("Remove Duplicates"), 608, 110,
                  QStringLiteral("Keep the first of rows with equal keywords, case ignored"));
    btnRetryFailed_ = BarButton(&bar, "btnRetryFailed", QStringLiteral("Retry Failed"), 721, 86,
                                QStringLiteral("Ask again only for the counts whose lookup failed"));
    btnSaveShown_ = BarButton(&bar, "btnSaveShown", QStringLiteral("Save Shown\u2026"), 810, 90,
                              QStringLiteral("Save only the rows the filter shows"));
    connect(edtFilter_, &QLineEdit::textChanged, this,
            [this](const QString& text) { frm_.SetFilter(ToBytes(text)); });
    connect(btnRemoveDuplicates_, &QPushButton::clicked, this,
            [this] { Guarded("btnRemoveDuplicates", [this] { ws_.Runs.Adopt(RemoveDuplicatesLive(ws_)); }); });
    connect(btnRetryFailed_, &QPushButton::clicked, this,
            [this] { Guarded("btnRetryFailed", [this] { RetryFailed(ws_); }); });
    connect(btnSaveShown_, &QPushButton::clicked, this,
            [this] { Guarded("btnSaveShown", [this] { ws_.Runs.Adopt(SaveShownLive(ws_)); }); });

    // The table takes Tab to the filter box rather than from cell to cell.
    table_.setTabKeyNavigation(false);
    table_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_.setContextMenuPolicy(Qt::CustomContextMenu);
    table_.horizontalHeader()->setSortIndicatorShown(false);

    menu_ = new QMenu(&table_);
    menu_->setObjectName(QStringLiteral("mnuItems"));
    auto add = [this](const QString& text, const QKeySequence& keys, auto slot) {
        QAction* action = menu_->addAction(text);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        table_.addAction(action);
        connect(action, &QAction::triggered, this, [text, slot] { Guarded(qPrintable(text), slot); });
        return action;
    };
    add(QStringLiteral("Copy Keywords"), QKeySequence::Copy, [this] { CopyKeywords(); });
    add(QStringLiteral("Copy Rows"), QKeySequence(QStringLiteral("Ctrl+Shift+C")), [this] { CopyRows(); });
    menu_->addSeparator();
    add(QStringLiteral("Tick"), QKeySequence(Qt::Key_Space), [this] { TickHighlighted(true); });
    add(QStringLiteral("Untick"), QKeySequence(QStringLiteral("Shift+Space")),
        [this] { TickHighlighted(false); });
    add(QStringLiteral("Delete"), QKeySequence(QStringLiteral("Shift+Del")), [this] { DeleteHighlighted(); });
    menu_->addSeparator();
    add(QStringLiteral("Remove Duplicates"), {}, [this] { ws_.Runs.Adopt(RemoveDuplicatesLive(ws_)); });
    add(QStringLiteral("Retry Failed"), {}, [this] { RetryFailed(ws_); });
    QAction* atOnce = add(QStringLiteral("Ask the Engines at Once"), {}, [] {});
    atOnce->setObjectName(QStringLiteral("actAskEnginesAtOnce"));
    atOnce->setCheckable(true);
    atOnce->setChecked(ws_.AskEnginesAtOnce);
    connect(atOnce, &QAction::toggled, this, [this](bool on) { ws_.AskEnginesAtOnce = on; });
    add(QStringLiteral("Save Shown\u2026"), {}, [this] { ws_.Runs.Adopt(SaveShownLive(ws_)); });
    connect(&table_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(table_.viewport()->mapToGlobal(at)); });

    // Window-wide shortcuts for the buttons, which take no focus.
    struct Key {
        QKeySequence Keys;
        void (TfrmMain::*Handler)();
    };
    const Key keys[] = {
        {QKeySequence(QStringLiteral("Ctrl+S")), &TfrmMain::btnSaveResultsClick},
        {QKeySequence(QStringLiteral("Ctrl+O")), &TfrmMain::btnAddKeywordClick},
        {QKeySequence(QStringLiteral("Ctrl+K")), &TfrmMain::btnMainKeywordClick},
        {QKeySequence(QStringLiteral("Ctrl+G")), &TfrmMain::btnGatherKeywordClick},
        {QKeySequence(QStringLiteral("Ctrl+Shift+G")), &TfrmMain::HarvestOptionsClick},
        {QKeySequence(Qt::Key_F5), &TfrmMain::btnGatherDataClick},
        {QKeySequence(QKeySequence::Delete), &TfrmMain::bsSkinButton3Click},
        {QKeySequence(QStringLiteral("Ctrl+A")), &TfrmMain::bsSkinButton1Click},
        {QKeySequence(QStringLiteral("Ctrl+Shift+A")), &TfrmMain::bsSkinButton2Click},
        {QKeySequence(Qt::Key_F1), &TfrmMain::btnHelpClick},
    };
    for (const Key& key : keys) {
        auto* shortcut = new QShortcut(key.Keys, &frm_);
        // Tied to the window alone: the shortcut outlives these tools in some windows' tests.
        connect(shortcut, &QShortcut::activated, &frm_, [frm = &frm_, handler = key.Handler] {
            Guarded("shortcut", [frm, handler] { (frm->*handler)(); });
        });
    }
    auto* find = new QShortcut(QKeySequence::Find, &frm_);
    connect(find, &QShortcut::activated, this, &KeywordListTools::FocusFilter);
    // Escape cancels long table work, else stops the run or request under way, else empties the
    // filter.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &frm_);
    connect(escape, &QShortcut::activated, this, [this] {
        Guarded("Escape", [this] {
            if (Escape(ws_) == EscapeOutcome::ClearFilter)
                edtFilter_->clear();
        });
    });
}

std::vector<int> KeywordListTools::HighlightedRows() const {
    std::vector<int> rows;
    // Whole rows are read from the selection's ranges: a million highlighted rows as model
    // indexes would hold the window for seconds.
    const QItemSelection selection = table_.selectionModel()->selection();
    const int last = shown_.columnCount() - 1;
    const bool wholeRows =
        std::all_of(selection.begin(), selection.end(),
                    [last](const QItemSelectionRange& r) { return r.left() == 0 && r.right() == last; });
    if (wholeRows) {
        for (const QItemSelectionRange& range : selection)
            for (int row = range.top(); row <= range.bottom() && row < shown_.rowCount(); ++row)
                rows.push_back(shown_.SourceRow(row));
    } else {
        for (const QModelIndex& index : table_.selectionModel()->selectedRows())
            rows.push_back(shown_.SourceRow(index.row()));
    }
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void KeywordListTools::CopyKeywords() {
    QGuiApplication::clipboard()->setText(ToQString(KeywordsText(ws_.table, HighlightedRows())));
}

void KeywordListTools::CopyRows() {
    ws_.Runs.Adopt(CopyRowsToClipboard(ws_, HighlightedRows()));
}

void KeywordListTools::TickHighlighted(bool checked) {
    SetRowsChecked(ws_, HighlightedRows(), checked);
}

void KeywordListTools::DeleteHighlighted() {
    DeleteRows(ws_, HighlightedRows());
}

void KeywordListTools::FocusFilter() {
    edtFilter_->setFocus(Qt::ShortcutFocusReason);
    edtFilter_->selectAll();
}

} // namespace vorlith
