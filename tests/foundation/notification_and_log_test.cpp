#include <gtest/gtest.h>

#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"

namespace platform::foundation {
namespace {

TEST(NotificationCenterTest, DeliversOnlyMatchingNameAndObject) {
    NotificationCenter center;
    int sender = 0, other = 0, observer = 0;
    int fromSender = 0, fromAnyone = 0;
    center.addObserver(&observer, "Done", &sender, [&](const Notification&) { ++fromSender; });
    center.addObserver(&observer, "Done", nullptr, [&](const Notification&) { ++fromAnyone; });
    center.postNotification("Done", &sender);
    center.postNotification("Done", &other);
    center.postNotification("Other", &sender);
    EXPECT_EQ(fromSender, 1);
    EXPECT_EQ(fromAnyone, 2);
}

TEST(NotificationCenterTest, RemovingAnObserverRemovesAllItsRegistrations) {
    NotificationCenter center;
    int a = 0, b = 0, calls = 0;
    center.addObserver(&a, "X", nullptr, [&](const Notification&) { ++calls; });
    center.addObserver(&a, "Y", nullptr, [&](const Notification&) { ++calls; });
    center.addObserver(&b, "X", nullptr, [&](const Notification&) { calls += 10; });
    center.removeObserver(&a);
    center.postNotification("X", nullptr);
    center.postNotification("Y", nullptr);
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(center.observationCount(), 1u);
}

TEST(LogTest, FormatsPrintfStyleWithStringsForAt) {
    SystemLog::Capture capture;
    log("!!!%i %@", -1, std::string("iPhone3,1"));
    log("selected: %i", 3);
    log("%@:%@", "05", std::string_view("00"));
    log("Memory warning!");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"!!!-1 iPhone3,1", "selected: 3", "05:00",
                                                         "Memory warning!"}));
}

}  // namespace
}  // namespace platform::foundation
