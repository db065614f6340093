#include <gtest/gtest.h>

#include <thread>

#include "TestEnvironment.h"
#include "platform/foundation/NotificationCenter.h"

using plat::Notification;
using plat::NotificationCenter;

class NotificationCenterTest : public qxtest::AppTest {
protected:
    NotificationCenter center;
};

TEST_F(NotificationCenterTest, DeliversByNameAndOptionallyBySender) {
    int a = 0, b = 0;
    const int senderA = 0, senderB = 0;
    std::string text;
    auto any = center.addObserver("DevicePresentNotification", [&](const Notification& n) {
        text = n.text();
        ++a;
    });
    auto onlyB = center.addObserver("DevicePresentNotification", [&](const Notification&) { ++b; }, &senderB);
    center.post("DevicePresentNotification", std::string("VN2450"), &senderA);
    center.post("Other");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(text, "VN2450");
    center.post("DevicePresentNotification", std::string(), &senderB);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(text, "");
}

TEST_F(NotificationCenterTest, DestroyedTokenStopsObserving) {
    int calls = 0;
    {
        auto token = center.addObserver("N", [&](const Notification&) { ++calls; });
        center.post("N");
    }
    center.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount("N"), 0u);
}

TEST_F(NotificationCenterTest, ObserverRemovedDuringDeliveryIsNotCalled) {
    plat::ObserverToken second;
    int secondCalls = 0;
    auto first = center.addObserver("N", [&](const Notification&) { second.reset(); });
    second = center.addObserver("N", [&](const Notification&) { ++secondCalls; });
    center.post("N");
    EXPECT_EQ(secondCalls, 0);
}

TEST_F(NotificationCenterTest, PostFromWorkerThreadIsDeliveredOnMainLoop) {
    const auto mainId = std::this_thread::get_id();
    bool delivered = false;
    auto token = center.addObserver("N", [&](const Notification&) {
        EXPECT_EQ(std::this_thread::get_id(), mainId);
        delivered = true;
    });
    std::thread([&] { center.post("N"); }).join();
    EXPECT_FALSE(delivered);
    drain();
    EXPECT_TRUE(delivered);
}
