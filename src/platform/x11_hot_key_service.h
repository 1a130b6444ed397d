#pragma once

#include "hot_key_service.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

class QTimer;
struct xcb_connection_t;

namespace pindle {

// System-wide hot keys on X11: each combination is grabbed on the root window with every
// Caps Lock / Num Lock variant, so the lock keys never get in the way. A combination that
// another client already grabbed (BadAccess) is refused as a whole. After a keyboard mapping
// or layout change every registration is grabbed again for the keys that now produce its
// keysym. Presses arrive through Qt's native event filter on the GUI thread.
class X11HotKeyService final : public QObject, public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // Null when the application does not talk to an X server.
    static std::unique_ptr<X11HotKeyService> create();
    ~X11HotKeyService() override;

    void setPressHandler(PressHandler handler) override;
    bool registerHotKey(HotKeyId id, HotKeyCombination combination) override;
    void unregisterHotKey(HotKeyId id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        std::uint32_t root;
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };
    struct Registration {
        HotKeyId id;
        HotKeyCombination combination;
        std::vector<Grab> grabs;
        bool held = false;
        std::uint32_t lastReleaseTime = 0;
        std::uint8_t lastReleaseKeycode = 0;
    };

    explicit X11HotKeyService(xcb_connection_t* connection);

    void readKeyboardMapping();
    std::vector<std::uint8_t> keycodesFor(std::uint32_t keysym) const;
    std::uint16_t modifierMask(std::uint32_t modifiers) const;
    bool grab(Registration& registration);
    void ungrab(Registration& registration);
    void regrabAll();
    void handleKey(bool press, std::uint8_t keycode, std::uint16_t state, std::uint32_t time);

    xcb_connection_t* m_connection;
    std::vector<std::uint32_t> m_roots;
    std::uint8_t m_xkbFirstEvent = 0;
    PressHandler m_handler;
    std::vector<Registration> m_registrations;

    std::uint8_t m_minKeycode = 0;
    std::uint8_t m_keysymsPerKeycode = 0;
    std::vector<std::uint32_t> m_keysyms;
    std::uint16_t m_numLockMask = 0;
    QTimer* m_regrabTimer;
};

} // namespace pindle
