#pragma once
// A cancellation shared by a run and the jobs it awaits. Stop cancels the token; the job awaited
// at that moment hears it at once (its callback closes the connection), later jobs see it before
// they start. Copies share one state.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vorlith {

class CancelToken {
public:
    CancelToken() : state_(std::make_shared<State>()) {}

    bool Cancelled() const { return state_->Cancelled; }
    // Runs every registered callback once; later calls do nothing.
    void Cancel() {
        if (state_->Cancelled)
            return;
        state_->Cancelled = true;
        const auto callbacks = std::exchange(state_->Callbacks, {});
        for (const auto& [id, callback] : callbacks)
            callback();
    }

    // Called at Cancel() until the returned registration goes; at once when already cancelled.
    class Registration {
    public:
        Registration() = default;
        Registration(std::weak_ptr<void> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
        Registration(Registration&& other) noexcept
            : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}
        Registration& operator=(Registration&& other) noexcept {
            Drop();
            state_ = std::move(other.state_);
            id_ = std::exchange(other.id_, 0);
            return *this;
        }
        ~Registration() { Drop(); }

    private:
        void Drop();
        std::weak_ptr<void> state_;
        std::uint64_t id_ = 0;
    };
    [[nodiscard]] Registration OnCancel(std::function<void()> callback) {
        if (state_->Cancelled) {
            callback();
            return {};
        }
        const std::uint64_t id = ++state_->LastId;
        state_->Callbacks.emplace_back(id, std::move(callback));
        return {state_, id};
    }

private:
    struct State {
        bool Cancelled = false;
        std::uint64_t LastId = 0;
        std::vector<std::pair<std::uint64_t, std::function<void()>>> Callbacks;
    };
    std::shared_ptr<State> state_;
    friend class Registration;
    static void Forget(const std::shared_ptr<void>& state, std::uint64_t id) {
        auto& callbacks = static_cast<State*>(state.get())->Callbacks;
        std::erase_if(callbacks, [id](const auto& entry) { return entry.first == id; });
    }
};

inline void CancelToken::Registration::Drop() {
    if (id_ == 0)
        return;
    if (const auto state = state_.lock())
        CancelToken::Forget(state, id_);
    id_ = 0;
}

} // namespace vorlith
