// Light and dark from the desktop portal's appearance setting, against the portal stand-in on the
// private session bus that tests/e2e/desktop.py gives this test.

#include "pindle/testing/portal_stand_in.h"
#include "platform/color_scheme.h"
#include "platform/desktop_color_scheme.h"
#include "platform/view/appearance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

namespace pindle {

namespace {

using testing::PortalStandIn;
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");

void change(PortalStandIn& portal, const QString& group, const QString& key, uint value) {
    portal.control("SetSetting", {group, key, QVariant::fromValue(QDBusVariant(value))});
}

bool windowIsDark() {
    return isDark(QApplication::palette());
}

} // namespace

class ColorSchemeTest : public QObject {
    Q_OBJECT

    QPalette m_desktop;

private slots:
    void initTestCase() {
        m_desktop = QApplication::palette();
        QVERIFY(!isDark(m_desktop));
    }

    void cleanup() { QApplication::setPalette(m_desktop); }

    void settingValues_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("dark");
        QTest::newRow("1 is dark") << QVariant(1U) << true;
        QTest::newRow("as a signed number") << QVariant(1) << true;
        QTest::newRow("no preference") << QVariant(0U) << false;
        QTest::newRow("prefers light") << QVariant(2U) << false;
        QTest::newRow("unknown value") << QVariant(7U) << false;
        QTest::newRow("text is not a number") << QVariant(QStringLiteral("1")) << false;
        QTest::newRow("wrapped twice") << QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(1U))))
                                       << true;
        QTest::newRow("missing") << QVariant() << false;
    }

    void settingValues() {
        QFETCH(QVariant, value);
        QFETCH(bool, dark);
        QCOMPARE(colorSchemeFromSetting(value) == ColorScheme::dark, dark);
    }

    void palettesKeepTheDesktopThemeWhenItHasTheTone() {
        QCOMPARE(paletteForScheme(ColorScheme::light, m_desktop), m_desktop);
        QPalette grey = m_desktop; // black text on mid grey is a light theme
        grey.setColor(QPalette::Window, QColor(0x76, 0x76, 0x76));
        QCOMPARE(paletteForScheme(ColorScheme::light, grey), grey);

        grey.setColor(QPalette::Highlight, QColor(0xe0, 0x40, 0x90));
        const QPalette dark = paletteForScheme(ColorScheme::dark, grey);
        QCOMPARE(dark.color(QPalette::Active, QPalette::Highlight), QColor(0xe0, 0x40, 0x90));
        QCOMPARE(paletteForScheme(ColorScheme::dark, dark), dark);
        const QPalette light = paletteForScheme(ColorScheme::light, dark);
        QVERIFY(isDark(dark) && !isDark(light));
        for (const QPalette& palette : {dark, light}) { // text stays readable on the editor and on the rail
            for (const auto background : {QPalette::Base, QPalette::Window}) {
                QVERIFY(std::abs(palette.color(QPalette::Text).lightnessF() - palette.color(background).lightnessF()) >
                        0.6);
            }
        }
    }

    void followsThePortalLive() {
        DesktopColorScheme before(QDBusConnection::sessionBus()); // no portal on the bus at all
        before.start();
        QTest::qWait(200);
        QCOMPARE(before.scheme(), std::nullopt);
        QCOMPARE(QApplication::palette(), m_desktop);

        PortalStandIn portal({"--settings", "--color-scheme", "1"});
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        QSignalSpy changes(&scheme, &DesktopColorScheme::schemeChanged);
        scheme.start();
        QTRY_VERIFY(windowIsDark());
        QCOMPARE(scheme.scheme(), ColorScheme::dark);
        QCOMPARE(changes.size(), 1);

        change(portal, kAppearance, "color-scheme", 0);
        QTRY_VERIFY(!windowIsDark());
        QCOMPARE(QApplication::palette(), m_desktop);
        // Other settings and other namespaces are not the colour scheme.
        change(portal, kAppearance, "accent-color", 1);
        change(portal, "org.gnome.desktop.interface", "color-scheme", 1);
        change(portal, kAppearance, "color-scheme", 2);
        change(portal, kAppearance, "color-scheme", 1);
        QTRY_COMPARE(changes.size(), 3);
        QVERIFY(windowIsDark());
        QCOMPARE(portal.control("Reads").toUInt(), 1U);
    }

    void aSwitchDuringTheFirstReadWins() {
        PortalStandIn portal({"--settings", "--color-scheme", "0"});
        portal.control("SwitchDuringNextRead", {QVariant::fromValue(QDBusVariant(1U))});
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        scheme.start();
        QTRY_COMPARE(scheme.scheme(), ColorScheme::dark);
        QTest::qWait(100);
        QVERIFY(windowIsDark());
    }

    void aPortalThatDoesNotKnowTheSettingMayAnnounceItLater() {
        PortalStandIn portal({"--settings"});
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        scheme.start();
        QTRY_COMPARE(portal.control("Reads").toUInt(), 1U);
        QTest::qWait(100);
        QCOMPARE(scheme.scheme(), std::nullopt);
        QCOMPARE(QApplication::palette(), m_desktop);
        change(portal, kAppearance, "color-scheme", 1);
        QTRY_VERIFY(windowIsDark());
    }
};

} // namespace pindle

QTEST_MAIN(pindle::ColorSchemeTest)
#include "color_scheme_test.moc"
