#include "branding/WebPages.h"

#include "platform/Shell.h"
#include "text/OpenInBrowser.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

void OpenInBrowser(Workspace& ws, std::string_view URL) {
    if (ws.Shell)
        OpenInBrowser(*ws.Shell, URL);
}

void btnHelpClick(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + std::string(HelpPath));
}

void btnMakeMoneyClick(Workspace& ws) {
    OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + "/" + ws.AffiliateID);
}

void LinkLabelClick(Workspace& ws, std::string_view address) {
    if (ws.Shell)
        ws.Shell->Open(address, "");
}

} // namespace vorlith
