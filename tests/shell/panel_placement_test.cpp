#include "shell/panel_placement.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

const QSizeF kPanel(360, 520);

// A 1920x1080 screen with a 28 px bar along the top.
ScreenArea wideScreen() {
    return {QRectF(0, 0, 1920, 1080), QRectF(0, 28, 1920, 1052)};
}

TEST(PanelPlacement, CentresBelowTheAnchorAndKeepsTheMarginsInOrder) {
    // Middle of a wide screen: centred, top edge 6 below the icon.
    const QRectF icon(940, 2, 24, 24);
    const QPointF middle = panelOrigin(icon, kPanel, wideScreen());
    EXPECT_DOUBLE_EQ(middle.x() + kPanel.width() / 2, icon.center().x());
    EXPECT_DOUBLE_EQ(middle.y() - icon.bottom(), 6);

    // Near the right edge: the right edge ends 8 inside the available area.
    const QPointF right = panelOrigin(QRectF(1890, 2, 24, 24), kPanel, wideScreen());
    EXPECT_DOUBLE_EQ(right.x() + kPanel.width(), 1920 - 8);
    EXPECT_DOUBLE_EQ(right.y(), 32);

    // Near the left edge of an area that starts further right (a dock on the left).
    const ScreenArea docked{QRectF(0, 0, 1920, 1080), QRectF(64, 28, 1856, 1052)};
    EXPECT_DOUBLE_EQ(panelOrigin(QRectF(70, 2, 24, 24), kPanel, docked).x(), 64 + 8);

    // Narrower than the panel plus both margins: the left margin wins, the panel overflows right.
    const ScreenArea narrow{QRectF(0, 0, 300, 1080), QRectF(0, 28, 300, 1052)};
    EXPECT_DOUBLE_EQ(panelOrigin(QRectF(250, 2, 24, 24), kPanel, narrow).x(), 8);

    // Too short: the bottom edge stays 8 above the area's bottom, even over the icon and past
    // the top of the area.
    const ScreenArea shortArea{QRectF(0, 0, 1920, 1080), QRectF(0, 28, 1920, 400)};
    const QPointF squeezed = panelOrigin(icon, kPanel, shortArea);
    EXPECT_DOUBLE_EQ(squeezed.y() + kPanel.height(), 428 - 8);
    EXPECT_LT(squeezed.y(), icon.bottom());
}

TEST(PanelPlacement, KeepsFractionsAndUsesTheCandidateWithoutAScreen) {
    const QPointF fractional = panelOrigin(QRectF(940.25, 2.5, 24, 24), kPanel, wideScreen());
    EXPECT_DOUBLE_EQ(fractional.x(), 952.25 - 180);
    EXPECT_DOUBLE_EQ(fractional.y(), 26.5 + 6);

    // Far off any screen: nothing is clamped.
    const QPointF unclamped = panelOrigin(QRectF(-500, -100, 20, 20), kPanel, std::nullopt);
    EXPECT_DOUBLE_EQ(unclamped.x(), -490 - 180);
    EXPECT_DOUBLE_EQ(unclamped.y(), -80 + 6);
}

TEST(PanelPlacement, OpensAboveAnAnchorInTheLowerHalf) {
    // A tray along the bottom: 1920x1080 with a 30 px panel at the bottom.
    const ScreenArea bottomTray{QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1050)};
    const QRectF icon(940, 1054, 22, 22);
    const QPointF above = panelOrigin(icon, kPanel, bottomTray);
    EXPECT_DOUBLE_EQ(above.x() + kPanel.width() / 2, icon.center().x());
    // Bottom edge 6 above the icon would reach into the tray's strip; the margin keeps it 8
    // inside the available area.
    EXPECT_DOUBLE_EQ(above.y() + kPanel.height(), 1050 - 8);

    // A pointer position (an empty anchor) well inside the screen's lower half.
    const QRectF pointer(600, 900, 0, 0);
    const QPointF atPointer = panelOrigin(pointer, kPanel, bottomTray);
    EXPECT_DOUBLE_EQ(atPointer.y() + kPanel.height(), 900 - 6);

    // Exactly on the middle line still opens below.
    const ScreenArea tall{QRectF(0, 0, 1920, 2000), QRectF(0, 0, 1920, 1970)};
    EXPECT_DOUBLE_EQ(panelOrigin(QRectF(600, 1000, 0, 0), kPanel, tall).y(), 1006);

    // A screen too short for the panel above the anchor: the top edge stays 8 inside.
    const ScreenArea shortScreen{QRectF(0, 0, 1024, 400), QRectF(0, 0, 1024, 370)};
    const QPointF clipped = panelOrigin(QRectF(500, 374, 22, 22), kPanel, shortScreen);
    EXPECT_DOUBLE_EQ(clipped.y(), 8);

    // The lower half is judged against the anchor's own screen, here the second of two side by
    // side, whose origin is not (0, 0).
    const ScreenArea second{QRectF(1920, 200, 1280, 1400), QRectF(1920, 200, 1280, 1370)};
    const QPointF onSecond = panelOrigin(QRectF(2500, 800, 0, 0), kPanel, second);
    EXPECT_DOUBLE_EQ(onSecond.y(), 806);
}

} // namespace
} // namespace pindle
