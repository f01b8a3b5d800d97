#include "workspace/MainWindow.h"

#include "branding/Branding.h"
#include "branding/UpdateCheck.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

namespace vorlith {

void FormCreate(Workspace& ws) {
    ws.SortColumn = -1;
    ws.SortAscending = true;
    LoadBranding(ws);
    ws.Ui.ArmStartupTimer();
}

void Timer1Timer(Workspace& ws) {
    CheckForUpdates(ws, true);
}

void FormClose(Workspace& ws) {
    if (ws.IdHTTP1.Busy()) {
        ws.Aborted = true;
        ws.IdHTTP1.Disconnect();
    }
    // A search-count run between two requests stops at its next test as well.
    if (ws.GatherDataRunning)
        ws.Aborted = true;
}

void btnMainKeywordClick(Workspace& ws) {
    std::optional<std::string> keyword = ws.Ui.AskMainKeyword();
    if (!keyword)
        return;
    ws.MainKeyword = std::move(*keyword);
    ws.SetMainKeywordStatus(MainKeywordPanelText(ws.MainKeyword));
    ws.SetMainStatus("");
}

} // namespace vorlith
