#pragma once
// Awaiting the program's coroutines from a test: the event loop runs until the task or every run
// has ended, and a hook may act at each turn of the loop, as a user's click would arrive.

#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <qcoro/qcorotask.h>

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
}

// The task's result once it has ended; what escaped it is thrown here.
template <typename T> T Await(QCoro::Task<T> task, const std::function<void()>& eachTurn = {}) {
    RunLoopUntil([&task] { return task.isReady(); }, eachTurn);
    return QCoro::waitFor(std::move(task));
}

// Until no run goes on; the scripted window's OnTurn acts at every turn.
inline void AwaitRuns(Workspace& ws, ScriptedUi& ui) {
    RunLoopUntil([&ws] { return ws.Runs.Idle(); }, [&ui] {
        if (ui.OnTurn)
            ui.OnTurn();
    });
}

} // namespace vorlith::test
