#include "workspace/PageFetcher.h"

#include "workspace/Workspace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
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
    enum class Create { Reuse, Exclusive };

    LockedFile(const std::string& path, Create how) : path_(path) {
        if (how == Create::Exclusive)
            OpenExclusive();
        else
            OpenReusing();
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
    // What was written, read back through the handle: the name may no longer be ours to read.
    std::string ReadBack() {
        std::string bytes;
        char block[65536];
        for (off_t offset = 0;;) {
            const ssize_t got = ::pread(fd_, block, sizeof block, offset);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error(SystemError("Cannot read file", path_, errno));
            }
            if (got == 0)
                return bytes;
            bytes.append(block, static_cast<std::size_t>(got));
            offset += got;
        }
    }
    // Removes the name while the lock is still held, so that no other fetch can take the file
    // between our last write and its removal.
    void RemoveName() {
        if (fd_ >= 0 && StillNamed())
            ::unlink(path_.c_str());
    }
    void Close() {
        if (fd_ < 0)
            return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw std::runtime_error(SystemError("Cannot close file", path_, errno));
    }
    int Handle() const { return fd_; }
    void CloseQuietly() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    [[noreturn]] void Busy() {
        CloseQuietly();
        throw std::runtime_error("Cannot create file \"" + path_ + "\": another request is using it");
    }
    [[noreturn]] void Failed(int error) {
        CloseQuietly();
        throw std::runtime_error(SystemError("Cannot create file", path_, error));
    }
    // True when the path still names the file we hold.
    bool StillNamed() const {
        struct stat held {
        }, named{};
        return ::fstat(fd_, &held) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }
    bool Lock() {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EWOULDBLOCK)
            return false;
        Failed(errno);
    }

    // A scratch file: created new, never through a link. A leftover (a file no fetch holds, a
    // link, anything but a file) is removed first.
    void OpenExclusive() {
        for (int attempt = 0; attempt < 100; ++attempt) {
            fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd_ >= 0) {
                if (!Lock())
                    Busy(); // another fetch opened it first and holds it
                if (StillNamed())
                    return;
                CloseQuietly(); // taken for a leftover and removed by another fetch
                continue;
            }
            if (errno != EEXIST)
                Failed(errno);
            struct stat named {};
            if (::lstat(path_.c_str(), &named) != 0)
                continue; // gone meanwhile
            if (!S_ISREG(named.st_mode)) {
                if (S_ISDIR(named.st_mode))
                    Failed(EISDIR);
                ::unlink(path_.c_str());
                continue;
            }
            fd_ = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd_ < 0)
                continue;
            if (!Lock())
                Busy();
            if (StillNamed())
                ::unlink(path_.c_str()); // a leftover of a fetch that ended without removing it
            CloseQuietly();
        }
        Failed(EEXIST);
    }

    // A file the user named: replaced in place, as it was.
    void OpenReusing() {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            Failed(errno);
        if (!Lock())
            Busy();
        // Only a file left behind is emptied: truncating makes ext4 write the new bytes out at
        // close (its replace-by-truncate guard), which costs a disk round trip per fetch.
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || (info.st_size > 0 && ::ftruncate(fd_, 0) != 0))
            Failed(errno);
    }

    std::string path_;
    int fd_ = -1;
    bool written_ = false;
};

// A redirect loop leaves nothing to store: that is no download.
bool Downloaded(const HttpClient::Result& got) {
    return got.Ok() && !got.StillRedirecting;
}

