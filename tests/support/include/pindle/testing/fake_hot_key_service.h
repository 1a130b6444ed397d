#pragma once

#include "shell/hot_key.h"

#include <map>
#include <utility>

namespace pindle {

// Stands in for the desktop's hot-key facility: records what is registered and presses keys.
class FakeHotKeyService final : public HotKeyService {
public:
    void setPressHandler(PressHandler handler) override {
        ++handlerInstalls;
        m_handler = std::move(handler);
    }
    bool registerHotKey(HotKeyId id, HotKeyCombination combination) override {
        signature = id.signature;
        if (!refuse) {
            registered[id.id] = combination;
        }
        return !refuse;
    }
    void unregisterHotKey(HotKeyId id) override { registered.erase(id.id); }
    void press(std::uint32_t id) { m_handler(HotKeyId{HotKeyRegistry::kSignature, id}); }
    void refuseLater(std::uint32_t id) { reportRefusal(HotKeyId{HotKeyRegistry::kSignature, id}); }

    bool refuse = false; // another program holds the combination
    int handlerInstalls = 0;
    std::uint32_t signature = 0;
    std::map<std::uint32_t, HotKeyCombination> registered;

private:
    PressHandler m_handler;
};

} // namespace pindle
