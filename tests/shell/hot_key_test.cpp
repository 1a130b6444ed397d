#include "shell/hot_key.h"

#include "pindle/testing/fake_hot_key_service.h"
#include "pindle/testing/manual_time.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

struct Registry {
    FakeHotKeyService service;
    ManualTime time;
    HotKeyRegistry registry{service, time};
    std::unique_ptr<HotKey> make(std::function<void()> callback = [] {}) {
        return HotKey::create(registry, {0x79, kHotKeyControl | kHotKeyShift}, std::move(callback));
    }
};

TEST(HotKeyRegistry, NumbersFromOneSharesOneHandlerAndARefusalUsesUpItsId) {
    Registry r;
    auto first = r.make();
    auto second = r.make();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->id(), 2u);
    EXPECT_EQ(r.service.handlerInstalls, 1);
    EXPECT_EQ(r.service.signature, 0x504E444Cu); // "PNDL"
    r.service.refuse = true;
    EXPECT_EQ(r.make(), nullptr);
    r.service.refuse = false;
    auto fourth = r.make();
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->id(), 4u);
    EXPECT_EQ(r.registry.size(), 3u);

    second.reset();
    EXPECT_EQ(r.service.registered.count(2), 0u);
    EXPECT_EQ(r.registry.size(), 2u);
    r.service.refuseLater(4); // a desktop that answers later refuses after all
    EXPECT_EQ(r.registry.size(), 1u);
}

TEST(HotKeyRegistry, DeliversPressesOnTheMainLoopAndIgnoresUnknownIds) {
    Registry r;
    int firstPresses = 0, secondPresses = 0;
    auto first = r.make([&] { ++firstPresses; });
    auto second = r.make([&] { ++secondPresses; });
    r.service.press(2);
    r.service.press(2);
    EXPECT_EQ(secondPresses, 0); // not from inside the handler: only once the loop runs
    r.time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(secondPresses, 2);
    EXPECT_EQ(firstPresses, 0);
    r.service.press(7);
    EXPECT_EQ(r.time.pendingCount(), 0u);

    // A press already queued is delivered even if its hot key is torn down before the loop runs;
    // later presses of that id are ignored.
    r.service.press(1);
    first.reset();
    r.service.press(1);
    r.time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(firstPresses, 1);
}

} // namespace
} // namespace pindle
