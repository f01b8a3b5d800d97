#pragma once
// "Main Keyword": the keyword that Gather Keywords asks the suggestion service about.

namespace vorlith {

class Workspace;

// Asks for the main keyword; OK stores it as typed and shows it in the status bar.
void EnterMainKeyword(Workspace& ws);

} // namespace vorlith
