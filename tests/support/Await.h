#pragma once
// Awaiting the program's coroutines from a test: the event loop runs until the task or every run
// has ended, and a hook may act at each turn of the loop, as a user's click would arrive.

#include "support/ScriptedUi.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stdexcept>
#include <type_traits>

namespace vorlith::test {

// Runs the loop until done() holds, calling eachTurn at every turn meanwhile.
inline void RunLoopUntil(const std::function<bool()>& done, const std::function<void()>& eachTurn = {}) {
    if (done())
        return;
    QEventLoop loop;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, &loop, [&] {
        if (eachTurn)
            eachTurn();
        if (done())
            loop.quit();
    });
    turn.start();
    loop.exec();
    // Once the application is leaving, every loop refuses to run.
    if (!done())
        throw std::runtime_error("The event loop ended before the awaited work");
}

// The task's result once it has ended; what escaped it is thrown here (QCoro::waitFor would
// lose it and wait for ever).
template <typename T> T Await(QCoro::Task<T> task, const std::function<void()>& eachTurn = {}) {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    std::exception_ptr error;
    auto watch = [&]() -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await task;
                value = true;
            } else {
                value = co_await task;
            }
        } catch (...) {
            error = std::current_exception();
        }
    };
    const QCoro::Task<void> watching = watch();
    RunLoopUntil([&] { return value || error; }, eachTurn);
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}

// FetchPage as a test reads it: true with the page, or false; an Aborted set before leaves page
// as it was, any other failure empties it.
inline bool FetchNow(Workspace& ws, std::string address, std::string& page,
                     const std::function<void()>& eachTurn = {}) {
    if (!ws.Runs.Aborted())
        page.clear();
    FetchResult fetched = Await(FetchPage(ws, std::move(address)), eachTurn);
    if (fetched.Ok)
        page = std::move(fetched.Page);
    return fetched.Ok;
}
inline bool DownloadNow(Workspace& ws, std::string address, std::string target) {
    return Await(DownloadFile(ws, std::move(address), std::move(target)));
}

// Until no run goes on; the scripted window's OnTurn acts at every turn.
inline void AwaitRuns(Workspace& ws, ScriptedUi& ui) {
    RunLoopUntil([&ws] { return ws.Runs.Idle(); },
                 [&ui] {
                     if (ui.OnTurn)
                         ui.OnTurn();
                 });
}

} // namespace vorlith::test
