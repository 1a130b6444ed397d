#include "shell/hot_key.h"

#include "notes/manual_time.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace pindle {
namespace {

// Records what the registry asks of the desktop and lets a test press keys.
class FakeHotKeyService final : public HotKeyService {
public:
    void setPressHandler(PressHandler handler) override {
        ++handlerInstalls;
        m_handler = std::move(handler);
    }
    bool registerHotKey(HotKeyId id, HotKeyCombination combination) override {
        if (refuseNext) {
            refuseNext = false;
            return false;
        }
        EXPECT_EQ(id.signature, HotKeyRegistry::kSignature);
        registered[id.id] = combination;
        return true;
    }
    void unregisterHotKey(HotKeyId id) override { registered.erase(id.id); }

    void press(std::uint32_t id) {
        if (m_handler) {
            m_handler(HotKeyId{HotKeyRegistry::kSignature, id});
        }
    }

    int handlerInstalls = 0;
    bool refuseNext = false;
    std::map<std::uint32_t, HotKeyCombination> registered;

private:
    PressHandler m_handler;
};

const HotKeyCombination kCtrlShiftY{0x79, kHotKeyControl | kHotKeyShift};

TEST(HotKeyRegistry, NumbersRegistrationsFromOneAndSharesOneHandler) {
    EXPECT_EQ(HotKeyRegistry::kSignature, 0x504E444Cu); // "PNDL"
    FakeHotKeyService service;
    ManualTime time;
    HotKeyRegistry registry(service, time);

    auto first = HotKey::create(registry, kCtrlShiftY, [] {});
    auto second = HotKey::create(registry, {0x6e, kHotKeyControl}, [] {});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->id(), 1u);
    EXPECT_EQ(second->id(), 2u);
    EXPECT_EQ(service.handlerInstalls, 1);
    EXPECT_EQ(service.registered.at(1).keysym, 0x79u);
    EXPECT_EQ(service.registered.at(1).modifiers, kHotKeyControl | kHotKeyShift);

    // A refused registration gives no hot key but uses up its id.
    service.refuseNext = true;
    EXPECT_EQ(HotKey::create(registry, kCtrlShiftY, [] {}), nullptr);
    auto fourth = HotKey::create(registry, kCtrlShiftY, [] {});
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->id(), 4u);
    EXPECT_EQ(registry.size(), 3u);

    // Teardown unregisters and leaves the table.
    second.reset();
    EXPECT_EQ(service.registered.count(2), 0u);
    EXPECT_EQ(registry.size(), 2u);
}

TEST(HotKeyRegistry, DeliversPressesOnTheMainLoopAndIgnoresUnknownIds) {
    FakeHotKeyService service;
    ManualTime time;
    HotKeyRegistry registry(service, time);
    int firstPresses = 0;
    int secondPresses = 0;
    auto first = HotKey::create(registry, kCtrlShiftY, [&] { ++firstPresses; });
    auto second = HotKey::create(registry, kCtrlShiftY, [&] { ++secondPresses; });

    service.press(2);
    // Not from inside the handler: only once the loop runs.
    EXPECT_EQ(secondPresses, 0);
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(secondPresses, 1);
    EXPECT_EQ(firstPresses, 0);

    service.press(1);
    service.press(1);
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(firstPresses, 2);

    service.press(7);
    EXPECT_EQ(time.pendingCount(), 0u);

    // A press already queued is delivered even if its hot key is torn down before the loop runs;
    // later presses of that id are ignored.
    service.press(1);
    first.reset();
    service.press(1);
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(firstPresses, 3);
}

} // namespace
} // namespace pindle
