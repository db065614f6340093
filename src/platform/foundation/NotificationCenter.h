#pragma once

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

struct Notification {
    std::string name;
    const void* sender = nullptr;  // who posted it, for observers of one object
    std::any object;               // the payload (a std::string for the presence notices)

    // The payload as text, or empty when it is not a text.
    std::string text() const;
};

class NotificationCenter;

// Observing lasts as long as the token: destroying or resetting it stops the observer.
class ObserverToken {
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken&&) noexcept = default;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken() { reset(); }

    void reset();
    explicit operator bool() const { return static_cast<bool>(entry_); }

private:
    friend class NotificationCenter;
    struct Entry;
    ObserverToken(NotificationCenter* center, std::shared_ptr<Entry> entry)
        : center_(center), entry_(std::move(entry)) {}
    NotificationCenter* center_ = nullptr;
    std::shared_ptr<Entry> entry_;
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // Observes `name`; with a sender, only what that sender posts.
    [[nodiscard]] ObserverToken addObserver(std::string name, Handler handler,
                                            const void* sender = nullptr);

    // Delivers to the observers on the main run loop: at once when called there, else queued.
    void post(const std::string& name, std::any object = {}, const void* sender = nullptr);
    void post(Notification notification);

    std::size_t observerCount(const std::string& name) const;

private:
    friend class ObserverToken;
    void deliver(const Notification& notification);
    void remove(const ObserverToken::Entry* entry);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<ObserverToken::Entry>> entries_;
};

}  // namespace plat
