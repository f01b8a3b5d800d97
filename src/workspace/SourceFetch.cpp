#include "workspace/SourceFetch.h"

#include "workspace/PageFetcher.h"
#include "workspace/SourceFormats.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <qcoro/qcorotimer.h>

namespace vorlith {

namespace {

// Waits are cut into slices so that a Stop is heard quickly.
constexpr int PauseSliceMs = 50;

std::string RefusalText(int status) {
    if (status == 429)
        return "429 Too Many Requests";
    if (status == 503)
        return "503 Service Unavailable";
    return std::to_string(status);
}

} // namespace

void MemorySink::Write(std::string_view bytes) {
    if (Bytes.size() + bytes.size() > cap_)
        throw HttpError("The answer is larger than " + std::to_string(cap_ >> 20) + " MiB");
    Bytes.append(bytes);
}

HttpClient::Request EntryRequest(const HttpClient& client, const SourceEntry& entry, std::string address,
                                 const CancelToken& cancel) {
    HttpClient::Request request = client.For(address);
    request.Cancel = cancel;
    request.UserAgent = entry.UserAgent;
    request.AcceptLanguage = entry.AcceptLanguage;
    return request;
}

int Jittered(int delayMs, std::mt19937& random) {
    if (delayMs <= 0)
        return 0;
    std::uniform_int_distribution<int> spread(delayMs - delayMs / 4, delayMs + delayMs / 4);
    return spread(random);
}

QCoro::Task<bool> PauseUnlessCancelled(int ms, CancelToken cancel) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cancel.Cancelled()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            co_return true;
        co_await QCoro::sleepFor(std::min(left, std::chrono::milliseconds(PauseSliceMs)));
    }
    co_return false;
}

QCoro::Task<SourceAnswer> AskEntry(HttpClient& client, const SourceEntry& entry, std::string address,
                                   CancelToken cancel, bool keepAlive) {
    SourceAnswer answer;
    const int attempts = entry.Polite() ? 1 + MaxRetries : 1;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (cancel.Cancelled()) {
            answer.What = SourceAnswer::Outcome::Stopped;
            co_return answer;
        }
        MemorySink sink;
        ++answer.Requests;
        HttpClient::Request request = EntryRequest(client, entry, address, cancel);
        request.KeepAlive = keepAlive;
        const HttpClient::Result got = co_await client.Get(std::move(request), sink);
        if (!keepAlive)
            client.Disconnect();
        if (cancel.Cancelled()) {
            answer.What = SourceAnswer::Outcome::Stopped;
            answer.Reason = AbortedText;
            co_return answer;
        }
        if (got.Ok()) {
            if (!entry.Polite()) {
                answer.Text = PageText(sink.Bytes);
                answer.What = SourceAnswer::Outcome::Read;
                co_return answer;
            }
            answer.Text = DecodeBody(sink.Bytes, got.ContentType, entry.Charset);
            if (const std::string blocked = BlockedTextIn(answer.Text, entry.Blocked); !blocked.empty()) {
                answer.What = SourceAnswer::Outcome::Blocked;
                answer.Reason = "the page says \"" + blocked + "\"";
                answer.Text.clear();
                co_return answer;
            }
            answer.What = SourceAnswer::Outcome::Read;
            co_return answer;
        }
        answer.Reason = got.Error;
        const bool refused = got.RefusedStatus == 429 || got.RefusedStatus == 503;
        if (!entry.Polite() || !refused)
            co_return answer;
        answer.Reason = RefusalText(got.RefusedStatus);
        if (attempt == attempts) {
            answer.What = SourceAnswer::Outcome::Blocked;
            co_return answer;
        }
        const int waitMs = RetryAfterMs(got.RetryAfter, QDateTime::currentSecsSinceEpoch());
        const bool waited = co_await PauseUnlessCancelled(waitMs, cancel);
        if (!waited) {
            answer.What = SourceAnswer::Outcome::Stopped;
            co_return answer;
        }
    }
    co_return answer;
}

std::string BlockedText(const SourceEntry& entry, std::string_view reason) {
    return entry.Name + ": blocked (" + std::string(reason) + ")";
}

} // namespace vorlith
