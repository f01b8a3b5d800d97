#include "branding/WebPages.h"

#include "platform/OpenInBrowser.h"
#include "platform/Shell.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

namespace {

bool Reported(Workspace& ws, bool opened, std::string_view URL) {
    if (!opened)
        ws.Ui.ShowMessage(MessageKind::Warning, std::string(NoOpenerText) + std::string(URL), MessageButtons::Ok);
    return opened;
}

} // namespace

bool OpenInBrowser(Workspace& ws, std::string_view URL) {
    return !ws.Shell || Reported(ws, OpenInBrowser(*ws.Shell, URL), URL);
}

void OpenHelp(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + std::string(HelpPath));
}

void OpenMakeMoney(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + "/" + ws.AffiliateID);
}

void OpenLink(Workspace& ws, std::string_view address) {
    // A label without an address has nothing to report.
    if (ws.Shell && !ws.Shell->Open(address, "") && !address.empty())
        Reported(ws, false, address);
}

} // namespace vorlith
