#pragma once

#include "platform/hot_key_service.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

namespace pindle {

class HotKey;
class Scheduler;

// The table from registration ids to hot keys, and the one press handler they share. Ids start
// at 1 and are never reused; a registration that fails still uses up its id. A press is looked
// up by id and its hot key's callback queued on the scheduler, so it runs on the main loop
// after the event that carried the press; an id with no hot key is ignored. GUI thread only.
class HotKeyRegistry {
public:
    // "PNDL": the signature every registration carries.
    static constexpr std::uint32_t kSignature =
        (std::uint32_t{'P'} << 24) | (std::uint32_t{'N'} << 16) | (std::uint32_t{'D'} << 8) | std::uint32_t{'L'};

    // Both must outlive the registry and every hot key made with it.
    HotKeyRegistry(HotKeyService& service, Scheduler& scheduler);
    HotKeyRegistry(const HotKeyRegistry&) = delete;
    HotKeyRegistry& operator=(const HotKeyRegistry&) = delete;
    ~HotKeyRegistry();

    // Delivers a press of registration `id`.
    void fire(std::uint32_t id);

    std::size_t size() const { return m_hotKeys.size(); }

private:
    friend class HotKey;

    HotKeyService& m_service;
    Scheduler& m_scheduler;
    std::uint32_t m_nextId = 1;
    bool m_handlerInstalled = false;
    std::unordered_map<std::uint32_t, HotKey*> m_hotKeys;
};

// One registered system-wide key combination. Destroying it unregisters it.
class HotKey {
public:
    // The registered hot key, or null when the desktop refused the combination.
    static std::unique_ptr<HotKey> create(HotKeyRegistry& registry, HotKeyCombination combination,
                                          std::function<void()> callback);
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;
    ~HotKey();

    std::uint32_t id() const { return m_id; }

private:
    HotKey(HotKeyRegistry& registry, std::uint32_t id, std::function<void()> callback);

    friend class HotKeyRegistry;

    HotKeyRegistry& m_registry;
    std::uint32_t m_id;
    std::function<void()> m_callback;
    bool m_registered = false;
};

} // namespace pindle
