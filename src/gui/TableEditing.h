#pragma once
// The window's Undo and Redo (a QUndoStack mirroring the core's TableHistory), Open Results and
// Export XLSX: actions in the table's context menu and window-wide shortcuts. The rules are the
// core's; this only forwards.

#include <QObject>

class QAction;
class QMenu;
class QUndoStack;
class QWidget;

namespace vorlith {

class Workspace;

class TableEditing : public QObject {
    Q_OBJECT
public:
    TableEditing(QWidget& window, Workspace& ws, QMenu& menu);

    QUndoStack& Stack() { return *stack_; }
    void Undo();
    void Redo();
    void OpenResults();
    void ExportXlsx();

private:
    void Refresh();

    Workspace& ws_;
    QUndoStack* stack_;
    QAction* undo_;
    QAction* redo_;
};

} // namespace vorlith
