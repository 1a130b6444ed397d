// The X11 hot keys against a real X server (a private Xvfb), pressed with xdotool.

#include "platform/x11_hot_key_service.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace pindle {

namespace {

constexpr HotKeyCombination kCtrlShiftY{0x79, kHotKeyControl | kHotKeyShift};
constexpr std::uint32_t kSignature = 0x504E444C;
constexpr xcb_keycode_t kYKeycode = 29; // the key that types "y" on Xvfb's default layout
constexpr std::uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;

// Another program on the same display, grabbing "y" on the root window.
class OtherProgram {
public:
    ~OtherProgram() { xcb_disconnect(m_connection); }

    bool grab(std::uint16_t modifiers) {
        xcb_generic_error_t* error =
            xcb_request_check(m_connection, xcb_grab_key_checked(m_connection, 0, m_root, modifiers, kYKeycode,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    // Returns once the server has released every grab (a closed connection's go only later).
    void ungrabAll() {
        xcb_ungrab_key(m_connection, XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t* m_connection = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
};

} // namespace

class X11HotKeyServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<X11HotKeyService> m_service;
    std::vector<std::uint32_t> m_presses;

    static void xdotool(const QStringList& arguments) { QCOMPARE(QProcess::execute("xdotool", arguments), 0); }

    // Presses `keys` and checks that exactly `expected` presses arrive.
    void pressAndExpect(const QString& keys, std::size_t expected) {
        m_presses.clear();
        xdotool({"key", keys});
        if (expected > 0) {
            QTRY_COMPARE(m_presses.size(), expected);
        }
        QTest::qWait(expected > 0 ? 50 : 150);
        QCOMPARE(m_presses.size(), expected);
    }

private slots:
    void init() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        m_service = X11HotKeyService::create();
        QVERIFY(m_service);
        m_service->setPressHandler([this](HotKeyId id) {
            QCOMPARE(id.signature, kSignature);
            m_presses.push_back(id.id);
        });
    }

    void cleanup() {
        m_service.reset();
        QProcess::execute(QStringLiteral("setxkbmap"), {"us"});
    }

    void deliversEachPressWhateverTheLockKeys() {
        QVERIFY(m_service->registerHotKey({kSignature, 7}, kCtrlShiftY));
        pressAndExpect("ctrl+shift+y", 1);
        QCOMPARE(m_presses.front(), 7u);
        pressAndExpect("ctrl+y", 0);
        pressAndExpect("ctrl+alt+shift+y", 0);
        for (const char* lock : {"Num_Lock", "Caps_Lock", "Num_Lock", "Caps_Lock"}) {
            xdotool({"key", lock}); // Num Lock, both, Caps Lock, neither
            pressAndExpect("ctrl+shift+y", 1);
        }

        // Held down, the key repeats; the combination counts once.
        m_presses.clear();
        xdotool({"keydown", "ctrl+shift+y"});
        QTest::qWait(900);
        xdotool({"keyup", "ctrl+shift+y"});
        QTRY_COMPARE(m_presses.size(), std::size_t{1});
        QTest::qWait(100);
        QCOMPARE(m_presses.size(), std::size_t{1});

        m_service->unregisterHotKey({kSignature, 7});
        pressAndExpect("ctrl+shift+y", 0);
    }

    void refusesACombinationAnotherProgramHolds() {
        OtherProgram other;
        QVERIFY(other.grab(kCtrlShift));
        QVERIFY(!m_service->registerHotKey({kSignature, 1}, kCtrlShiftY));
        pressAndExpect("ctrl+shift+y", 0); // the refused attempt took nothing away from the other program
        other.ungrabAll();

        // Only one lock variant taken (Num Lock on Mod2) is a conflict too.
        QVERIFY(other.grab(kCtrlShift | XCB_MOD_MASK_2));
        QVERIFY(!m_service->registerHotKey({kSignature, 3}, kCtrlShiftY));
        other.ungrabAll();

        // Released, it is ours, and nothing of the failed attempts lingers.
        QVERIFY(m_service->registerHotKey({kSignature, 4}, kCtrlShiftY));
        pressAndExpect("ctrl+shift+y", 1);
        QCOMPARE(m_presses.front(), 4u);
    }

    void followsTheKeyboardLayout() {
        QVERIFY(m_service->registerHotKey({kSignature, 5}, kCtrlShiftY));
        // German layout: "y" moves to the key that typed "z", and that key no longer is ours.
        QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {"de"}), 0);
        QTest::qWait(300);
        pressAndExpect("ctrl+shift+y", 1);
        pressAndExpect("ctrl+shift+z", 0);
    }
};

} // namespace pindle

QTEST_MAIN(pindle::X11HotKeyServiceTest)
#include "x11_hot_key_service_test.moc"
