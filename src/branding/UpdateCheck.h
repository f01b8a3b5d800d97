#pragma once
// The update check: the published version in the update folder's description file against ours,
// and the hand-over to the updater program.

#include <bit>
#include <cstdint>
#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view UpdateFolderPath = "/liveupdate/vorlith/";
// 1.04 in single precision: exactly 1.03999996185302734375.
inline constexpr float VersionNumber = std::bit_cast<float>(std::uint32_t{0x3F851EB8});
inline constexpr std::string_view UpdaterFlag = "A";
inline constexpr std::string_view UpdateDescriptionFile = "mainappupdate.inf";
inline constexpr std::string_view UpdaterFile = "Updater.exe";
inline constexpr std::string_view UpdateSection = "APPLICATION";
inline constexpr std::string_view UpdateVersionKey = "Version";

inline constexpr std::string_view NewUpdateTextStart = "There is a new update: (version ";
inline constexpr std::string_view NewUpdateTextEnd =
    ") available for your application!. Do you want download this update now?";
inline constexpr std::string_view UpdaterMissingText =
    "The updater module is missing. Please reinstall again the current version!";
inline constexpr std::string_view CloseToUpdateText =
    "To update your software the application will close to\n\r"
    "replace some files. Do you want to update now?";
// The silent start-up check gives up after this long without data: nobody can stop it.
inline constexpr int SilentCheckGiveUpMs = 30'000;

inline constexpr std::string_view NoUpdatesText = "There's no new updates for this application!";
// Followed by the host and the cause.
inline constexpr std::string_view UpdateCheckFailedText = "The check for updates failed: ";

// UpdateBase + "/liveupdate/vorlith/".
std::string UpdateFolderURL(const Workspace& ws);

// The decimal separator of the user's number format (QLocale's default locale).
char UserDecimalSeparator();

// A decimal number written with the given separator: blanks before and after, a leading sign and
// an exponent (E or e) accepted, nothing else. The nearest single-precision value, or 0 for a
// text that is no such number (the empty text included).
float ReadVersionNumber(std::string_view text, char decimalSeparator);

// General number format with 15 significant digits, trailing zeros dropped.
std::string FormatGeneral15(double value, char decimalSeparator);

// The updater's parameter text: folder, our version, flag, separated by single blanks.
std::string UpdaterParameters(const Workspace& ws, char decimalSeparator);

// Downloads the description, offers a newer version and starts the updater. Silent only keeps
// the "no new updates" message back. An installed copy (Workspace::InstalledCopy) opens the maker's
// site once the offer is accepted and stops there.
// How a check ended, for callers that must tell a failure from a declined offer.
// DownloadFailed: the description could not be downloaded (said as such unless Silent).
enum class UpdateCheckEnd {
    ClientBusy,
    NoUpdate,
    Declined,
    MakerSiteOpened,
    UpdaterMissing,
    UpdaterStarted,
    DownloadFailed,
    OpenerMissing
};

// A run (ws.Runs): the window adopts it, the terminal awaits it. What escapes it goes to the
// error window.
QCoro::Task<UpdateCheckEnd> CheckForUpdates(Workspace& ws, bool Silent);
QCoro::Task<UpdateCheckEnd> CheckForUpdates(Workspace& ws, bool Silent, char decimalSeparator);

// "Check Updates": the run, adopted.
void CheckForUpdatesNow(Workspace& ws);

} // namespace vorlith
