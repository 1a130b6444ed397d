#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QVariant>

namespace pindle::testing {

// The desktop portal stand-in of the end-to-end tests (tests/e2e/fake_portal.py, a program of its
// own) on the test's session bus; `options` are its command line. Steered through its control
// interface; stopped when this goes.
class PortalStandIn {
public:
    explicit PortalStandIn(const QStringList& options);
    ~PortalStandIn();
    PortalStandIn(const PortalStandIn&) = delete;
    PortalStandIn& operator=(const PortalStandIn&) = delete;

    QVariant control(const QString& method, const QVariantList& arguments = {});

private:
    QProcess m_process;
};

} // namespace pindle::testing
