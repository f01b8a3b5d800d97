#include "workspace/TableWork.h"

#include "workspace/Workspace.h"

#include <exception>
#include <qcoro/qcorotimer.h>
#include <stdexcept>
#include <thread>

namespace vorlith {

bool TableWork::Cancel() {
    if (!control_)
        return false;
    control_->Cancelled = true;
    return true;
}

QCoro::Task<bool> TableWork::Run(std::function<void(Control&)> job,
                                 std::function<void(std::size_t)> progress) {
    if (control_)
        throw std::logic_error("Long table work is already under way");
    auto control = std::make_shared<Control>();
    struct Worker {
        std::shared_ptr<Control> control;
        std::atomic<bool> finished{false};
        std::exception_ptr error;
        std::thread thread;
        // A window closed mid-way destroys the waiting coroutine: the worker is stopped first.
        ~Worker() {
            control->Cancelled = true;
            if (thread.joinable())
                thread.join();
        }
    };
    auto worker = std::make_unique<Worker>();
    worker->control = control;
    Worker* w = worker.get();
    w->thread = std::thread([w, job = std::move(job)] {
        try {
            job(*w->control);
        } catch (...) {
            w->error = std::current_exception();
        }
        w->finished = true;
    });
    control_ = control;
    struct Release {
        TableWork& work;
        ~Release() { work.control_.reset(); }
    } release{*this};
    const auto start = std::chrono::steady_clock::now();
    // At least one turn of the loop, however quick the job: the caller always gets the window
    // back (and sees Busy()) before the work's result is applied.
    do {
        co_await QCoro::sleepFor(std::chrono::milliseconds(25));
        if (progress && std::chrono::steady_clock::now() - start >= ProgressDelay)
            progress(control->Done.load());
    } while (!w->finished);
    w->thread.join();
    if (w->error)
        std::rethrow_exception(w->error);
    co_return !control->Cancelled.load();
}

EscapeOutcome Escape(Workspace& ws) {
    if (ws.Work.Cancel())
        return EscapeOutcome::CancelledWork;
    if (!ws.Runs.Idle() || ws.http.Busy()) {
        ws.Runs.Stop();
        return EscapeOutcome::StoppedRun;
    }
    return EscapeOutcome::ClearFilter;
}

} // namespace vorlith
