#include "tray_icon.h"

#include "platform/view/appearance.h"

#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace pindle {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name) {
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The foreground colour an XEmbed tray asks its icons to draw in (the first of the twelve 16-bit
// values of _NET_SYSTEM_TRAY_COLORS on the tray's manager window), when it gives one.
std::optional<QColor> trayForeground() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        return std::nullopt;
    }
    const xcb_atom_t selection = internAtom(connection, "_NET_SYSTEM_TRAY_S0");
    const xcb_atom_t colors = internAtom(connection, "_NET_SYSTEM_TRAY_COLORS");
    if (selection == XCB_ATOM_NONE || colors == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    auto* owner = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t tray = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    std::free(owner);
    if (tray == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    auto* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, tray, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr);
    std::optional<QColor> result;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 12) {
        std::uint32_t rgb[3];
        std::memcpy(rgb, xcb_get_property_value(reply), sizeof rgb);
        result = QColor::fromRgba64(static_cast<quint16>(rgb[0]), static_cast<quint16>(rgb[1]),
                                    static_cast<quint16>(rgb[2]));
    }
    std::free(reply);
    return result;
}

// Xfce's, GNOME's and Plasma's trays recolour symbolic icons. LXQt's panel shows a named icon as
// the theme has it (black on its dark bar) and, given a name Qt's item cannot resolve for it
// (no IconThemePath), nothing at all: it gets the pixels.
bool hostRecoloursSymbolicIcons() {
    static const bool recolours = [] {
        const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper().split(QLatin1Char(':'));
        return desktops.contains(QLatin1String("XFCE")) || desktops.contains(QLatin1String("GNOME")) ||
               desktops.contains(QLatin1String("KDE"));
    }();
    return recolours;
}

// What the icon is drawn with: the tray's own foreground where it tells one, else the
// application's palette.
QPalette iconPalette() {
    QPalette palette = QGuiApplication::palette();
    if (const auto foreground = trayForeground()) {
        palette.setColor(QPalette::Active, QPalette::WindowText, *foreground);
    }
    return palette;
}

class TrayIconEngine final : public QIconEngine {
public:
    explicit TrayIconEngine(bool highlighted)
        : m_highlighted(highlighted) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        paintTrayIcon(*painter, QRectF(rect), m_highlighted, iconPalette());
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        pixmap.setDevicePixelRatio(scale);
        QPainter painter(&pixmap);
        paintTrayIcon(painter, QRectF(QPointF(0, 0), QSizeF(size)), m_highlighted, iconPalette());
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    // Where the StatusNotifierItem host draws symbolic icons in its bar's own text colour, it is
    // given the installed one by name (a host that does not find it takes the pixels). The
    // highlighted icon has no name, so hosts show it as drawn.
    QString iconName() override {
        return !m_highlighted && hostRecoloursSymbolicIcons() ? QStringLiteral("pindle-symbolic") : QString();
    }

    QIconEngine* clone() const override { return new TrayIconEngine(m_highlighted); }
    QString key() const override { return QStringLiteral("pindle-tray"); }

private:
    bool m_highlighted;
};

} // namespace

void paintTrayIcon(QPainter& painter, const QRectF& bounds, bool highlighted, const QPalette& palette) {
    const qreal side = std::min(bounds.width(), bounds.height());
    if (side <= 0) {
        return;
    }
    const QRectF square(bounds.center().x() - side / 2, bounds.center().y() - side / 2, side, side);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    QColor glyph = palette.color(QPalette::Active, QPalette::WindowText);
    if (highlighted) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::Active, QPalette::Highlight));
        painter.drawRoundedRect(square, side * 0.2, side * 0.2);
        glyph = palette.color(QPalette::Active, QPalette::HighlightedText);
    }

    // Circles on a 2x2 grid inside a margin, with gaps wide enough to stay apart at 16 px.
    const qreal margin = side * (highlighted ? 0.2 : 0.12);
    const qreal cell = (side - 2 * margin) / 2;
    const qreal radius = cell * 0.37;
    QPainterPath dots;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QPointF centre(square.left() + margin + cell * (column + 0.5),
                                 square.top() + margin + cell * (row + 0.5));
            dots.addEllipse(centre, radius, radius);
        }
    }

    if (!highlighted) {
        // The halo keeps the glyph visible on a panel of the glyph's own tone.
        QColor halo = contrastingColor(glyph);
        halo.setAlphaF(0.85f);
        painter.setPen(QPen(halo, std::max<qreal>(1.5, side / 12), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(dots);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(glyph);
    painter.drawPath(dots);
    painter.restore();
}

QIcon trayIcon(bool highlighted) {
    return QIcon(new TrayIconEngine(highlighted));
}

} // namespace pindle
