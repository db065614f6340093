#pragma once

#include <functional>
#include <map>
#include <memory>

namespace plat {

// A subscription that ends when it is disposed or destroyed.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> dispose) : dispose_(std::move(dispose)) {}
    Subscription(Subscription&& other) noexcept : dispose_(std::move(other.dispose_)) {
        other.dispose_ = nullptr;
    }
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            dispose();
            dispose_ = std::move(other.dispose_);
            other.dispose_ = nullptr;
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { dispose(); }

    void dispose() {
        if (dispose_) {
            auto d = std::move(dispose_);
            dispose_ = nullptr;
            d();
        }
    }
    bool isActive() const { return static_cast<bool>(dispose_); }

private:
    std::function<void()> dispose_;
};

// A value whose changes can be watched (main thread only). Subscribers hear of later changes;
// with sendCurrent they first get the value as it is now.
template <class T>
class Observable {
public:
    using Handler = std::function<void(const T&)>;

    Observable() : state_(std::make_shared<State>()) {}
    explicit Observable(T initial) : Observable() { state_->value = std::move(initial); }
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    const T& get() const { return state_->value; }

    // Stores the value and tells subscribers when it differs from the old one.
    void set(T value) {
        if (state_->value == value) return;
        state_->value = std::move(value);
        auto handlers = state_->handlers;  // a handler may subscribe or dispose while we call
        for (auto& [id, handler] : handlers) {
            if (state_->handlers.count(id)) handler(state_->value);
        }
    }

    [[nodiscard]] Subscription subscribe(Handler handler, bool sendCurrent = false) {
        const auto id = state_->nextId++;
        if (sendCurrent) handler(state_->value);
        state_->handlers.emplace(id, std::move(handler));
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, id] {
            if (auto s = weak.lock()) s->handlers.erase(id);
        });
    }

    std::size_t subscriberCount() const { return state_->handlers.size(); }

private:
    struct State {
        T value{};
        std::map<unsigned long, Handler> handlers;
        unsigned long nextId = 0;
    };
    std::shared_ptr<State> state_;
};

}  // namespace plat
