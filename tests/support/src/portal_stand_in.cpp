#include "pindle/testing/portal_stand_in.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

namespace pindle::testing {

namespace {
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
}

PortalStandIn::PortalStandIn(const QStringList& options) {
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{PINDLE_FAKE_PORTAL} + options);
    const auto owned = [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal).value(); };
    if (!QTest::qWaitFor(owned, 10000)) {
        qFatal("the portal stand-in did not start");
    }
}

PortalStandIn::~PortalStandIn() {
    m_process.terminate();
    m_process.waitForFinished();
    const auto gone = [] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal).value(); };
    (void)QTest::qWaitFor(gone);
}

QVariant PortalStandIn::control(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       QStringLiteral("org.pindle.test.Control"), method);
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qFatal("portal stand-in: %s: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    }
    return reply.arguments().value(0);
}

} // namespace pindle::testing
