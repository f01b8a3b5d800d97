#pragma once
// The page fetcher: FetchPage and DownloadFile over the workspace's HTTP client, and the
// progress handlers that tie the client to the gauge and carry a stop request to it. Each is an
// awaitable job under the current run's cancel token.

#include "net/HttpClient.h"

#include <cstdint>
#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view ScratchFileName = "test.html";
inline constexpr std::string_view GettingUrlText = "Getting URL: ";
inline constexpr std::string_view GettingUrlEllipsis = "...";
inline constexpr std::string_view CompletedText = "Process completed sucessfull!";
inline constexpr std::string_view AbortedText = "Process aborted!";
inline constexpr std::string_view ConnectionErrorText =
    "Connection error, check if you are connected and url exists.";

// What a fetch brought: the page text, or why there is none.
struct FetchResult {
    bool Ok = false;
    std::string Page; // empty unless Ok
    int Status = 0;   // the final answer's status, 0 when none came
    // On failure: the status bar's text (ConnectionErrorText, or AbortedText after a stop), and
    // what went wrong as the client saw it (empty when nothing was sent).
    std::string_view Reason;
    std::string Detail;
    HttpFailure Cause; // the host and the kind of failure; None on success
};

// Fetches a page into text. Fails at once when Aborted was already set (nothing sent, nothing
// touched), when the request failed, or when it was stopped. Throws when the scratch file cannot
// be created (another fetch holds it) or when the client is busy with another request.
QCoro::Task<FetchResult> FetchPage(Workspace& ws, std::string address);

// Stores the answer's body in targetFile. Never leaves a file behind after a failure. Throws when
// the target cannot be created or when the client is busy with another request. readTimeoutMs
// and totalTimeoutMs, when not 0, replace the client's limits for this request. A GET still
// redirecting at its last request stores nothing.
QCoro::Task<bool> DownloadFile(Workspace& ws, std::string address, std::string targetFile,
                               int readTimeoutMs = 0, int totalTimeoutMs = 0);

// Stores the answer's body in targetFile through a temporary file beside it, renamed over it only
// when the whole body has arrived: a failure leaves an existing targetFile as it was. A replaced
// target keeps its mode; a read-only one is refused (throws) before anything is sent.
QCoro::Task<bool> DownloadFileReplacing(Workspace& ws, std::string address, std::string targetFile);

// The body's bytes as page text: cut at the first NUL, every line ended by CR LF.
std::string PageText(std::string_view body);

// The client's progress handlers: they drive the gauge and carry a stop request to the client.
void ShowTransferBegin(Workspace& ws, WorkMode AWorkMode, std::int32_t AWorkCountMax);
void ShowTransferProgress(Workspace& ws, WorkMode AWorkMode, std::int32_t AWorkCount);
void ShowTransferEnd(Workspace& ws, WorkMode AWorkMode);

// Wires the client's progress to the workspace's handlers.
void AttachProgressHandlers(Workspace& ws);

} // namespace vorlith