// What a replaced target's mode was, if it exists. A read-only target is refused, as Save refuses
// it: root, whom access() lets write anything, is refused by the file's mode.
std::optional<struct stat> WritableTarget(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (::access(path.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0)
        throw std::runtime_error(SystemError("Cannot replace file", path, EACCES));
    return info;
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

QCoro::Task<FetchResult> FetchPage(Workspace& ws, std::string address) {
    FetchResult result;
    if (ws.Runs.Aborted())
        co_return result;
    // Another request is waiting on the client: refuse before anything is created or sent.
    if (ws.http.Busy())
        throw std::runtime_error(std::string(BusyText));
    const std::string scratch = ws.ProgramFolder + std::string(ScratchFileName);
    LockedFile file(scratch, LockedFile::Create::Exclusive);
    try {
        ws.SetMainStatus(std::string(GettingUrlText) + address + std::string(GettingUrlEllipsis));
        ws.gauge.SetValue(0);
        ws.ShowGauge();
        auto request = ws.http.For(address);
        request.Cancel = ws.Runs.Token();
        const HttpClient::Result got = co_await ws.http.Get(std::move(request), file);
        ws.http.Disconnect();
        result.Status = got.Status;
        result.Detail = got.Error;
        result.Cause = got.Cause;
        if (ws.Runs.Aborted()) {
            result.Reason = AbortedText;
        } else if (got.Ok()) {
            result.Page = PageText(file.ReadBack());
            result.Ok = true;
        } else {
            result.Reason = ConnectionErrorText;
        }
    } catch (const std::exception& error) {
        ws.http.Disconnect();
        // A GET cut by the user's Stop ends with an error as often as not; nothing failed but the stop.
        result = {};
        result.Reason = ws.Runs.Aborted() ? AbortedText : ConnectionErrorText;
        result.Detail = error.what();
        result.Cause = {HttpFailure::Kind::Other, {}, 0, error.what()};
    }
    if (!result.Ok && ws.Runs.Aborted())
        result.Cause.What = HttpFailure::Kind::Stopped;
    ws.SetMainStatus(result.Ok ? CompletedText : result.Reason, result.Ok ? std::string() : result.Cause.Text());
    // The lock goes only after the name: another fetch never sees our page half-removed.
    file.RemoveName();
    file.CloseQuietly();
    co_return result;
}

QCoro::Task<bool> DownloadFile(Workspace& ws, std::string address, std::string targetFile,
                               int readTimeoutMs, int totalTimeoutMs) {
    if (ws.http.Busy())
        throw std::runtime_error(std::string(BusyText));
    if (std::filesystem::is_directory(targetFile))
        throw std::runtime_error("Cannot create file \"" + targetFile + "\": it is a folder");
    if (std::filesystem::exists(std::filesystem::symlink_status(targetFile)))
        std::filesystem::remove(targetFile);
    LockedFile file(targetFile, LockedFile::Create::Reuse);
    bool stored = false;
    try {
        auto request = ws.http.For(address);
        request.Cancel = ws.Runs.Token();
        if (readTimeoutMs != 0)
            request.Limits.ReadTimeoutMs = readTimeoutMs;
        if (totalTimeoutMs != 0)
            request.Limits.TotalTimeoutMs = totalTimeoutMs;
        const HttpClient::Result got = co_await ws.http.Get(std::move(request), file);
        if (Downloaded(got)) {
            file.Close();
            stored = true;
        }
    } catch (const std::exception&) {
    }
    ws.http.Disconnect();
    if (!stored) {
        file.CloseQuietly();
        RemoveQuietly(targetFile);
    }
    co_return stored;
}

QCoro::Task<bool> DownloadFileReplacing(Workspace& ws, std::string address, std::string targetFile) {
    if (ws.http.Busy())
        throw std::runtime_error(std::string(BusyText));
    if (std::filesystem::is_directory(targetFile))
        throw std::runtime_error("Cannot create file \"" + targetFile + "\": it is a folder");
    const std::optional<struct stat> kept = WritableTarget(targetFile);
    const auto slash = targetFile.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : targetFile.substr(0, slash + 1);
    // Short, so that any legal target name leaves room for it.
    static std::atomic<unsigned> downloads{0};
    const std::string temporary =
        folder + ".vorlith-" + std::to_string(::getpid()) + "-" + std::to_string(++downloads) + ".part";
    LockedFile file(temporary, LockedFile::Create::Exclusive);
    bool stored = false;
    try {
        auto request = ws.http.For(address);
        request.Cancel = ws.Runs.Token();
        const HttpClient::Result got = co_await ws.http.Get(std::move(request), file);
        ws.http.Disconnect();
        if (Downloaded(got)) {
            if (kept)
                ::fchmod(file.Handle(), kept->st_mode & 07777);
            file.Close();
            stored = ::rename(temporary.c_str(), targetFile.c_str()) == 0;
        }
    } catch (const std::exception&) {
        ws.http.Disconnect();
    }
    if (!stored) {
        file.RemoveName();
        file.CloseQuietly();
        RemoveQuietly(temporary);
    }
    co_return stored;
}

void ShowTransferBegin(Workspace& ws, WorkMode, std::int32_t AWorkCountMax) {
    ws.gauge.SetMaximum(AWorkCountMax);
    ws.gauge.SetValue(0);
    ws.ShowGauge();
}

void ShowTransferProgress(Workspace& ws, WorkMode, std::int32_t AWorkCount) {
    if (ws.Runs.Aborted())
        ws.http.Disconnect();
    ws.gauge.SetValue(AWorkCount);
    ws.ShowGauge();
}

void ShowTransferEnd(Workspace& ws, WorkMode) {
    ws.gauge.SetValue(ws.gauge.Maximum());
    ws.ShowGauge();
}

void AttachProgressHandlers(Workspace& ws) {
    ws.http.OnWorkBegin = [&ws](WorkMode mode, std::int64_t max) {
        ShowTransferBegin(ws, mode, Count32(max));
    };
    ws.http.OnWork = [&ws](WorkMode mode, std::int64_t count) {
        ShowTransferProgress(ws, mode, Count32(count));
    };
    ws.http.OnWorkEnd = [&ws](WorkMode mode) { ShowTransferEnd(ws, mode); };
}

} // namespace vorlith
