#pragma once
// The run state machine: which run goes on (Gather Keywords, Gather Data, Retry Failed, an update
// check), whether it was asked to stop, and the cancel token its jobs await under. It replaces
// the loose flags and the Gather Data caption that once stood for the state.
//
// A run is a coroutine on the event loop. Its root is handed to Adopt(); the root ends with End()
// (a guard from Begin() does it), so the window can wait for every run before it goes.

#include "net/CancelToken.h"

#include <QCoreApplication>
#include <coroutine>
#include <functional>
#include <qcoro/qcorotask.h>
#include <string_view>

namespace vorlith {

enum class RunKind { None, GatherKeywords, GatherData, RetryFailed, UpdateCheck, StartupCheck };
enum class RunPhase { Idle, Running, Stopping };

class Runs {
public:
    RunPhase Phase() const { return phase_; }
    RunKind Kind() const { return kind_; }
    bool Idle() const { return phase_ == RunPhase::Idle; }
    // A search-count run goes on and has not been stopped: its button reads "Stop".
    bool GatherDataRunning() const {
        return phase_ == RunPhase::Running && (kind_ == RunKind::GatherData || kind_ == RunKind::RetryFailed);
    }
    // Set by Stop(); a new run clears it. Jobs test it before they start.
    bool Aborted() const { return aborted_; }
    // The running run's token; between runs, one nothing cancels.
    const CancelToken& Token() const { return token_; }

    // Marks the run's start and returns the guard whose end marks its end.
    class Guard {
    public:
        explicit Guard(Runs* runs) : runs_(runs) {}
        Guard(Guard&& other) noexcept : runs_(std::exchange(other.runs_, nullptr)) {}
        Guard& operator=(Guard&&) = delete;
        ~Guard() {
            if (runs_)
                runs_->End();
        }

    private:
        Runs* runs_;
    };
    [[nodiscard]] Guard Begin(RunKind kind);
    // Aborted set and the token cancelled: the job awaited now ends at once. Between runs it only
    // sets Aborted (a request outside any run then stops at its first progress notice).
    void Stop();
    // Between runs: forgets an earlier Stop.
    void ClearAborted() {
        if (Idle())
            aborted_ = false;
    }

    // Lets a run's root go on by itself: a started QCoro task outlives its handle and ends on its
    // own; the root reports what escapes it, and the phase tells when it has ended.
    template <typename T> void Adopt(QCoro::Task<T> root) { (void)root; }

    // Called whenever the phase or the kind changes (the window shows the caption and header clicks).
    std::function<void()> OnChange;
    // Called once when the last run has ended, then forgotten.
    void WhenIdle(std::function<void()> then);
    // co_await ws.Runs.UntilIdle(): resumes, from the event loop, once no run goes on.
    auto UntilIdle() {
        struct Awaiter {
            Runs& runs;
            bool await_ready() const { return runs.Idle(); }
            void await_suspend(std::coroutine_handle<> waiting) {
                runs.WhenIdle([waiting] { ResumeLater(waiting); });
            }
            void await_resume() const noexcept {}
        };
        return Awaiter{*this};
    }

    // Resumes a suspended coroutine at the event loop's next turn, never inside the caller.
    static void ResumeLater(std::coroutine_handle<> waiting) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiting] { waiting.resume(); }, Qt::QueuedConnection);
    }

private:
    void End();
    void Changed();

    RunPhase phase_ = RunPhase::Idle;
    RunKind kind_ = RunKind::None;
    bool aborted_ = false;
    CancelToken token_;
    std::vector<std::function<void()>> whenIdle_;
};

// co_await NextTurn(): lets the event loop draw what changed before the coroutine goes on.
inline auto NextTurn() {
    struct Awaiter {
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting) const { Runs::ResumeLater(waiting); }
        void await_resume() const noexcept {}
    };
    return Awaiter{};
}

} // namespace vorlith
