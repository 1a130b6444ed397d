#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pindle {

// Modifier bits of a system-wide key combination.
enum HotKeyModifier : std::uint32_t {
    kHotKeyControl = 1u << 0,
    kHotKeyShift = 1u << 1,
    kHotKeyAlt = 1u << 2,
    kHotKeySuper = 1u << 3,
};

// A key combination, named by the keysym the key produces (X11 keysym values, e.g. 0x79 for
// "y"), so it follows the user's layout rather than a key position.
struct HotKeyCombination {
    std::uint32_t keysym = 0;
    std::uint32_t modifiers = 0;
};

// What a registration is known by: a four-character signature and a process-unique id.
struct HotKeyId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
};

// The desktop's system-wide hot-key facility. One press handler serves every registration; it is
// called on the GUI thread, while the event loop dispatches the press, with the id the
// combination was registered under. Presses of a held key (auto-repeat) are not reported.
//
// A desktop that answers later (the portal may ask the user first) accepts a registration at once
// and, should it then refuse, says so through the refusal handler: the registration is gone.
class HotKeyService {
public:
    using PressHandler = std::function<void(HotKeyId)>;
    using RefusalHandler = std::function<void(HotKeyId)>;

    HotKeyService() = default;
    HotKeyService(const HotKeyService&) = delete;
    HotKeyService& operator=(const HotKeyService&) = delete;
    virtual ~HotKeyService() = default;

    virtual void setPressHandler(PressHandler handler) = 0;
    // False when the combination cannot be had: another program holds it, the key does not
    // exist on this keyboard, or the desktop offers no global hot keys.
    virtual bool registerHotKey(HotKeyId id, HotKeyCombination combination) = 0;
    // Unknown ids are ignored.
    virtual void unregisterHotKey(HotKeyId id) = 0;

    void setRefusalHandler(RefusalHandler handler) { m_refusalHandler = std::move(handler); }

protected:
    void reportRefusal(HotKeyId id) {
        if (m_refusalHandler) {
            m_refusalHandler(id);
        }
    }

private:
    RefusalHandler m_refusalHandler;
};

// For this session: the desktop portal's global shortcuts on a Wayland session that offers them,
// X11 grabs on X11 (and XWayland otherwise), else one that refuses every registration. Needs the
// QGuiApplication to exist.
std::unique_ptr<HotKeyService> createHotKeyService();

} // namespace pindle
