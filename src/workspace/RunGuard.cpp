#include "workspace/RunGuard.h"

#include "workspace/Workspace.h"

namespace vorlith {

ClientState CurrentClientState(const Workspace& ws) {
    if (ws.GatherDataRunning && ws.GatherDataCaption() != GatherDataIdleCaption)
        return ClientState::GatherDataRunning;
    if (ws.GatherDataRunning || ws.http.Busy())
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
            ws.Aborted = true;
            ws.http.Disconnect();
        }
        return true;
    }
    return true;
}

} // namespace vorlith
