#pragma once
// The page fetcher: FetchPage and DownloadFile over the workspace's HTTP client, and the
// progress handlers that tie the client to the gauge and carry a stop request to it.

#include "net/HttpClient.h"

#include <cstdint>
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

// Fetches a page into text. False when Aborted was already set (nothing sent, nothing touched),
// when the request failed, or when it was stopped. Throws when the scratch file cannot be created
// (another fetch holds it) or when the client is busy with another request.
bool FetchPage(Workspace& ws, std::string_view address, std::string& page);

// Stores the answer's body in targetFile. Never leaves a file behind after a failure. Throws when
// the target cannot be created or when the client is busy with another request.
bool DownloadFile(Workspace& ws, std::string_view address, const std::string& targetFile);

// Stores the answer's body in targetFile through a temporary file beside it, renamed over it only
// when the whole body has arrived: a failure leaves an existing targetFile as it was.
bool DownloadFileReplacing(Workspace& ws, std::string_view address, const std::string& targetFile);

// The body's bytes as page text: cut at the first NUL, every line ended by CR LF.
std::string PageText(std::string_view body);

// The client's progress handlers: they drive the gauge and carry a stop request to the client.
void ShowTransferBegin(Workspace& ws, WorkMode AWorkMode, std::int32_t AWorkCountMax);
void ShowTransferProgress(Workspace& ws, WorkMode AWorkMode, std::int32_t AWorkCount);
void ShowTransferEnd(Workspace& ws, WorkMode AWorkMode);

// Wires the client's progress and waiting to the workspace's handlers and window.
void AttachProgressHandlers(Workspace& ws);

} // namespace vorlith
