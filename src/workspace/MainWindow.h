#pragma once
// The main window's own steps: its creation and closing, the start-up timer and "Main Keyword".

namespace vorlith {

class Workspace;

// Sort state, branding, then the start-up timer. An exception from branding ends the step
// early (the caller reports it), so the timer stays unarmed for this run.
void FormCreate(Workspace& ws);

// The window is closing: a request waiting inside a click handler ends now, so that the handler
// can return and the program end; Aborted stops a loop of requests at its next test.
void FormClose(Workspace& ws);

// The start-up timer's tick (the caller has already disarmed it).
void Timer1Timer(Workspace& ws);

void btnMainKeywordClick(Workspace& ws);

} // namespace vorlith
