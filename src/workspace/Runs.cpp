#include "workspace/Runs.h"

namespace vorlith {

Runs::Guard Runs::Begin(RunKind kind) {
    kind_ = kind;
    phase_ = RunPhase::Running;
    aborted_ = false;
    token_ = CancelToken();
    Changed();
    return Guard(this);
}

void Runs::Stop() {
    aborted_ = true;
    // Between runs there is nothing to cancel; the next run starts with a fresh token anyway.
    if (phase_ == RunPhase::Idle)
        return;
    token_.Cancel();
    if (phase_ == RunPhase::Running) {
        phase_ = RunPhase::Stopping;
        Changed();
    }
}

void Runs::End() {
    phase_ = RunPhase::Idle;
    kind_ = RunKind::None;
    Changed();
    for (auto& then : std::exchange(whenIdle_, {}))
        then();
}

void Runs::WhenIdle(std::function<void()> then) {
    if (Idle())
        then();
    else
        whenIdle_.push_back(std::move(then));
}

void Runs::Changed() {
    if (OnChange)
        OnChange();
}

} // namespace vorlith
