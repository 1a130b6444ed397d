// Hot keys through the GlobalShortcuts portal, against the portal stand-in on a private session
// bus (tests/e2e/desktop.py).

#include "pindle/testing/portal_stand_in.h"
#include "platform/hot_key_service.h"
#include "platform/portal_hot_key_service.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>

namespace pindle {

namespace {

constexpr std::uint32_t kSignature = 0x504E444C;

// How many match rules `bus` has on the bus daemon.
uint matchRules(const QDBusConnection& bus) {
    QDBusMessage stats = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus.Debug.Stats", "GetConnectionStats");
    stats << bus.baseService();
    return qdbus_cast<QVariantMap>(bus.call(stats).arguments().value(0)).value("MatchRules").toUInt();
}

} // namespace

class PortalHotKeyServiceTest : public QObject {
    Q_OBJECT

private slots:
    void bindsTheCombinationAndReportsItsPresses() {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(!PortalHotKeyService::available(bus));
        testing::PortalStandIn portal({"--shortcuts"});
        QVERIFY(PortalHotKeyService::available(bus));
        // The portal takes the hot key on a Wayland session only, as the login manager or the
        // compositor says (an empty value as good as none); elsewhere the X11 grab does.
        for (const auto& [display, type, wayland] : {std::tuple{"", "x11", false},
                                                     {"", "", false},
                                                     {"", "tty", false},
                                                     {"wayland-0", "wayland", true},
                                                     {"wayland-0", "", true},
                                                     {"", "wayland", true},
                                                     {"wayland-1", "x11", true}}) {
            QVERIFY(qputenv("WAYLAND_DISPLAY", display) && qputenv("XDG_SESSION_TYPE", type));
            QVERIFY2((dynamic_cast<PortalHotKeyService*>(createHotKeyService().get()) != nullptr) == wayland,
                     qPrintable(QStringLiteral("%1 %2").arg(display, type)));
        }
        // Each binding as "session id preferred-trigger".
        const auto bindings = [&] { return portal.control("Bindings").toStringList(); };

        PortalHotKeyService service(bus);
        std::vector<std::uint32_t> presses;
        service.setPressHandler([&](HotKeyId key) { presses.push_back(key.signature == kSignature ? key.id : 0); });
        QVERIFY(service.registerHotKey({kSignature, 1}, {0x79, kHotKeyControl | kHotKeyShift}));
        QTRY_COMPARE(bindings().size(), 1);
        const QStringList bound = bindings()[0].split(' ');
        const QString session = bound[0], id = bound[1];
        QCOMPARE(bound[2], QStringLiteral("CTRL+SHIFT+y"));

        QVERIFY(portal.control("Press", {id}).toBool());
        QTRY_COMPARE(presses, std::vector<std::uint32_t>{1});
        // Another session's shortcut and an unknown id are someone else's.
        portal.control("Activate",
                       {QVariant::fromValue(QDBusObjectPath("/org/freedesktop/portal/desktop/session/x/y")), id});
        portal.control("Activate", {QVariant::fromValue(QDBusObjectPath(session)), "pindle-unknown"});
        QTest::qWait(100);
        QCOMPARE(presses.size(), 1U);

        // A session the desktop closes is made and bound anew; answered requests leave no rules.
        const uint rules = matchRules(bus);
        portal.control("EndSession", {QVariant::fromValue(QDBusObjectPath(session))});
        QTRY_COMPARE(bindings().size(), 1);
        const QString renewed = bindings()[0].section(' ', 0, 0);
        QVERIFY(renewed != session);
        QTRY_COMPARE(matchRules(bus), rules);

        service.unregisterHotKey({kSignature, 1});
        QTRY_COMPARE(portal.control("ClosedSessions").toStringList(), QStringList{renewed});
        portal.control("Activate", {QVariant::fromValue(QDBusObjectPath(renewed)), id});
        QTest::qWait(100);
        QCOMPARE(presses.size(), 1U);

        // Refused by the desktop, a registration is reported refused.
        portal.control("Refuse", {true});
        std::vector<std::uint32_t> refused;
        service.setRefusalHandler([&](HotKeyId key) { refused.push_back(key.id); });
        QVERIFY(service.registerHotKey({kSignature, 2}, {0x79, kHotKeyControl | kHotKeyShift}));
        QTRY_COMPARE(refused, std::vector<std::uint32_t>{2});
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::PortalHotKeyServiceTest)
#include "portal_hot_key_service_test.moc"
