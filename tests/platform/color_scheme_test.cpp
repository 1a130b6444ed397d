// Light and dark from the desktop portal's appearance setting, against a stand-in portal on the
// private session bus that tests/e2e/desktop.py gives this test.

#include "platform/color_scheme.h"
#include "platform/desktop_color_scheme.h"
#include "platform/view/appearance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace pindle {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");

// Answers Settings.Read like the portal: the value inside a second variant, NotFound for a
// setting it does not have.
class FakeSettingsPortal final : public QDBusVirtualObject {
public:
    explicit FakeSettingsPortal(QDBusConnection bus)
        : m_bus(std::move(bus)) {}

    QString introspect(const QString& /*path*/) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kSettings || message.member() != QLatin1String("Read")) {
            return false;
        }
        ++reads;
        const QString key = message.arguments().value(0).toString() + '/' + message.arguments().value(1).toString();
        if (!settings.contains(key)) {
            connection.send(
                message.createErrorReply("org.freedesktop.portal.Error.NotFound", "Requested setting not found"));
            return true;
        }
        // A switch that happens while the question is on its way: the signal overtakes the answer.
        if (changeBeforeAnswer) {
            const QVariant old = settings[key];
            change(message.arguments().value(0).toString(), message.arguments().value(1).toString(),
                   *changeBeforeAnswer);
            settings[key] = old;
            changeBeforeAnswer.reset();
        }
        const QVariant inner = QVariant::fromValue(QDBusVariant(settings[key]));
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(inner))));
        return true;
    }

    void change(const QString& group, const QString& key, const QVariant& value) {
        settings[group + '/' + key] = value;
        QDBusMessage signal = QDBusMessage::createSignal(kPortalPath, kSettings, "SettingChanged");
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        m_bus.send(signal);
    }

    QMap<QString, QVariant> settings;
    std::optional<QVariant> changeBeforeAnswer;
    int reads = 0;

private:
    QDBusConnection m_bus;
};

bool windowIsDark() {
    return isDark(QApplication::palette());
}

} // namespace

class ColorSchemeTest : public QObject {
    Q_OBJECT

private:
    QPalette m_desktop;
    std::unique_ptr<FakeSettingsPortal> m_portal;
    std::optional<QDBusConnection> m_portalBus;

    // The stand-in portal on a connection of its own, as a separate program would be.
    FakeSettingsPortal& startPortal() {
        m_portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "portal");
        m_portal = std::make_unique<FakeSettingsPortal>(*m_portalBus);
        if (!m_portalBus->registerVirtualObject(kPortalPath, m_portal.get()) ||
            !m_portalBus->registerService(kPortalService)) {
            qFatal("cannot offer the stand-in portal");
        }
        return *m_portal;
    }

private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("no session bus (run under tests/e2e/desktop.py)");
        }
        m_desktop = QApplication::palette();
        QVERIFY(!isDark(m_desktop));
    }

    void cleanup() {
        if (m_portalBus) {
            m_portalBus->unregisterService(kPortalService);
            m_portalBus->unregisterObject(kPortalPath);
            QDBusConnection::disconnectFromBus("portal");
            m_portalBus.reset();
        }
        m_portal.reset();
        QApplication::setPalette(m_desktop);
    }

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

        QPalette accented = m_desktop;
        accented.setColor(QPalette::Highlight, QColor(0xe0, 0x40, 0x90));
        const QPalette dark = paletteForScheme(ColorScheme::dark, accented);
        QVERIFY(isDark(dark));
        QCOMPARE(dark.color(QPalette::Active, QPalette::Highlight), QColor(0xe0, 0x40, 0x90));
        QCOMPARE(paletteForScheme(ColorScheme::dark, dark), dark);

        // Both of Pindle's own palettes keep text readable on the editor and the rail.
        for (const QPalette& palette : {dark, paletteForScheme(ColorScheme::light, dark)}) {
            for (const auto background : {QPalette::Base, QPalette::Window}) {
                const double contrast =
                    std::abs(palette.color(QPalette::Text).lightnessF() - palette.color(background).lightnessF());
                QVERIFY2(contrast > 0.6, qPrintable(QString::number(contrast)));
            }
        }
        QVERIFY(!isDark(paletteForScheme(ColorScheme::light, dark)));
    }

    void followsThePortalLive() {
        FakeSettingsPortal& portal = startPortal();
        portal.settings[kAppearance + "/color-scheme"] = 1U;
        QWidget panel;
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        QSignalSpy changes(&scheme, &DesktopColorScheme::schemeChanged);
        scheme.start();
        QTRY_VERIFY(windowIsDark());
        QVERIFY(isDark(panel.palette()));
        QCOMPARE(scheme.scheme(), ColorScheme::dark);
        QCOMPARE(changes.size(), 1);

        portal.change(kAppearance, "color-scheme", 0U);
        QTRY_VERIFY(!windowIsDark());
        QVERIFY(!isDark(panel.palette()));
        QCOMPARE(QApplication::palette(), m_desktop);
        // Other settings and other namespaces are not the colour scheme.
        portal.change(kAppearance, "accent-color", 1U);
        portal.change("org.gnome.desktop.interface", "color-scheme", 1U);
        portal.change(kAppearance, "color-scheme", 2U);
        portal.change(kAppearance, "color-scheme", 1U);
        QTRY_COMPARE(changes.size(), 3);
        QVERIFY(windowIsDark());
        QCOMPARE(portal.reads, 1);
    }

    void aSwitchDuringTheFirstReadWins() {
        FakeSettingsPortal& portal = startPortal();
        portal.settings[kAppearance + "/color-scheme"] = 0U;
        portal.changeBeforeAnswer = QVariant(1U);
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        scheme.start();
        QTRY_COMPARE(scheme.scheme(), ColorScheme::dark);
        QTest::qWait(100);
        QVERIFY(windowIsDark());
    }

    void withoutThePortalOrTheSettingThePaletteStays() {
        // No portal on the bus at all.
        {
            DesktopColorScheme scheme(QDBusConnection::sessionBus());
            scheme.start();
            QTest::qWait(200);
            QCOMPARE(scheme.scheme(), std::nullopt);
            QCOMPARE(QApplication::palette(), m_desktop);
        }
        // A portal that does not know the setting; it may still announce it later.
        FakeSettingsPortal& portal = startPortal();
        DesktopColorScheme scheme(QDBusConnection::sessionBus());
        scheme.start();
        QTRY_COMPARE(portal.reads, 1);
        QTest::qWait(100);
        QCOMPARE(scheme.scheme(), std::nullopt);
        QCOMPARE(QApplication::palette(), m_desktop);
        portal.change(kAppearance, "color-scheme", 1U);
        QTRY_VERIFY(windowIsDark());
    }
};

} // namespace pindle

QTEST_MAIN(pindle::ColorSchemeTest)
#include "color_scheme_test.moc"
