#pragma once
// "Main Keyword": the keyword that Gather Keywords asks the suggestion service about.

#include <optional>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

// Stores the keyword as typed and shows it in the status bar; refused (with the text the dialog
// shows) when the dialog would refuse it.
std::optional<std::string_view> SetMainKeyword(Workspace& ws, std::string text);

// "Main Keyword": asks, then SetMainKeyword.
void EnterMainKeyword(Workspace& ws);

} // namespace vorlith
