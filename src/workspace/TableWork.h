#pragma once
// Long work on the table's rows (an export of a million rows) off the window's thread. The
// command's coroutine awaits it while the window stays live; once it has taken 300 ms its
// progress is shown, and Esc cancels it. One piece of work at a time.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <qcoro/qcorotask.h>

namespace vorlith {

class Workspace;

class TableWork {
public:
    // Shared with the worker: it counts Done and looks at Cancelled between rows.
    struct Control {
        std::atomic<std::size_t> Done{0};
        std::atomic<bool> Cancelled{false};
    };
    static constexpr std::chrono::milliseconds ProgressDelay{300};

    bool Busy() const { return control_ != nullptr; }
    // Asks the work under way to stop; false when there is none.
    bool Cancel();

    // Runs job on a worker thread and resumes once it has ended: true when it ran to its end,
    // false when it was cancelled. What the job throws is thrown here. progress(done) is called
    // now and then once ProgressDelay has passed. Throws std::logic_error while Busy().
    QCoro::Task<bool> Run(std::function<void(Control&)> job, std::function<void(std::size_t)> progress);

private:
    std::shared_ptr<Control> control_;
};

// Long reads that look at a stop flag now and then end with this once it is raised; the worker's
// caller takes it as a cancel.
class WorkStopped : public std::exception {
public:
    const char* what() const noexcept override { return "Table work cancelled"; }
};
// Throws WorkStopped when stop is given and raised.
inline void StopIfAsked(const std::atomic<bool>* stop) {
    if (stop && stop->load(std::memory_order_relaxed))
        throw WorkStopped();
}

// What Esc did, in the order it tries: cancel long table work, stop the run or request under
// way, or (nothing of those going on) the window empties the filter box.
enum class EscapeOutcome { CancelledWork, StoppedRun, ClearFilter };
EscapeOutcome Escape(Workspace& ws);

} // namespace vorlith
