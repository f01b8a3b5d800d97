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
// Said when no program could take an address; the address follows.
inline constexpr std::string_view NoOpenerText = "No program could open this address: ";

// OpenInBrowser through the workspace's shell (none: nothing happens). When nothing could open
// the address, the user is told which; false then.
bool OpenInBrowser(Workspace& ws, std::string_view URL);

} // namespace vorlith
