#include "workspace/PageFetcher.h"

#include "workspace/Workspace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith {

namespace {

constexpr std::string_view BusyText =
    "The HTTP client is busy with another request; try again when it has finished";

std::string SystemError(std::string_view what, const std::string& path, int error) {
    return std::string(what) + " \"" + path + "\": " + std::strerror(error);
}

// A file held open with an exclusive lock while the body is written into it. The lock is taken
// before the file is emptied, so a second writer fails without clobbering the first one's bytes.
class LockedFile final : public HttpSink {
public:
    explicit LockedFile(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            throw std::runtime_error(SystemError("Cannot create file", path, errno));
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd_);
            fd_ = -1;
            if (error == EWOULDBLOCK)
                throw std::runtime_error("Cannot create file \"" + path + "\": another request is using it");
            throw std::runtime_error(SystemError("Cannot create file", path, error));
        }
        // Only a file left behind is emptied: truncating makes ext4 write the new bytes out at
        // close (its replace-by-truncate guard), which costs a disk round trip per fetch.
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || (info.st_size > 0 && ::ftruncate(fd_, 0) != 0)) {
            const int error = errno;
            CloseQuietly();
            throw std::runtime_error(SystemError("Cannot create file", path, error));
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile() { CloseQuietly(); }

    void Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error(SystemError("Cannot write file", path_, errno));
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
            written_ = true;
        }
    }
    void Clear() override {
        if (!written_)
            return;
        written_ = false;
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
            throw std::runtime_error(SystemError("Cannot empty file", path_, errno));
    }
    void Close() {
        if (fd_ < 0)
            return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw std::runtime_error(SystemError("Cannot close file", path_, errno));
    }
    void CloseQuietly() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool written_ = false;
};

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read file \"" + path + "\"");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("Cannot read file \"" + path + "\"");
    return bytes;
}

void RemoveQuietly(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

std::int32_t Count32(std::int64_t count) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

std::string PageText(std::string_view body) {
    body = body.substr(0, body.find('\0'));
    std::string text;
    text.reserve(body.size() + body.size() / 16 + 2);
    const char* const data = body.data();
    const std::size_t size = body.size();
    std::size_t pos = 0;
    while (pos < size) {
        // A plain loop: find_first_of calls memchr once per byte.
        std::size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        text.append(data + pos, end - pos);
        text += "\r\n";
        pos = end;
        if (pos < size)
            pos += data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n' ? 2 : 1;
    }
    return text;
}

bool FetchPage(Workspace& ws, std::string_view address, std::string& page) {
    if (ws.Aborted)
        return false;
    page.clear();
    // Another request is waiting on the client: refuse before anything is created or sent.
    if (ws.http.Busy())
        throw std::runtime_error(std::string(BusyText));
    const std::string scratch = ws.ProgramFolder + std::string(ScratchFileName);
    LockedFile file(scratch);
    bool fetched = false;
    try {
        ws.SetMainStatus(std::string(GettingUrlText) + std::string(address) +
                         std::string(GettingUrlEllipsis));
        ws.gauge.SetValue(0);
        ws.ShowGauge();
        ws.Ui.Pump();
        ws.http.Get(address, file);
        file.Close();
        ws.http.Disconnect();
        if (ws.Aborted) {
            ws.SetMainStatus(AbortedText);
        } else {
            page = PageText(ReadWholeFile(scratch));
            ws.SetMainStatus(CompletedText);
            fetched = true;
        }
    } catch (const std::exception&) {
        ws.http.Disconnect();
        page.clear();
        // A GET cut by the user's Stop ends with an error as often as not; nothing failed but the stop.
        ws.SetMainStatus(ws.Aborted ? AbortedText : ConnectionErrorText);
        file.CloseQuietly();
        fetched = false;
    }
    RemoveQuietly(scratch);
    return fetched;
}

bool DownloadFile(Workspace& ws, std::string_view address, const std::string& targetFile) {
    if (ws.http.Busy())
        throw std::runtime_error(std::string(BusyText));
    if (std::filesystem::is_directory(targetFile))
        throw std::runtime_error("Cannot create file \"" + targetFile + "\": it is a folder");
    if (std::filesystem::exists(std::filesystem::symlink_status(targetFile)))
        std::filesystem::remove(targetFile);
    LockedFile file(targetFile);
    try {
        ws.Ui.Pump();
        ws.http.Get(address, file);
        file.Close();
        ws.http.Disconnect();
        return true;
    } catch (const std::exception&) {
        ws.http.Disconnect();
        file.CloseQuietly();
        RemoveQuietly(targetFile);
        return false;
    }
}

void ShowTransferBegin(Workspace& ws, WorkMode, std::int32_t AWorkCountMax) {
    ws.gauge.SetMaximum(AWorkCountMax);
    ws.gauge.SetValue(0);
    ws.ShowGauge();
    ws.Ui.Pump();
}

void ShowTransferProgress(Workspace& ws, WorkMode, std::int32_t AWorkCount) {
    if (ws.Aborted)
        ws.http.Disconnect();
    ws.gauge.SetValue(AWorkCount);
    ws.ShowGauge();
    ws.Ui.Pump();
}

void ShowTransferEnd(Workspace& ws, WorkMode) {
    ws.gauge.SetValue(ws.gauge.Maximum());
    ws.ShowGauge();
    ws.Ui.Pump();
}

void AttachProgressHandlers(Workspace& ws) {
    ws.http.OnWorkBegin = [&ws](WorkMode mode, std::int64_t max) {
        ShowTransferBegin(ws, mode, Count32(max));
    };
    ws.http.OnWork = [&ws](WorkMode mode, std::int64_t count) {
        ShowTransferProgress(ws, mode, Count32(count));
    };
    ws.http.OnWorkEnd = [&ws](WorkMode mode) { ShowTransferEnd(ws, mode); };
    ws.http.OnIdle = [&ws] { ws.Ui.Pump(); };
}

} // namespace vorlith
