// When the desktop has a tray for Pindle's icon, on a private X display and session bus
// (tests/e2e/desktop.py). The test plays the other programs: a StatusNotifierWatcher on a bus
// connection of its own, and XEmbed trays on X connections of their own.

#include "platform/tray_host_watcher.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace pindle {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// The desktop shell's watcher: owns the well-known name while it lives, counts how often it is asked.
class RunningWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    explicit RunningWatcher(bool host)
        : m_host(host) {
        if (!m_bus.registerObject("/StatusNotifierWatcher", this, QDBusConnection::ExportAllContents) ||
            !m_bus.registerService(kWatcherService)) {
            qFatal("cannot offer the stand-in watcher");
        }
    }
    ~RunningWatcher() override {
        m_bus.unregisterService(kWatcherService);
        QDBusConnection::disconnectFromBus(m_bus.name());
    }
    bool hostRegistered() const {
        ++asked;
        return m_host;
    }
    void registerHost() {
        m_host = true;
        emit StatusNotifierHostRegistered();
    }
    Q_SIGNAL void StatusNotifierHostRegistered();
    mutable int asked = 0;

private:
    bool m_host;
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::number(quintptr(this)));
};

using XConnection = std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)>;

// Another X client taking `selection` with a window of its own, as a tray takes
// _NET_SYSTEM_TRAY_S0; the selection goes with the connection.
XConnection take(const char* selection) {
    XConnection x(xcb_connect(nullptr, nullptr), xcb_disconnect);
    const xcb_window_t window = xcb_generate_id(x.get());
    xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window,
                      xcb_setup_roots_iterator(xcb_get_setup(x.get())).data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const auto length = static_cast<std::uint16_t>(std::strlen(selection));
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(x.get(), xcb_intern_atom(x.get(), 0, length, selection), nullptr);
    xcb_set_selection_owner(x.get(), window, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    std::free(xcb_get_input_focus_reply(x.get(), xcb_get_input_focus(x.get()), nullptr)); // taken once this returns
    return x;
}

class TrayHostWatcherTest : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<TrayHostWatcher>> m_watchers;

    // Starts a watcher that lives until the test ends; the spy counts its signs of a tray.
    std::unique_ptr<QSignalSpy> start() {
        const auto& watcher = m_watchers.emplace_back(createTrayHostWatcher());
        auto appeared = std::make_unique<QSignalSpy>(watcher.get(), &TrayHostWatcher::trayAppeared);
        watcher->start();
        return appeared;
    }

private slots:
    void cleanup() { m_watchers.clear(); }

    // A watcher is asked each time one starts, and its host is the sign, once: from then on
    // nothing is listened to or asked.
    void aStatusNotifierHost() {
        auto appeared = start();
        auto running = std::make_unique<RunningWatcher>(false);
        QTRY_COMPARE(running->asked, 1);
        running.reset(); // the desktop shell starts again
        running = std::make_unique<RunningWatcher>(false);
        QTRY_COMPARE(running->asked, 1);
        QTest::qWait(100);
        QCOMPARE(appeared->size(), 0);
        running->registerHost();
        QTRY_COMPARE(appeared->size(), 1);

        auto later = start(); // a host already there is found as soon as the watcher answers
        QTRY_COMPARE(later->size(), 1);
        running->registerHost();
        running.reset();
        RunningWatcher another(true);
        QTest::qWait(100);
        QCOMPARE(appeared->size() + later->size(), 2);
        QCOMPARE(another.asked, 0);
    }

    void anXEmbedTray() {
        auto appeared = start();
        const XConnection compositor = take("_NET_WM_CM_S0"); // a compositing manager is not a tray
        QTest::qWait(100);
        QCOMPARE(appeared->size(), 0);
        {
            const XConnection tray = take("_NET_SYSTEM_TRAY_S0");
            QTRY_COMPARE(appeared->size(), 1);
            QCOMPARE(start()->size(), 1); // one started while a tray runs answers from within start()
        }
        const XConnection next = take("_NET_SYSTEM_TRAY_S0"); // the tray leaves and another comes: once is all
        QTest::qWait(100);
        QCOMPARE(appeared->size(), 1);
    }
};

} // namespace pindle

QTEST_MAIN(pindle::TrayHostWatcherTest)
#include "tray_host_watcher_test.moc"
