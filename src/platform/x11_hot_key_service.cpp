#include "x11_hot_key_service.h"

#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pindle {

namespace {

constexpr std::uint32_t kNumLockKeysym = 0xff7f;
constexpr std::uint16_t kRelevantModifiers = 0xff; // Shift, Lock, Control, Mod1..Mod5
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;

template <typename T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

// Latin letters are grabbed whichever case the layout lists first.
std::uint32_t otherCase(std::uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') {
        return keysym - 0x20;
    }
    if (keysym >= 'A' && keysym <= 'Z') {
        return keysym + 0x20;
    }
    return keysym;
}

} // namespace

std::unique_ptr<X11HotKeyService> X11HotKeyService::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return nullptr;
    }
    return std::unique_ptr<X11HotKeyService>(new X11HotKeyService(x11->connection()));
}

X11HotKeyService::X11HotKeyService(xcb_connection_t* connection)
    : m_connection(connection)
    , m_regrabTimer(new QTimer(this)) {
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); it.rem; xcb_screen_next(&it)) {
        m_roots.push_back(it.data->root);
    }
    // Qt keeps XKB on; layout switches then arrive as XKB events rather than core MappingNotify.
    const char* xkbName = "XKEYBOARD";
    auto cookie = xcb_query_extension(m_connection, static_cast<std::uint16_t>(std::strlen(xkbName)), xkbName);
    if (XcbReply<xcb_query_extension_reply_t> reply{xcb_query_extension_reply(m_connection, cookie, nullptr)};
        reply && reply->present) {
        m_xkbFirstEvent = reply->first_event;
    }
    readKeyboardMapping();

    // A layout change comes as a burst of events; grab again once it has settled.
    m_regrabTimer->setSingleShot(true);
    m_regrabTimer->setInterval(50);
    connect(m_regrabTimer, &QTimer::timeout, this, &X11HotKeyService::regrabAll);
    qApp->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService() {
    if (qApp) {
        qApp->removeNativeEventFilter(this);
    }
    for (auto& registration : m_registrations) {
        ungrab(registration);
    }
    xcb_flush(m_connection);
}

void X11HotKeyService::setPressHandler(PressHandler handler) {
    m_handler = std::move(handler);
}

bool X11HotKeyService::registerHotKey(HotKeyId id, HotKeyCombination combination) {
    unregisterHotKey(id);
    Registration registration{id, combination, {}};
    if (!grab(registration)) {
        return false;
    }
    m_registrations.push_back(std::move(registration));
    return true;
}

void X11HotKeyService::unregisterHotKey(HotKeyId id) {
    auto found = std::find_if(m_registrations.begin(), m_registrations.end(), [&](const Registration& r) {
        return r.id.signature == id.signature && r.id.id == id.id;
    });
    if (found == m_registrations.end()) {
        return;
    }
    ungrab(*found);
    xcb_flush(m_connection);
    m_registrations.erase(found);
}

void X11HotKeyService::readKeyboardMapping() {
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    m_minKeycode = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto keyboardCookie = xcb_get_keyboard_mapping(m_connection, setup->min_keycode, count);
    auto modifierCookie = xcb_get_modifier_mapping(m_connection);

    m_keysyms.clear();
    m_keysymsPerKeycode = 0;
    if (XcbReply<xcb_get_keyboard_mapping_reply_t> reply{
            xcb_get_keyboard_mapping_reply(m_connection, keyboardCookie, nullptr)}) {
        m_keysymsPerKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
        const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
        m_keysyms.assign(keysyms, keysyms + std::max(length, 0));
    }

    // Num Lock is whichever modifier the Num_Lock key is mapped to, usually Mod2.
    m_numLockMask = 0;
    const std::vector<std::uint8_t> numLockKeys = keycodesFor(kNumLockKeysym);
    if (XcbReply<xcb_get_modifier_mapping_reply_t> reply{
            xcb_get_modifier_mapping_reply(m_connection, modifierCookie, nullptr)}) {
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
                if (keycode != 0 && std::find(numLockKeys.begin(), numLockKeys.end(), keycode) != numLockKeys.end()) {
                    m_numLockMask = static_cast<std::uint16_t>(m_numLockMask | (1u << modifier));
                }
            }
        }
    }
}

std::vector<std::uint8_t> X11HotKeyService::keycodesFor(std::uint32_t keysym) const {
    std::vector<std::uint8_t> result;
    if (m_keysymsPerKeycode == 0) {
        return result;
    }
    const std::uint32_t alternative = otherCase(keysym);
    const std::size_t keys = m_keysyms.size() / m_keysymsPerKeycode;
    // The first group (columns 0 and 1) is the layout in use; only a layout without the keysym
    // there (a non-Latin first group) falls back to the keys of the other groups.
    for (std::size_t columns : {std::size_t{2}, std::size_t{m_keysymsPerKeycode}}) {
        for (std::size_t key = 0; key < keys; ++key) {
            for (std::size_t column = 0; column < std::min<std::size_t>(columns, m_keysymsPerKeycode); ++column) {
                const std::uint32_t candidate = m_keysyms[key * m_keysymsPerKeycode + column];
                if (candidate != 0 && (candidate == keysym || candidate == alternative)) {
                    result.push_back(static_cast<std::uint8_t>(m_minKeycode + key));
                    break;
                }
            }
        }
        if (!result.empty()) {
            break;
        }
    }
    return result;
}

