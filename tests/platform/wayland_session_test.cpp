// Which sessions count as Wayland ones, from the variables the login manager and the compositor
// set.

#include "platform/wayland_session.h"

#include <QTest>

namespace pindle {

class WaylandSessionTest : public QObject {
    Q_OBJECT

private slots:
    void fromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<bool>("wayland");
        // An empty value stands for the variable not being set.
        QTest::newRow("X11 session") << QByteArray() << QByteArray("x11") << false;
        QTest::newRow("nothing said") << QByteArray() << QByteArray() << false;
        QTest::newRow("text console") << QByteArray() << QByteArray("tty") << false;
        QTest::newRow("compositor and login manager") << QByteArray("wayland-0") << QByteArray("wayland") << true;
        QTest::newRow("compositor only") << QByteArray("wayland-0") << QByteArray() << true;
        QTest::newRow("login manager only") << QByteArray() << QByteArray("wayland") << true;
        QTest::newRow("nested compositor in an X11 session") << QByteArray("wayland-1") << QByteArray("x11") << true;
    }

    void fromTheEnvironment() {
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, sessionType);
        QFETCH(bool, wayland);
        for (const auto& [name, value] :
             {std::pair{"WAYLAND_DISPLAY", waylandDisplay}, std::pair{"XDG_SESSION_TYPE", sessionType}}) {
            if (value.isEmpty()) {
                qunsetenv(name);
            } else {
                qputenv(name, value);
            }
        }
        QCOMPARE(isWaylandSession(), wayland);
    }
};

} // namespace pindle

QTEST_APPLESS_MAIN(pindle::WaylandSessionTest)
#include "wayland_session_test.moc"
