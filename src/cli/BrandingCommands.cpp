// The branding and the update check from the terminal.
#include "branding/Branding.h"
#include "branding/UpdateCheck.h"
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "platform/Random.h"
#include "platform/Shell.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith::cli {

namespace {

void Print(std::FILE* out, const std::string& label, const std::string& value) {
    std::fprintf(out, "%-10s %s\n", (label + ":").c_str(), value.c_str());
}

// Runs the branding steps as the window's creation does and prints what they applied.
int ShowBranding(CliContext& context, const Arguments&) {
    Workspace& ws = context.Ws;
    const ConsoleUi::AppliedBranding& shown = context.Ui.Branding;
    const BrandingResult result = LoadBranding(ws, [](std::size_t count) { return RandomIndex(count); });
    if (!result.ConfigFound) {
        Print(context.Out, "Config", "none (" + ws.SettingsFile(ConfigFileName) + ")");
        Print(context.Out, "Title", std::string(DefaultTitle));
        return ExitOk;
    }
    Print(context.Out, "Config", ws.SettingsFile(ConfigFileName));
    Print(context.Out, "Title", shown.Title);
    Print(context.Out, "Affiliate", ws.AffiliateID);
    if (shown.BannerStripHidden) {
        Print(context.Out, "Banner",
              ws.BannerPath.empty() ? "none (strip hidden)"
                                    : ws.BannerPath + " (no " + result.BannerImageFile + ": strip hidden)");
    } else {
        Print(context.Out, "Banner",
              ws.BannerPath + " from " + result.BannerImageFile + ", " +
                  (shown.BannerAnimated ? "animated GIF " : "picture ") + std::to_string(shown.BannerWidth) +
                  "x" + std::to_string(shown.BannerHeight) + ", strip " +
                  std::to_string(shown.BannerStripHeight) + " high");
        Print(context.Out, "Opens", ws.BannerURL.empty() ? "nothing" : ws.BannerURL);
    }
    for (int i = 0; i < 2; ++i)
        Print(context.Out, "Link " + std::to_string(i + 1),
              "\"" + shown.LinkCaptions[i] + "\" -> " +
                  (shown.LinkAddresses[i].empty() ? std::string("(none)") : shown.LinkAddresses[i]));
    Print(context.Out, "Skin",
          result.SkinFile.empty() ? std::string("built-in")
          : shown.SkinApplied     ? result.SkinFile + " (" + std::to_string(shown.SkinStyleSheet.size()) +
                                    " bytes of style sheet)"
                              : result.SkinFile + " holds no skin: built-in");
    Print(context.Out, "Icon", shown.IconFile.empty() ? std::string("unchanged") : shown.IconFile);
    return ExitOk;
}

// "Check Updates": the questions are answered by --yes.
QCoro::Task<int> CheckUpdates(CliContext& context, const Arguments&) {
    // The updater is started as the window starts it.
    static SystemShell shell;
    if (!context.Ws.Shell)
        context.Ws.Shell = &shell;
    const UpdateCheckEnd end = co_await CheckForUpdates(context.Ws, false);
    context.Ui.RethrowReportedError();
    if (context.Ui.Closed)
        std::fprintf(context.Err, "The updater was started; the program ends here.\n");
    // A declined offer did what was asked; an updater that could not be started did not.
    const bool failed = end == UpdateCheckEnd::UpdaterMissing || end == UpdateCheckEnd::ClientBusy ||
                        end == UpdateCheckEnd::DownloadFailed || end == UpdateCheckEnd::OpenerMissing;
    co_return failed ? ExitFailed : ExitOk;
}

} // namespace

void RegisterBrandingCommands(CommandTable& table) {
    table.Add(
        {"--branding",
         {},
         "apply dbconfig.dat's branding as the window does and print the title, banner, links, skin and icon",
         {},
         ShowBranding});
    table.Add({"--check-updates",
               {},
               "check the update folder for a newer version, as \"Check Updates\" does (--yes agrees)",
               {},
               {},
               CheckUpdates});
}

} // namespace vorlith::cli
