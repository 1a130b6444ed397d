// The tooltips of a real panel, hovered with the pointer and checked pixel by pixel.
#include <chrono>

#include <QTest>

#include "pindle/testing/panel_fixture.h"
#include "panel/note_rail.h"
#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_overlay.h"

using namespace std::chrono_literals;
using namespace pindle;
using pindle::testing::boxOf;

class TooltipPanelTest : public QObject {
    Q_OBJECT

private slots:
    void hoveredDotAndDeleteButtonShowBubblesBesideThem() {
        testing::PanelFixture fixture({"Groceries", "Call the landlord", ""}, 0);
        fixture.show();
        PanelView& view = fixture.view();
        auto* overlay = view.findChild<TooltipOverlay*>();
        const QColor fill = tooltipBackground(overlay->bubble().isDark());
        const auto isFill = [&](const QImage& image, int x, int y) {
            return testing::near(image.pixelColor(x, y), fill, 3);
        };

        // A dot at the rail's right edge: the bubble stands right of it, over divider and pane,
        // with its arrow on the left pointing back at the dot.
        const QRect dot = boxOf(fixture.find("dot-1"), &view);
        QTest::mouseMove(&view, dot.center());
        fixture.time().advance(0ms);
        fixture.time().advance(TooltipLayout::delay);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Call the landlord"));
        QTRY_COMPARE(overlay->bubble().opacity(), 1.0);
        QImage image = view.grab().toImage();
        const int bodyLeft = dot.right() + 1 + 8;
        const int middle = dot.center().y();
        QVERIFY(isFill(image, bodyLeft - 3, middle)); // the arrow, over the rail
        QVERIFY(!isFill(image, bodyLeft - 3, middle - 5));
        QVERIFY(isFill(image, NoteRail::kWidth, middle)); // over the divider
        QVERIFY(isFill(image, bodyLeft + 60, middle - 8));
        QVERIFY(!isFill(image, bodyLeft + 60, middle - 18));

        // Straight on to the delete button in the top-right corner: no room on its right, so the
        // bubble stands to its left, arrow on the right, held 6 px below the panel's top.
        const QRect button = boxOf(fixture.find("deleteButton"), &view);
        QTest::mouseMove(&view, button.center());
        fixture.time().advance(0ms);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(overlay->bubble().opacity(), 1.0); // replaced at once, no fade
        image = view.grab().toImage();
        const int bodyRight = button.left() - 8 - 1;
        const int bodyMiddle = overlay->bubbleBody().center().y();
        QVERIFY(isFill(image, bodyRight + 3, bodyMiddle));
        QVERIFY(!isFill(image, bodyRight + 8, bodyMiddle));
        QVERIFY(isFill(image, bodyRight - 30, 8));
        QVERIFY(!isFill(image, bodyRight - 30, 4));
        QCOMPARE(overlay->bubbleBody().top(), std::max(6, button.center().y() - overlay->bubbleBody().height() / 2));
    }
};

QTEST_MAIN(TooltipPanelTest)
#include "tooltip_panel_test.moc"
