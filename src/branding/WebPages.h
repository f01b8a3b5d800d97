#pragma once
// Buttons and labels that open web pages.

#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view HelpPath = "/help/";

// MakerSiteBase + "/help/" in the registered browser.
void OpenHelp(Workspace& ws);
// MakerSiteBase + "/" + AffiliateID in the registered browser.
void OpenMakeMoney(Workspace& ws);
// A link label's click: the shell opens its address, also an empty one.
void OpenLink(Workspace& ws, std::string_view address);
// OpenInBrowser through the workspace's shell (none: nothing happens).
void OpenInBrowser(Workspace& ws, std::string_view URL);

} // namespace vorlith
