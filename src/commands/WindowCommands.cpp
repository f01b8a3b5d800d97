#include "commands/WindowCommands.h"

#include "branding/Branding.h"
#include "branding/UpdateCheck.h"
#include "workspace/Workspace.h"

namespace vorlith {

void StartUp(Workspace& ws) {
    ws.SortColumn = -1;
    ws.SortAscending = true;
    LoadBranding(ws);
    ws.Ui.ArmStartupTimer();
}

void StartupUpdateCheck(Workspace& ws) {
    CheckForUpdates(ws, true);
}

bool MayClose(Workspace& ws) {
    if (ws.CloseAgreed || !(ws.HasUnsavedRows() || ws.GatherDataRunning))
        return true;
    return ws.Ui.ShowMessage(MessageKind::Warning, UnsavedWorkQuestion, MessageButtons::OkCancel) == mrOk;
}

void StopForClosing(Workspace& ws) {
    if (ws.http.Busy()) {
        ws.Aborted = true;
        ws.http.Disconnect();
    }
    // A search-count run between two requests stops at its next test as well.
    if (ws.GatherDataRunning)
        ws.Aborted = true;
}

} // namespace vorlith
