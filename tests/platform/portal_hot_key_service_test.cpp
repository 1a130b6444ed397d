// Hot keys through the GlobalShortcuts portal, against a stand-in portal on a private bus.

#include "platform/portal_hot_key_service.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>
#include <QTimer>

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
        calls << member;
        if (member == QLatin1String("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            return true;
        }
        if (member == QLatin1String("Close")) {
            closed << message.path();
            connection.send(message.createReply());
            return true;
        }
        if (member == QLatin1String("CreateSession")) {
            const auto options = qdbus_cast<QVariantMap>(message.arguments().at(0));
            respond(message, options.value("handle_token").toString(),
                    {{"session_handle", QVariant::fromValue(QDBusObjectPath(kSessionPath))}});
            return true;
        }
        if (member == QLatin1String("BindShortcuts")) {
            boundSession = qdbus_cast<QDBusObjectPath>(message.arguments().at(0)).path();
            bound.clear();
            const QDBusArgument list = message.arguments().at(1).value<QDBusArgument>();
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
            const auto options = qdbus_cast<QVariantMap>(message.arguments().at(3));
            respond(message, options.value("handle_token").toString(), {});
            return true;
        }
        return false;
    }

    void press(const QString& session, const QString& shortcut) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPortalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << shortcut << qulonglong(1) << QVariantMap();
        m_bus.send(signal);
    }

    QStringList calls;
    QStringList closed;
    QString boundSession;
    QMap<QString, QVariantMap> bound;

private:
    void respond(const QDBusMessage& message, const QString& token, const QVariantMap& results) {
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString request = kPortalPath + "/request/" + sender + "/" + token;
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << 0u << results;
        m_bus.send(response);
    }

    QDBusConnection m_bus;
};

// available() blocks on the bus; asked from another thread, as the stand-in portal answers on
// this one.
bool availableFromAnotherThread(const QDBusConnection& bus) {
    bool result = false;
    std::atomic<bool> done = false;
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

private:
    QProcess m_daemon;
    QString m_address;

private slots:
    void initTestCase() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000)) {
            QSKIP("dbus-daemon is not installed");
        }
        QVERIFY(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    void cleanupTestCase() {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    void bindsTheCombinationAndReportsItsPresses() {
        QDBusConnection client = QDBusConnection::connectToBus(m_address, "client");
        QVERIFY(!availableFromAnotherThread(client));

        QDBusConnection portalBus = QDBusConnection::connectToBus(m_address, "portal");
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
        QVERIFY(!portal.bound[id].value("description").toString().isEmpty());

        portal.press(kSessionPath, id);
        QTRY_COMPARE(presses.size(), std::size_t{1});
        QCOMPARE(presses[0].id, 1u);
        QCOMPARE(presses[0].signature, kSignature);
        // Another session's shortcut and an unknown id are someone else's.
        portal.press("/org/freedesktop/portal/desktop/session/other/two", id);
        portal.press(kSessionPath, "pindle-unknown");
        QTest::qWait(100);
        QCOMPARE(presses.size(), std::size_t{1});

        service.unregisterHotKey({kSignature, 1});
        QTRY_COMPARE(portal.closed, QStringList{kSessionPath});
        portal.press(kSessionPath, id);
        QTest::qWait(100);
        QCOMPARE(presses.size(), std::size_t{1});
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::PortalHotKeyServiceTest)
#include "portal_hot_key_service_test.moc"
