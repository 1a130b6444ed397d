// Hot keys through the GlobalShortcuts portal, against a stand-in portal on a private session bus
// (tests/e2e/desktop.py).

#include "platform/portal_hot_key_service.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>

#include <atomic>
#include <thread>

namespace pindle {

namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSessionPath = QStringLiteral("/org/freedesktop/portal/desktop/session/test/one");
constexpr std::uint32_t kSignature = 0x504E444C;

// Answers like the portal: a reply with the request's path, then Response on that path.
class FakePortal final : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection bus)
        : m_bus(std::move(bus)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QList<QVariant> arguments = message.arguments();
        if (member == QLatin1String("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
        } else if (member == QLatin1String("Close")) {
            closed << message.path();
            connection.send(message.createReply());
        } else if (member == QLatin1String("CreateSession")) {
            ++sessions;
            respond(message, arguments.at(0), {{"session_handle", QVariant::fromValue(QDBusObjectPath(kSessionPath))}});
        } else if (member == QLatin1String("BindShortcuts")) {
            boundSession = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
            const QDBusArgument list = arguments.at(1).value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap properties;
                list.beginStructure();
                list >> id >> properties;
                list.endStructure();
                bound[id] = properties;
            }
            list.endArray();
            respond(message, arguments.at(3), {}, refuse ? 1u : 0u);
        } else {
            return false;
        }
        return true;
    }

    void press(const QString& session, const QString& shortcut) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPortalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << shortcut << qulonglong(1) << QVariantMap();
        m_bus.send(signal);
    }

    // The desktop ends the session.
    void endSession() {
        m_bus.send(QDBusMessage::createSignal(kSessionPath, "org.freedesktop.portal.Session", "Closed")
                   << QVariantMap());
    }

    QStringList closed;
    int sessions = 0;
    bool refuse = false;
    QString boundSession;
    QMap<QString, QVariantMap> bound;

private:
    void respond(const QDBusMessage& message, const QVariant& options, const QVariantMap& results, uint answer = 0) {
        const QString token = qdbus_cast<QVariantMap>(options).value("handle_token").toString();
        const QString sender = message.service().mid(1).replace('.', '_');
        const QString request = kPortalPath + "/request/" + sender + "/" + token;
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << answer << results;
        m_bus.send(response);
    }

    QDBusConnection m_bus;
};

// How many match rules `bus` has on the bus daemon.
uint matchRules(const QDBusConnection& bus) {
    QDBusMessage stats = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus.Debug.Stats", "GetConnectionStats");
    stats << bus.baseService();
    return qdbus_cast<QVariantMap>(bus.call(stats).arguments().value(0)).value("MatchRules").toUInt();
}

// available() blocks on the bus; asked from another thread, as the stand-in portal answers on
// this one.
bool availableFromAnotherThread(const QDBusConnection& bus) {
    std::atomic<bool> done = false;
    bool result = false;
    std::thread asker([&] {
        result = PortalHotKeyService::available(bus);
        done = true;
    });
    while (!done) {
        QTest::qWait(10);
    }
    asker.join();
    return result;
}

} // namespace

class PortalHotKeyServiceTest : public QObject {
    Q_OBJECT

private slots:
    void bindsTheCombinationAndReportsItsPresses() {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        QVERIFY(!availableFromAnotherThread(client));
        QDBusConnection portalBus = QDBusConnection::connectToBus(address, "portal");
        FakePortal portal(portalBus);
        QVERIFY(portalBus.registerVirtualObject(kPortalPath, &portal, QDBusConnection::SubPath));
        QVERIFY(portalBus.registerService("org.freedesktop.portal.Desktop"));
        QVERIFY(availableFromAnotherThread(client));

        PortalHotKeyService service(client);
        std::vector<HotKeyId> presses;
        service.setPressHandler([&](HotKeyId id) { presses.push_back(id); });
        QVERIFY(service.registerHotKey({kSignature, 1}, {0x79, kHotKeyControl | kHotKeyShift}));
        QTRY_COMPARE(portal.bound.size(), 1);
        QCOMPARE(portal.boundSession, kSessionPath);
        const QString id = portal.bound.firstKey();
        QCOMPARE(portal.bound[id].value("preferred_trigger").toString(), QStringLiteral("CTRL+SHIFT+y"));

        portal.press(kSessionPath, id);
        QTRY_COMPARE(presses.size(), std::size_t{1});
        QCOMPARE(presses[0].id, 1u);
        QCOMPARE(presses[0].signature, kSignature);
        // Another session's shortcut and an unknown id are someone else's.
        portal.press("/org/freedesktop/portal/desktop/session/other/two", id);
        portal.press(kSessionPath, "pindle-unknown");
        QTest::qWait(100);
        QCOMPARE(presses.size(), std::size_t{1});

        // A session the desktop closes is made and bound anew; answered requests leave no rules.
        const uint rules = matchRules(client);
        portal.bound.clear();
        portal.endSession();
        QTRY_COMPARE(portal.bound.size(), 1);
        QCOMPARE(portal.sessions, 2);
        QTRY_COMPARE(matchRules(client), rules);

        service.unregisterHotKey({kSignature, 1});
        QTRY_COMPARE(portal.closed, QStringList{kSessionPath});
        portal.press(kSessionPath, id);
        QTest::qWait(100);
        QCOMPARE(presses.size(), std::size_t{1});

        // Refused by the desktop, a registration is reported refused.
        portal.refuse = true;
        std::vector<std::uint32_t> refused;
        service.setRefusalHandler([&](HotKeyId key) { refused.push_back(key.id); });
        QVERIFY(service.registerHotKey({kSignature, 2}, {0x79, kHotKeyControl | kHotKeyShift}));
        QTRY_COMPARE(refused, std::vector<std::uint32_t>{2});
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::PortalHotKeyServiceTest)
#include "portal_hot_key_service_test.moc"
