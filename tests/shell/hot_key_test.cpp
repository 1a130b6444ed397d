#include "shell/hot_key.h"

#include "pindle/testing/fake_hot_key_service.h"
#include "pindle/testing/manual_time.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

class HotKeyRegistryTest : public testing::Test {
protected:
    std::unique_ptr<HotKey> make(std::function<void()> callback = [] {}) {
        return HotKey::create(registry, {0x79, kHotKeyControl | kHotKeyShift}, std::move(callback));
    }

    FakeHotKeyService service;
    ManualTime time;
    HotKeyRegistry registry{service, time};
};

TEST_F(HotKeyRegistryTest, NumbersFromOneSharesOneHandlerAndARefusalUsesUpItsId) {
    auto first = make();
    auto second = make();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->id(), 1u);
    EXPECT_EQ(second->id(), 2u);
    EXPECT_EQ(service.handlerInstalls, 1);
    EXPECT_EQ(service.signature, 0x504E444Cu); // "PNDL"

    service.refuse = true;
    EXPECT_EQ(make(), nullptr);
    service.refuse = false;
    auto fourth = make();
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->id(), 4u);
    EXPECT_EQ(registry.size(), 3u);

    second.reset();
    EXPECT_EQ(service.registered.size(), 2u);
    EXPECT_EQ(service.registered.count(2), 0u);
    EXPECT_EQ(registry.size(), 2u);
    service.refuseLater(4); // a desktop that answers later refuses after all
    EXPECT_EQ(registry.size(), 1u);
}

TEST_F(HotKeyRegistryTest, DeliversPressesOnTheMainLoopAndIgnoresUnknownIds) {
    int firstPresses = 0;
    int secondPresses = 0;
    auto first = make([&] { ++firstPresses; });
    auto second = make([&] { ++secondPresses; });

    service.press(2);
    service.press(2);
    EXPECT_EQ(secondPresses, 0); // not from inside the handler: only once the loop runs
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(secondPresses, 2);
    EXPECT_EQ(firstPresses, 0);

    service.press(7);
    EXPECT_EQ(time.pendingCount(), 0u);

    // A press already queued is delivered even if its hot key is torn down before the loop runs;
    // later presses of that id are ignored.
    service.press(1);
    first.reset();
    service.press(1);
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(firstPresses, 1);
}

} // namespace
} // namespace pindle
