// When the desktop has a tray for Pindle's icon, on a private X display and session bus
// (tests/e2e/desktop.py). The test plays the other programs itself: a
// StatusNotifierWatcher on a bus connection of its own, and XEmbed trays on X connections of their
// own.

#include "platform/tray_host_watcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace pindle {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// The desktop shell's watcher as a program of its own: its own connection, owning the well-known
// name while it lives; it answers IsStatusNotifierHostRegistered and announces a host.
class RunningWatcher final : public QDBusVirtualObject {
public:
    explicit RunningWatcher(bool host)
        : m_host(host)
        , m_name(QStringLiteral("watcher%1").arg(++s_count))
        , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name)) {
        if (!m_bus.registerVirtualObject(kWatcherPath, this) || !m_bus.registerService(kWatcherService)) {
            qFatal("cannot offer the stand-in watcher");
        }
    }
    ~RunningWatcher() override {
        m_bus.unregisterService(kWatcherService);
        m_bus.unregisterObject(kWatcherPath);
        QDBusConnection::disconnectFromBus(m_name);
    }

    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Get") ||
            message.arguments().value(1).toString() != QLatin1String("IsStatusNotifierHostRegistered")) {
            return false;
        }
        ++m_asked;
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(m_host))));
        return true;
    }

    void registerHost() {
        m_host = true;
        m_bus.send(QDBusMessage::createSignal(kWatcherPath, kWatcherService, "StatusNotifierHostRegistered"));
    }
    int asked() const { return m_asked; }

private:
    static inline int s_count = 0;
    bool m_host;
    int m_asked = 0;
    QString m_name;
    QDBusConnection m_bus;
};

// Another X client that takes a selection with a window of its own, as a tray takes
// _NET_SYSTEM_TRAY_S0. Leaving drops the selection with the connection.
class XClient {
public:
    XClient()
        : m_connection(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(m_connection)) {
            qFatal("cannot open a second X connection");
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    ~XClient() { xcb_disconnect(m_connection); }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    void take(const char* selection) {
        auto cookie = xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(selection)), selection);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        xcb_set_selection_owner(m_connection, m_window, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        // Round trip: the selection is ours once this returns.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_window = 0;
};

} // namespace

class TrayHostWatcherTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("no session bus (run under tests/e2e/desktop.py)");
        }
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs an X display (run under tests/e2e/desktop.py)");
        }
    }

    void aStatusNotifierWatcherThatStartsLaterIsAskedEachTimeItStarts() {
        auto watcher = createTrayHostWatcher();
        QSignalSpy appeared(watcher.get(), &TrayHostWatcher::trayAppeared);
        watcher->start();

        // The desktop shell comes up with its watcher before the host that shows the items...
        auto early = std::make_unique<RunningWatcher>(false);
        QTRY_COMPARE(early->asked(), 1);
        QTest::qWait(100);
        QCOMPARE(appeared.size(), 0);
        // ...and starts again, this time with its host.
        early.reset();
        {
            RunningWatcher restarted(true);
            QTRY_COMPARE(appeared.size(), 1);
            QCOMPARE(restarted.asked(), 1);
            // Once is all: from here on nothing is listened to or asked.
            restarted.registerHost();
            QTest::qWait(100);
        }
        RunningWatcher another(true);
        QTest::qWait(100);
        QCOMPARE(appeared.size(), 1);
        QCOMPARE(another.asked(), 0);
    }

    void aHostThatRegistersWithARunningWatcherIsTheSign() {
        RunningWatcher running(false);
        auto watcher = createTrayHostWatcher();
        QSignalSpy appeared(watcher.get(), &TrayHostWatcher::trayAppeared);
        watcher->start();
        QTRY_COMPARE(running.asked(), 1);
        QTest::qWait(100);
        QCOMPARE(appeared.size(), 0);
        running.registerHost();
        QTRY_COMPARE(appeared.size(), 1);

        // A host already there is found as soon as the watcher answers.
        auto later = createTrayHostWatcher();
        QSignalSpy laterAppeared(later.get(), &TrayHostWatcher::trayAppeared);
        later->start();
        QTRY_COMPARE(laterAppeared.size(), 1);
    }

    void anXEmbedTrayIsSeenWhenItTakesTheSelectionOrAtOnceWhenItHasIt() {
        auto watcher = createTrayHostWatcher();
        QSignalSpy appeared(watcher.get(), &TrayHostWatcher::trayAppeared);
        watcher->start();
        QCOMPARE(appeared.size(), 0);

        // A compositing manager starting is not a tray.
        XClient compositor;
        compositor.take("_NET_WM_CM_S0");
        QTest::qWait(100);
        QCOMPARE(appeared.size(), 0);

        {
            XClient tray;
            tray.take("_NET_SYSTEM_TRAY_S0");
            QTRY_COMPARE(appeared.size(), 1);

            // Started while a tray runs: the answer comes from within start().
            auto later = createTrayHostWatcher();
            QSignalSpy laterAppeared(later.get(), &TrayHostWatcher::trayAppeared);
            later->start();
            QCOMPARE(laterAppeared.size(), 1);
        }
        // The tray leaves and another comes: once is all.
        XClient next;
        next.take("_NET_SYSTEM_TRAY_S0");
        QTest::qWait(100);
        QCOMPARE(appeared.size(), 1);
    }
};

} // namespace pindle

QTEST_MAIN(pindle::TrayHostWatcherTest)
#include "tray_host_watcher_test.moc"
