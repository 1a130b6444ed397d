#include "hot_key.h"

#include "notes/scheduler.h"

namespace pindle {

HotKeyRegistry::HotKeyRegistry(HotKeyService& service, Scheduler& scheduler)
    : m_service(service)
    , m_scheduler(scheduler) {
    // Refused after all: the hot key is no longer registered, and its presses would be no one's.
    m_service.setRefusalHandler([this](HotKeyId key) {
        if (const auto found = m_hotKeys.find(key.id); found != m_hotKeys.end()) {
            found->second->m_registered = false;
            m_hotKeys.erase(found);
        }
    });
}

HotKeyRegistry::~HotKeyRegistry() {
    m_service.setRefusalHandler(nullptr);
    if (m_handlerInstalled) {
        m_service.setPressHandler(nullptr);
    }
}

void HotKeyRegistry::fire(std::uint32_t id) {
    auto found = m_hotKeys.find(id);
    if (found == m_hotKeys.end()) {
        return;
    }
    // The queued task keeps its own copy of the callback, so a press already on its way is
    // still delivered if the hot key goes away meanwhile.
    m_scheduler.schedule(Scheduler::Duration::zero(), found->second->m_callback);
}

std::unique_ptr<HotKey> HotKey::create(HotKeyRegistry& registry, HotKeyCombination combination,
                                       std::function<void()> callback) {
    const std::uint32_t id = registry.m_nextId++;
    std::unique_ptr<HotKey> hotKey(new HotKey(registry, id, std::move(callback)));
    if (!registry.m_handlerInstalled) {
        registry.m_handlerInstalled = true;
        // The signature is not compared: a press is known by its id alone.
        registry.m_service.setPressHandler([&registry](HotKeyId key) { registry.fire(key.id); });
    }
    if (!registry.m_service.registerHotKey(HotKeyId{HotKeyRegistry::kSignature, id}, combination)) {
        return nullptr;
    }
    hotKey->m_registered = true;
    registry.m_hotKeys[id] = hotKey.get();
    return hotKey;
}

HotKey::HotKey(HotKeyRegistry& registry, std::uint32_t id, std::function<void()> callback)
    : m_registry(registry)
    , m_id(id)
    , m_callback(std::move(callback)) {}

HotKey::~HotKey() {
    if (m_registered) {
        m_registry.m_service.unregisterHotKey(HotKeyId{HotKeyRegistry::kSignature, m_id});
    }
    m_registry.m_hotKeys.erase(m_id);
}

} // namespace pindle