std::uint16_t X11HotKeyService::modifierMask(std::uint32_t modifiers) const {
    std::uint16_t mask = 0;
    if (modifiers & kHotKeyShift) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (modifiers & kHotKeyControl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & kHotKeyAlt) {
        mask |= XCB_MOD_MASK_1;
    }
    if (modifiers & kHotKeySuper) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

bool X11HotKeyService::grab(Registration& registration) {
    registration.grabs.clear();
    registration.held = false;
    const std::vector<std::uint8_t> keycodes = keycodesFor(registration.combination.keysym);
    if (keycodes.empty()) {
        return false;
    }
    const std::uint16_t base = modifierMask(registration.combination.modifiers);
    std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (m_numLockMask != 0 && m_numLockMask != XCB_MOD_MASK_LOCK) {
        variants.push_back(m_numLockMask);
        variants.push_back(static_cast<std::uint16_t>(m_numLockMask | XCB_MOD_MASK_LOCK));
    }

    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint32_t root : m_roots) {
        for (std::uint8_t keycode : keycodes) {
            for (std::uint16_t variant : variants) {
                const auto modifiers = static_cast<std::uint16_t>(base | variant);
                registration.grabs.push_back(Grab{root, keycode, modifiers});
                cookies.push_back(xcb_grab_key_checked(m_connection, 0, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
            }
        }
    }
    // Every request is checked, not only the first: another client may hold just one variant.
    bool refused = false;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Ungrabbing only ever releases our own grabs, so the other client keeps its key.
        ungrab(registration);
        xcb_flush(m_connection);
        return false;
    }
    return true;
}

void X11HotKeyService::ungrab(Registration& registration) {
    for (const Grab& grab : registration.grabs) {
        xcb_ungrab_key(m_connection, grab.keycode, grab.root, grab.modifiers);
    }
    registration.grabs.clear();
    registration.held = false;
}

void X11HotKeyService::regrabAll() {
    for (auto& registration : m_registrations) {
        ungrab(registration);
    }
    readKeyboardMapping();
    // A combination that someone else took meanwhile stays silent until the next change.
    for (auto& registration : m_registrations) {
        grab(registration);
    }
    xcb_flush(m_connection);
}

void X11HotKeyService::handleKey(bool press, std::uint8_t keycode, std::uint16_t state, std::uint32_t time) {
    const auto lockMask = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | m_numLockMask);
    const auto modifiers = static_cast<std::uint16_t>(state & kRelevantModifiers & ~lockMask);
    // Collected first: the handler may register or unregister hot keys.
    std::vector<HotKeyId> pressed;
    for (auto& registration : m_registrations) {
        const bool ours = std::any_of(registration.grabs.begin(), registration.grabs.end(),
                                      [&](const Grab& grab) { return grab.keycode == keycode; });
        if (!ours) {
            continue;
        }
        if (!press) {
            registration.held = false;
            registration.lastReleaseTime = time;
            registration.lastReleaseKeycode = keycode;
            continue;
        }
        if (modifiers != modifierMask(registration.combination.modifiers)) {
            continue;
        }
        // Auto-repeat: either a press without a release in between (detectable auto-repeat) or
        // a release and press sharing one timestamp (classic auto-repeat).
        const bool repeat =
            registration.held || (registration.lastReleaseKeycode == keycode && registration.lastReleaseTime == time);
        registration.held = true;
        if (!repeat) {
            pressed.push_back(registration.id);
        }
    }
    for (const HotKeyId& id : pressed) {
        if (m_handler) {
            m_handler(id);
        }
    }
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        // Press and release have the same layout.
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (std::find(m_roots.begin(), m_roots.end(), key->event) != m_roots.end()) {
            handleKey(type == XCB_KEY_PRESS, key->detail, key->state, key->time);
        }
        // Qt still sees the event: it takes the user time from it, which lets the panel that the
        // press opens take the focus.
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
        if (mapping->request == XCB_MAPPING_KEYBOARD || mapping->request == XCB_MAPPING_MODIFIER) {
            m_regrabTimer->start();
        }
        return false;
    }
    if (m_xkbFirstEvent != 0 && type == m_xkbFirstEvent) {
        // Every XKB event starts with the response type and then its own XKB type.
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        if (xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify) {
            m_regrabTimer->start();
        }
    }
    return false;
}

} // namespace pindle
