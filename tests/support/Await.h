#pragma once
// Awaiting the program's coroutines from a test: the event loop runs until the work has ended,
// and a hook may act at each turn of the loop, as a user's click would arrive.

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

namespace vorlith::test {

inline void RunLoopUntil(const std::function<bool()>& done, const std::function<void()>& eachTurn = {}) {
    QEventLoop loop;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, &loop, [&] {
        if (eachTurn)
            eachTurn();
        if (done())
            loop.quit();
    });
    turn.start(0);
    if (!done())
        loop.exec();
    // Once the application is leaving, every loop refuses to run.
    if (!done())
        throw std::runtime_error("The event loop ended before the awaited work");
}

// The task's result; what escaped it is thrown here (QCoro::waitFor would lose it and hang).
template <typename T> T Await(QCoro::Task<T> task, const std::function<void()>& eachTurn = {}) {
    std::optional<T> value;
    std::exception_ptr error;
    auto watch = [&]() -> QCoro::Task<void> {
        try {
            value = co_await task;
        } catch (...) {
            error = std::current_exception();
        }
    };
    const QCoro::Task<void> watching = watch();
    RunLoopUntil([&] { return value || error; }, eachTurn);
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}

inline void AwaitRuns(Workspace& ws, ScriptedUi& ui) {
    RunLoopUntil([&ws] { return ws.Runs.Idle(); }, [&ui] { ui.OnTurn ? ui.OnTurn() : void(); });
}

// FetchPage as the tests read it: an Aborted set before leaves page as it was, another failure
// empties it.
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

} // namespace vorlith::test
