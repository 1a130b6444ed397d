#include <algorithm>
#include <chrono>
#include <cstdlib>

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "../panel/panel_fixture.h"
#include "panel/dot_button.h"
#include "panel/note_rail.h"
#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_overlay.h"

using namespace std::chrono_literals;
using pindle::TooltipLayout;
using pindle::TooltipOverlay;

namespace {

bool isFill(QColor actual, QColor expected) {
    return std::abs(actual.red() - expected.red()) <= 3 && std::abs(actual.green() - expected.green()) <= 3 &&
           std::abs(actual.blue() - expected.blue()) <= 3;
}

// The dots of the rail, top to bottom, in the panel's coordinates.
QList<QRect> dotFrames(pindle::PanelView& view) {
    QList<QRect> frames;
    for (const auto* dot : view.findChildren<pindle::DotButton*>()) {
        frames << QRect(dot->mapTo(&view, QPoint(0, 0)), dot->size());
    }
    std::sort(frames.begin(), frames.end(), [](QRect a, QRect b) { return a.top() < b.top(); });
    return frames;
}

} // namespace

// The tooltips of a real panel: hovered with the pointer, grabbed and checked pixel by pixel.
class TooltipPanelTest : public QObject {
    Q_OBJECT

private slots:
    void hoveredDotAndDeleteButtonShowBubblesBesideThem() {
        pindle::testing::PanelFixture fixture({"Groceries", "Call the landlord", ""}, 0);
        fixture.show();
        pindle::PanelView& view = fixture.view();
        auto* overlay = view.findChild<TooltipOverlay*>();
        QVERIFY(overlay);
        const QColor fill = pindle::tooltipBackground(overlay->bubble().isDark());

        // A dot at the rail's right edge: the bubble stands right of it, over divider and pane,
        // with its arrow on the left pointing back at the dot.
        const QRect dot = dotFrames(view).at(1);
        QTest::mouseMove(&view, dot.center());
        fixture.time().advance(0ms);
        fixture.time().advance(TooltipLayout::delay);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Call the landlord"));
        QTRY_COMPARE(overlay->bubble().opacity(), 1.0);
        QImage image = view.grab().toImage();
        const int bodyLeft = dot.right() + 1 + 8;
        const int middle = dot.center().y();
        QVERIFY(isFill(image.pixelColor(bodyLeft - 3, middle), fill)); // the arrow, over the rail
        QVERIFY(!isFill(image.pixelColor(bodyLeft - 3, middle - 5), fill));
        QVERIFY(isFill(image.pixelColor(pindle::NoteRail::kWidth, middle), fill)); // over the divider
        QVERIFY(isFill(image.pixelColor(bodyLeft + 60, middle - 8), fill));
        QVERIFY(!isFill(image.pixelColor(bodyLeft + 60, middle - 18), fill));

        // Straight on to the delete button in the top-right corner: no room on its right, so the
        // bubble stands to its left, arrow on the right, held 6 px below the panel's top.
        auto* deleteButton = view.findChild<QWidget*>(QStringLiteral("deleteButton"));
        QVERIFY(deleteButton);
        const QRect button(deleteButton->mapTo(&view, QPoint(0, 0)), deleteButton->size());
        QTest::mouseMove(&view, button.center());
        fixture.time().advance(0ms);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(overlay->bubble().opacity(), 1.0); // replaced at once, no fade
        image = view.grab().toImage();
        const int bodyRight = button.left() - 8 - 1;
        const int buttonMiddle = button.center().y();
        QVERIFY(isFill(image.pixelColor(bodyRight + 3, overlay->bubbleBody().center().y()), fill));
        QVERIFY(!isFill(image.pixelColor(bodyRight + 8, overlay->bubbleBody().center().y()), fill));
        QVERIFY(isFill(image.pixelColor(bodyRight - 30, 8), fill));
        QVERIFY(!isFill(image.pixelColor(bodyRight - 30, 4), fill));
        QCOMPARE(overlay->bubbleBody().top(), std::max(6, buttonMiddle - overlay->bubbleBody().height() / 2));
    }

    void bubbleFollowsTheScrollingRail() {
        pindle::testing::PanelFixture fixture(std::vector<std::string>(16, "Errand"), 0);
        fixture.show();
        pindle::PanelView& view = fixture.view();
        auto* overlay = view.findChild<TooltipOverlay*>();
        const QRect dot = dotFrames(view).at(2);
        QTest::mouseMove(&view, dot.center());
        fixture.time().advance(0ms);
        fixture.time().advance(TooltipLayout::delay);
        const QRect before = overlay->bubbleBody();

        view.findChild<pindle::NoteRail*>()->verticalScrollBar()->setValue(20);
        fixture.time().advance(0ms);
        QCOMPARE(overlay->state(), TooltipOverlay::State::showing);
        QCOMPARE(overlay->bubbleBody(), before.translated(0, -20));
    }

    void pinnedTooltipIsDrawnFromTheStart() {
        QTemporaryDir folder;
        pindle::ManualTime time;
        pindle::Store store({time, time, pindle::PosixFileSystem::instance()},
                            std::filesystem::path(folder.filePath(QStringLiteral("notes.json")).toStdString()));
        pindle::PanelView view(store, time, pindle::TooltipTarget{"New note", {8, 44, 30, 30}});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* overlay = view.findChild<TooltipOverlay*>();
        const QImage image = view.grab().toImage();
        const QColor fill = pindle::tooltipBackground(overlay->bubble().isDark());
        QVERIFY(isFill(image.pixelColor(46 - 3, 59), fill));
        QVERIFY(isFill(image.pixelColor(46 + 20, 59 - 8), fill));
    }
};

QTEST_MAIN(TooltipPanelTest)
#include "tooltip_panel_test.moc"
