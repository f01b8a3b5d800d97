#include "branding/WebPages.h"

#include "platform/OpenInBrowser.h"
#include "platform/Shell.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

void OpenInBrowser(Workspace& ws, std::string_view URL) {
    if (ws.Shell)
        OpenInBrowser(*ws.Shell, URL);
}

void OpenHelp(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + std::string(HelpPath));
}

void OpenMakeMoney(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + "/" + ws.AffiliateID);
}

void OpenLink(Workspace& ws, std::string_view address) {
    if (ws.Shell)
        ws.Shell->Open(address, "");
}

} // namespace vorlith
