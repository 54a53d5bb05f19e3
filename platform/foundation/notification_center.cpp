#include "platform/foundation/notification_center.h"

#include <algorithm>

namespace platform::foundation {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object,
                                     Handler handler) {
    observations_.push_back({observer, std::move(name), object, std::move(handler)});
}

void NotificationCenter::removeObserver(const void* observer) {
    std::erase_if(observations_, [observer](const auto& o) { return o.observer == observer; });
}

void NotificationCenter::postNotification(std::string_view name, const void* object) {
    const Notification notification{std::string(name), object};
    // Handlers may add or remove observers: deliver to the registrations of this moment.
    std::vector<Handler> matching;
    for (const auto& o : observations_)
        if (o.name == name && (o.object == nullptr || o.object == object))
            matching.push_back(o.handler);
    for (const auto& handler : matching) handler(notification);
}

}  // namespace platform::foundation
