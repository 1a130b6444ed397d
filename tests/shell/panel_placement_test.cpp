#include "shell/panel_placement.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

TEST(PanelPlacement, CentresBelowOrAboveTheAnchorAndClampsInOrder) {
    // 1920 x 1080 with a 28 px bar along the top, or a 30 px tray along the bottom, and odd screens.
    const QRectF full(0, 0, 1920, 1080);
    const ScreenArea topBar{full, {0, 28, 1920, 1052}}, bottomTray{full, {0, 0, 1920, 1050}};
    const ScreenArea docked{full, {64, 28, 1856, 1052}}, narrow{{0, 0, 300, 1080}, {0, 28, 300, 1052}};
    const ScreenArea shortArea{full, {0, 28, 1920, 400}}, tall{{0, 0, 1920, 2000}, {0, 0, 1920, 1970}};
    const ScreenArea low{{0, 0, 1024, 400}, {0, 0, 1024, 370}},
        second{{1920, 200, 1280, 1400}, {1920, 200, 1280, 1370}};
    const QRectF icon(940, 4, 24, 24);
    const struct {
        const char* name;
        QRectF anchor;
        std::optional<ScreenArea> screen;
        QPointF origin;
    } cases[] = {
        {"centred, 6 below the icon", icon, topBar, {952 - 180, 28 + 6}},
        {"right edge 8 inside", {1890, 4, 24, 24}, topBar, {1920 - 8 - 360, 34}},
        {"left edge 8 inside a docked area", {70, 4, 24, 24}, docked, {64 + 8, 34}},
        {"too narrow: the left margin wins", {250, 4, 24, 24}, narrow, {8, 34}},
        {"too short: the bottom stays 8 inside, over the icon", icon, shortArea, {772, 428 - 8 - 520}},
        {"fractions kept", {940.25, 4.5, 24, 24}, topBar, {952.25 - 180, 28.5 + 6}},
        {"a point or icon inside the bar: 6 below the bar", {600, 14, 0, 0}, topBar, {420, 28 + 6}},
        {"no screen: unclamped", {-500, -100, 20, 20}, std::nullopt, {-490 - 180, -80 + 6}},
        // In the lower half of its screen the panel opens above the anchor.
        {"above a bottom tray icon, 8 inside", {940, 1054, 22, 22}, bottomTray, {951 - 180, 1050 - 8 - 520}},
        {"above a pointer", {600, 900, 0, 0}, bottomTray, {420, 900 - 6 - 520}},
        {"above a pointer in the tray: 8 inside", {600, 1070, 0, 0}, bottomTray, {420, 1050 - 8 - 520}},
        {"on the middle line: below", {600, 1000, 0, 0}, tall, {420, 1006}},
        {"above on a short screen: the top stays 8 inside", {500, 374, 22, 22}, low, {511 - 180, 8}},
        {"halves of the anchor's own screen", {2500, 800, 0, 0}, second, {2320, 806}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QPointF origin = panelOrigin(c.anchor, QSizeF(360, 520), c.screen);
        EXPECT_DOUBLE_EQ(origin.x(), c.origin.x());
        EXPECT_DOUBLE_EQ(origin.y(), c.origin.y());
    }
}

TEST(PanelPlacement, FallsBackToTheMiddleOfTheEdgeABarBorders) {
    const QRectF screen(0, 0, 1920, 1080);
    EXPECT_EQ(fallbackAnchor({screen, {0, 28, 1920, 1052}}), QRectF(960, 28, 0, 0));
    EXPECT_EQ(fallbackAnchor({screen, {0, 0, 1920, 1050}}), QRectF(960, 1050, 0, 0));
    EXPECT_EQ(fallbackAnchor({screen, screen}), QRectF(960, 0, 0, 0));
    EXPECT_EQ(fallbackAnchor({screen, {64, 28, 1856, 1022}}), QRectF(992, 28, 0, 0));
}

} // namespace
} // namespace pindle
