#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

struct Notification {
    std::string name;
    const void* object = nullptr;
};

// Observers register for a notification name, optionally only from one object.
// Observers and objects are identified by address; handlers should capture weakly.
class NotificationCenter {
  public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // `object` null: notifications of that name from any object.
    void addObserver(const void* observer, std::string name, const void* object, Handler handler);
    // Removes every registration of the observer.
    void removeObserver(const void* observer);
    void postNotification(std::string_view name, const void* object);
    std::size_t observationCount() const { return observations_.size(); }

  private:
    struct Observation {
        const void* observer;
        std::string name;
        const void* object;
        Handler handler;
    };
    std::vector<Observation> observations_;
};

}  // namespace platform::foundation
