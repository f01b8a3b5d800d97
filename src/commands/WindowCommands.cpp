#include "commands/WindowCommands.h"

#include "branding/Banner.h"
#include "branding/Branding.h"
#include "branding/UpdateCheck.h"
#include "workspace/Workspace.h"

namespace vorlith {

void StartUp(Workspace& ws, LaterBanner* later) {
    ws.SortColumn = -1;
    ws.SortAscending = true;
    LoadBranding(ws, later);
    // A broken entry of sources.ini is left out; the user hears which and why once, at start.
    if (!ws.Sources.Problems.empty()) {
        std::string text;
        for (const std::string& problem : ws.Sources.Problems)
            text += (text.empty() ? "" : "\n") + problem;
        ws.Ui.ShowMessage(MessageKind::Warning, text, MessageButtons::Ok);
    }
    if (later && later->Pending())
        later->OnShown([&ws] { ws.Ui.ArmStartupTimer(); });
    else
        ws.Ui.ArmStartupTimer();
}

void StartupUpdateCheck(Workspace& ws) {
    ws.Runs.Adopt(CheckForUpdates(ws, true));
}

bool MayClose(Workspace& ws) {
    if (ws.CloseAgreed || !(ws.HasUnsavedRows() || ws.Runs.GatherDataRunning()))
        return true;
    return ws.Ui.ShowMessage(MessageKind::Warning, UnsavedWorkQuestion, MessageButtons::OkCancel) == mrOk;
}

bool StopForClosing(Workspace& ws) {
    // The run's awaited job ends at once; the run ends at its next test of Aborted.
    if (!ws.Runs.Idle() || ws.http.Busy()) {
        ws.Runs.Stop();
        ws.http.Disconnect();
    }
    return ws.Runs.Idle();
}

} // namespace vorlith
