#include "branding/UpdateCheck.h"

#include "branding/WebPages.h"
#include "net/HttpAddress.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Shell.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <QLocale>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

namespace vorlith {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Names reserved for documentation and for names that never resolve: the default update folder
// lies there until the program is published, and asking a resolver about it would only fail.
bool ReservedHost(std::string_view address) {
    std::string host;
    try {
        host = ParseHttpAddress(address).Host;
    } catch (const std::exception&) {
        return false; // the download reports the bad address as a failure
    }
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    for (const std::string_view name : {"example", "invalid"})
        if (host == name || host.ends_with("." + std::string(name)))
            return true;
    return false;
}

} // namespace

std::string UpdateFolderURL(const Workspace& ws) {
    return ws.Endpoints.UpdateBase + std::string(UpdateFolderPath);
}

char UserDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80)
        return static_cast<char>(point[0].unicode());
    return '.';
}

float ReadVersionNumber(std::string_view text, char decimalSeparator) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);

    // Rewritten with a dot, checked on the way, then read independently of the C locale.
    std::string number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number.push_back(text[i++]);
    int digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        number.push_back(text[i++]), ++digits;
    if (i < text.size() && text[i] == decimalSeparator) {
        number.push_back('.');
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            number.push_back(text[i++]), ++digits;
    }
    if (digits == 0)
        return 0;
    bool positiveExponent = true;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        number.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            positiveExponent = text[i] == '+';
            number.push_back(text[i++]);
        }
        int exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i]))
            number.push_back(text[i++]), ++exponentDigits;
        if (exponentDigits == 0)
            return 0;
    }
    if (i != text.size())
        return 0;

    const char* first = number.data();
    if (*first == '+')
        ++first; // from_chars takes no plus sign
    float value = 0;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Beyond single precision: as large as it gets, or as small.
        const bool negative = number.front() == '-';
        value = positiveExponent ? std::numeric_limits<float>::infinity() : 0.0f;
        return negative ? -value : value;
    }
    if (error != std::errc() || end != number.data() + number.size())
        return 0;
    return value;
}

std::string FormatGeneral15(double value, char decimalSeparator) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, error == std::errc() ? end : buffer);
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

std::string UpdaterParameters(const Workspace& ws, char decimalSeparator) {
    return UpdateFolderURL(ws) + " " + FormatGeneral15(static_cast<double>(VersionNumber), decimalSeparator) +
           " " + std::string(UpdaterFlag);
}

namespace {
QCoro::Task<UpdateCheckEnd> Check(Workspace& ws, bool Silent, char decimalSeparator);
}

QCoro::Task<UpdateCheckEnd> CheckForUpdates(Workspace& ws, bool Silent) {
    return CheckForUpdates(ws, Silent, UserDecimalSeparator());
}

QCoro::Task<UpdateCheckEnd> CheckForUpdates(Workspace& ws, bool Silent, char decimalSeparator) {
    // The client serves one request at a time: while another command's request or a search-count
    // run holds it, the start-up check is left out and the button is refused.
    if (Silent ? CurrentClientState(ws) != ClientState::Free : RefuseWhileClientBusy(ws))
        co_return UpdateCheckEnd::ClientBusy;
    const auto running = ws.Runs.Begin(Silent ? RunKind::StartupCheck : RunKind::UpdateCheck);
    try {
        co_return co_await Check(ws, Silent, decimalSeparator);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), Silent ? "Timer1Timer" : "Check Updates");
    }
    co_return UpdateCheckEnd::NoUpdate;
}

namespace {

QCoro::Task<UpdateCheckEnd> Check(Workspace& ws, bool Silent, char decimalSeparator) {
    // Nobody can stop the silent check: it gives up on a silent server.
    int readTimeout = ws.http.Options().ReadTimeoutMs;
    int totalTimeout = ws.http.Options().TotalTimeoutMs;
    if (Silent && (readTimeout == 0 || readTimeout > SilentCheckGiveUpMs))
        readTimeout = SilentCheckGiveUpMs;
    // Nor can a trickle hold it: the whole download has the same limit.
    if (Silent && (totalTimeout == 0 || totalTimeout > SilentCheckGiveUpMs))
        totalTimeout = SilentCheckGiveUpMs;
    const std::string description = ws.ProgramFolder + std::string(UpdateDescriptionFile);
    const std::string address = UpdateFolderURL(ws) + std::string(UpdateDescriptionFile);
    bool downloaded = false;
    const bool reserved = ReservedHost(address);
    if (!reserved)
        downloaded = co_await DownloadFile(ws, address, description, readTimeout, totalTimeout);
    // Nothing came: saying "no new updates" would report a failure as success.
    if (!reserved && !downloaded) {
        if (!Silent) {
            std::string cause = ws.http.LastFailure().Text();
            if (cause.empty())
                cause = address + ": the file could not be stored in " + ws.ProgramFolder;
            ws.Ui.ShowMessage(MessageKind::Warning, std::string(UpdateCheckFailedText) + cause, MessageButtons::Ok);
        }
        co_return UpdateCheckEnd::DownloadFailed;
    }
    if (downloaded && FileExists(description)) {
        const std::string remoteText = ReadIniString(description, UpdateSection, UpdateVersionKey);
        if (VersionNumber < ReadVersionNumber(remoteText, decimalSeparator)) {
            const std::string question =
                std::string(NewUpdateTextStart) + remoteText + std::string(NewUpdateTextEnd);
            if (ws.Ui.ShowMessage(MessageKind::Information, question, MessageButtons::OkCancel) != mrOk)
                co_return UpdateCheckEnd::Declined;
            // A package manager updates an installed copy: the maker's site says what is new, and
            // there is no updater beside /usr/bin to start.
            if (ws.InstalledCopy) {
                const bool opened = OpenInBrowser(ws, ws.Endpoints.MakerSiteBase + "/");
                co_return opened ? UpdateCheckEnd::MakerSiteOpened : UpdateCheckEnd::OpenerMissing;
            }
            const std::string updater = ws.ProgramFolder + std::string(UpdaterFile);
            if (!FileExists(updater)) {
                ws.Ui.ShowMessage(MessageKind::Warning, UpdaterMissingText, MessageButtons::Ok);
                co_return UpdateCheckEnd::UpdaterMissing;
            }
            if (ws.Ui.ShowMessage(MessageKind::Information, CloseToUpdateText, MessageButtons::OkCancel) ==
                mrCancel)
                co_return UpdateCheckEnd::Declined;
            // Started by its absolute path: a relative one would be taken from the updater's folder.
            const std::string absolute = std::filesystem::absolute(updater).lexically_normal().string();
            if (ws.Shell && !ws.Shell->Open(absolute, UpdaterParameters(ws, decimalSeparator))) {
                ws.Ui.ShowMessage(MessageKind::Warning, "The updater could not be started: " + absolute,
                                  MessageButtons::Ok);
                co_return UpdateCheckEnd::UpdaterMissing;
            }
            // The user has just agreed to the close; the window does not ask again.
            ws.CloseAgreed = true;
            ws.Ui.CloseMainWindow();
            co_return UpdateCheckEnd::UpdaterStarted;
        }
    }
    if (!Silent)
        ws.Ui.ShowMessage(MessageKind::Information, NoUpdatesText, MessageButtons::Ok);
    co_return UpdateCheckEnd::NoUpdate;
}

} // namespace

void CheckForUpdatesNow(Workspace& ws) {
    ws.Runs.Adopt(CheckForUpdates(ws, false));
}

} // namespace vorlith
