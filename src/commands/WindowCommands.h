#pragma once
// The main window's own steps that span features: its start (branding, then the start-up timer),
// the timer's silent update check, and closing.

#include <string_view>

namespace vorlith {

class Workspace;
class LaterBanner;

// Asked before the window closes over work that closing would lose.
inline constexpr std::string_view UnsavedWorkQuestion =
    "Your keywords are not saved. Are you sure do you want to close?";

// Sort state, branding, then the start-up timer. An exception from branding ends the step
// early (the caller reports it), so the timer stays unarmed for this run. With later, a metafile
// banner arrives after the step; the timer waits for it, and a failed one leaves it unarmed too.
void StartUp(Workspace& ws, LaterBanner* later = nullptr);

// The start-up timer's tick (the caller has already disarmed it): the silent update check.
void StartupUpdateCheck(Workspace& ws);

// The window is asked to close: true lets it close. With rows added or changed since the last
// successful save, or a search-count run under way, the user is asked first (OK closes); a close
// the user already agreed to (the update check's) is not asked again.
bool MayClose(Workspace& ws);

// The window is closing: every run is stopped. True when none goes on any more; otherwise the
// window waits for ws.Runs to become idle (a stopped run ends within a turn or two of the event
// loop) before it and the workspace go.
bool StopForClosing(Workspace& ws);

} // namespace vorlith
