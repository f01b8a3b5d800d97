#include "workspace/RunGuard.h"

#include "workspace/Workspace.h"

namespace vorlith {

ClientState CurrentClientState(const Workspace& ws) {
    if (ws.Runs.GatherDataRunning())
        return ClientState::GatherDataRunning;
    if (!ws.Runs.Idle() || ws.http.Busy())
        return ClientState::RequestWaiting;
    return ClientState::Free;
}

bool RefuseWhileClientBusy(Workspace& ws) {
    switch (CurrentClientState(ws)) {
    case ClientState::Free:
        return false;
    case ClientState::GatherDataRunning:
        ws.Ui.ShowMessage(MessageKind::Information, GatherDataRunningText, MessageButtons::Ok);
        return true;
    case ClientState::RequestWaiting:
        if (ws.Ui.ShowMessage(MessageKind::Information, RequestUnderWayText, MessageButtons::OkCancel) ==
            mrOk) {
            ws.Runs.Stop();
            ws.http.Disconnect();
        }
        return true;
    }
    return true;
}

} // namespace vorlith
