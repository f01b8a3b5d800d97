#include "gui/TableEditing.h"

#include "gui/widgets/ErrorReporting.h"
#include "platform/QStringBytes.h"
#include "workspace/LiveImports.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"
#include "workspace/XlsxExport.h"

#include <QAction>
#include <QMenu>
#include <QUndoCommand>
#include <QUndoStack>
#include <QWidget>

namespace vorlith {

namespace {

// One recorded step of the core's history. Qt runs redo() when it is pushed; the change has
// happened by then, so the first call does nothing.
class HistoryStep : public QUndoCommand {
public:
    HistoryStep(Workspace& ws, const std::string& label) : QUndoCommand(ToQString(label)), ws_(ws) {}
    void undo() override { ws_.History.Undo(); }
    void redo() override {
        if (!std::exchange(first_, false))
            ws_.History.Redo();
    }

private:
    Workspace& ws_;
    bool first_ = true;
};

} // namespace

TableEditing::TableEditing(QWidget& window, Workspace& ws, QMenu& menu)
    : QObject(&window), ws_(ws), stack_(new QUndoStack(this)) {
    ws_.History.OnRecorded = [this](const std::string& label) {
        stack_->push(new HistoryStep(ws_, label));
        Refresh();
    };
    auto add = [&](const QString& text, QList<QKeySequence> keys, void (TableEditing::*slot)()) {
        auto* action = new QAction(text, &window);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setShortcutVisibleInContextMenu(true);
        window.addAction(action);
        connect(action, &QAction::triggered, this,
                [this, text, slot] { Guarded(qPrintable(text), [this, slot] { (this->*slot)(); }); });
        return action;
    };
    QAction* first = menu.actions().isEmpty() ? nullptr : menu.actions().constFirst();
    undo_ = add(QStringLiteral("Undo"), {QKeySequence(QStringLiteral("Ctrl+Z"))}, &TableEditing::Undo);
    redo_ = add(QStringLiteral("Redo"),
                {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))},
                &TableEditing::Redo);
    menu.insertAction(first, undo_);
    menu.insertAction(first, redo_);
    menu.insertSeparator(first);
    menu.addSeparator();
    menu.addAction(add(QStringLiteral("Open Results\u2026"), {QKeySequence(QStringLiteral("Ctrl+Shift+O"))},
                       &TableEditing::OpenResults));
    menu.addAction(add(QStringLiteral("Export XLSX\u2026"), {}, &TableEditing::ExportXlsx));
    connect(&menu, &QMenu::aboutToShow, this, &TableEditing::Refresh);
    Refresh();
}

void TableEditing::Refresh() {
    // A run or export under way keeps the history where it is.
    const bool idle = !ws_.Work.Busy();
    undo_->setEnabled(idle && ws_.History.CanUndo());
    redo_->setEnabled(idle && ws_.History.CanRedo());
    undo_->setToolTip(QStringLiteral("Undo ") + ToQString(ws_.History.UndoLabel()));
    redo_->setToolTip(QStringLiteral("Redo ") + ToQString(ws_.History.RedoLabel()));
}

void TableEditing::Undo() {
    if (RefusedWhileBusy(ws_))
        return;
    // The stack moves only when the core's history can: the two stay in step.
    if (ws_.History.CanUndo() && stack_->canUndo())
        stack_->undo();
    ws_.SetSecondStatus(ItemCountText(ws_.table.RowCount()));
    Refresh();
}

void TableEditing::Redo() {
    if (RefusedWhileBusy(ws_))
        return;
    if (ws_.History.CanRedo() && stack_->canRedo())
        stack_->redo();
    ws_.SetSecondStatus(ItemCountText(ws_.table.RowCount()));
    Refresh();
}

void TableEditing::OpenResults() {
    ws_.Runs.Adopt(vorlith::OpenResultsLive(ws_));
}

void TableEditing::ExportXlsx() {
    ws_.Runs.Adopt(vorlith::ExportXlsx(ws_));
}

} // namespace vorlith
