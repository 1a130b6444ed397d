// The X11 hot keys against a real X server (a private Xvfb), pressed with xdotool.

#include "platform/x11_hot_key_service.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace pindle {

constexpr HotKeyCombination kCtrlShiftY{0x79, kHotKeyControl | kHotKeyShift};
constexpr std::uint32_t kSignature = 0x504E444C;
constexpr std::uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;

class X11HotKeyServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<X11HotKeyService> m_service;
    std::vector<std::uint32_t> m_presses;
    // Another program on the same display, grabbing keys on the root window.
    xcb_connection_t* m_other = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_other)).data->root;

    // Presses keys with xdotool and checks that exactly `expected` presses arrive.
    void pressAndExpect(const QStringList& xdotool, std::size_t expected) {
        m_presses.clear();
        QCOMPARE(QProcess::execute("xdotool", xdotool), 0);
        if (expected > 0) {
            QTRY_COMPARE(m_presses.size(), expected);
        }
        QTest::qWait(expected > 0 ? 50 : 150);
        QCOMPARE(m_presses.size(), expected);
    }

    // The other program grabs "y" (key code 29 on Xvfb's default layout) with `modifiers`.
    bool otherGrabs(std::uint16_t modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            m_other, xcb_grab_key_checked(m_other, 0, m_root, modifiers, 29, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    // Returns once the server has released every grab of the other program.
    void otherUngrabs() {
        xcb_ungrab_key(m_other, XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        std::free(xcb_get_input_focus_reply(m_other, xcb_get_input_focus(m_other), nullptr));
    }

private slots:
    void init() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        m_service = X11HotKeyService::create();
        QVERIFY(m_service);
        m_service->setPressHandler(
            [this](HotKeyId key) { m_presses.push_back(key.signature == kSignature ? key.id : 0); });
    }

    void cleanup() {
        m_service.reset();
        QProcess::execute(QStringLiteral("setxkbmap"), {"us"});
    }

    void cleanupTestCase() { xcb_disconnect(m_other); }

    void deliversEachPressWhateverTheLockKeys() {
        QVERIFY(m_service->registerHotKey({kSignature, 7}, kCtrlShiftY));
        pressAndExpect({"key", "ctrl+shift+y"}, 1);
        QCOMPARE(m_presses.front(), 7u);
        pressAndExpect({"key", "ctrl+y"}, 0);
        pressAndExpect({"key", "ctrl+alt+shift+y"}, 0);
        for (const char* lock :
             {"Num_Lock", "Caps_Lock", "Num_Lock", "Caps_Lock"}) { // Num Lock, both, Caps Lock, neither
            pressAndExpect({"key", lock, "key", "ctrl+shift+y"}, 1);
        }
        // Held down, the key repeats; the combination counts once.
        pressAndExpect({"keydown", "ctrl+shift+y", "sleep", "0.9", "keyup", "ctrl+shift+y"}, 1);

        m_service->unregisterHotKey({kSignature, 7});
        pressAndExpect({"key", "ctrl+shift+y"}, 0);
    }

    void refusesACombinationAnotherProgramHolds() {
        QVERIFY(otherGrabs(kCtrlShift));
        QVERIFY(!m_service->registerHotKey({kSignature, 1}, kCtrlShiftY));
        pressAndExpect({"key", "ctrl+shift+y"}, 0); // the refused attempt took nothing away from the other program
        otherUngrabs();

        // Only one lock variant taken (Num Lock on Mod2) is a conflict too.
        QVERIFY(otherGrabs(kCtrlShift | XCB_MOD_MASK_2));
        QVERIFY(!m_service->registerHotKey({kSignature, 3}, kCtrlShiftY));
        otherUngrabs();

        // Released, it is ours, and nothing of the failed attempts lingers.
        QVERIFY(m_service->registerHotKey({kSignature, 4}, kCtrlShiftY));
        pressAndExpect({"key", "ctrl+shift+y"}, 1);
        QCOMPARE(m_presses.front(), 4u);
    }

    void followsTheKeyboardLayout() {
        QVERIFY(m_service->registerHotKey({kSignature, 5}, kCtrlShiftY));
        // German layout: "y" moves to the key that typed "z", and that key no longer is ours.
        QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {"de"}), 0);
        QTest::qWait(300);
        pressAndExpect({"key", "ctrl+shift+y"}, 1);
        pressAndExpect({"key", "ctrl+shift+z"}, 0);
    }
};

} // namespace pindle

QTEST_MAIN(pindle::X11HotKeyServiceTest)
#include "x11_hot_key_service_test.moc"
