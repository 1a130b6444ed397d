// What the panel draws, its tooltips included, read back from grabbed pixels, in the light and the
// dark palette.
#include "pindle/testing/panel_fixture.h"

#include <chrono>
#include <cmath>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "panel/button_styles.h"
#include "panel/dot_button.h"
#include "panel/note_editor.h"
#include "panel/note_rail.h"
#include "platform/view/view_colors.h"
#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_overlay.h"

using namespace std::chrono_literals;
using namespace pindle;
using namespace pindle::testing;

namespace {

QColor blend(const QColor& top, double alpha, const QColor& bottom) {
    const auto mix = [&](int a, int b) { return static_cast<int>(std::lround(a * alpha + b * (1 - alpha))); };
    return {mix(top.red(), bottom.red()), mix(top.green(), bottom.green()), mix(top.blue(), bottom.blue())};
}

// `color` seen through its own alpha over `bottom`.
QColor over(const QColor& color, const QColor& bottom) {
    return blend(color, color.alphaF(), bottom);
}

#define COMPARE_COLOR(actual, expected, tolerance)                                                                     \
    QVERIFY2(near((actual), (expected), (tolerance)),                                                                  \
             qPrintable(QStringLiteral("%1 is %2, expected %3").arg(#actual, (actual).name(), (expected).name())))

// The pixel at `at` of `widget` as it shows in the whole panel (a widget grabbed alone would lack
// the backgrounds its ancestors paint).
QColor pixel(QWidget* widget, QPoint at) {
    return widget->window()->grab().toImage().pixelColor(widget->mapTo(widget->window(), at));
}

// The largest channel difference from `background` in `area` of `widget`: how strong its ink is.
int ink(QWidget* widget, QRect area, const QColor& background) {
    const QImage image = widget->window()->grab().toImage();
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(widget->mapTo(widget->window(), QPoint(x, y)));
            strongest = std::max({strongest, std::abs(c.red() - background.red()),
                                  std::abs(c.green() - background.green()), std::abs(c.blue() - background.blue())});
        }
    }
    return strongest;
}

const QColor kRed(0xf2, 0x54, 0x5b);    // note 0
const QColor kOrange(0xf7, 0x92, 0x56); // note 1
const QColor kYellow(0xe8, 0xc5, 0x47); // note 2

} // namespace

class PanelDrawingTest : public QObject {
    Q_OBJECT

private slots:
    // Every test runs once in each palette.
    void initTestCase_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QPalette>("other");
        QTest::newRow("light") << lightPalette() << darkPalette();
        QTest::newRow("dark") << darkPalette() << lightPalette();
    }

    void init() {
        QFETCH_GLOBAL(QPalette, palette);
        QApplication::setPalette(palette);
    }

    void dots() {
        QFETCH_GLOBAL(QPalette, palette);
        PanelFixture fixture({"filled", "also filled", " \n "}, 0);
        fixture.show();
        const ViewColors colors = ViewColors::from(palette);
        const QColor window = colors.window;
        auto* rail = fixture.find<NoteRail>("rail");
        const std::vector<DotButton*>& dots = rail->dots();
        const QPoint centre(15, 15);
        const QPoint inHalo(15 + 9, 15); // beyond the 15-pixel dot, inside the 21-pixel halo

        // Active: full colour and the halo at 0.24. Inactive: 0.6, 0.85 hovered, no halo.
        COMPARE_COLOR(pixel(dots[0], centre), kRed, 3);
        COMPARE_COLOR(pixel(dots[0], inHalo), blend(kRed, 0.24, window), 3);
        COMPARE_COLOR(pixel(dots[1], centre), blend(kOrange, 0.6, window), 3);
        COMPARE_COLOR(pixel(dots[1], inHalo), window, 0);
        hover(dots[1], true);
        COMPARE_COLOR(pixel(dots[1], centre), blend(kOrange, 0.85, window), 3);
        hover(dots[1], false);
        COMPARE_COLOR(pixel(dots[1], centre), blend(kOrange, 0.6, window), 3);

        // The blank note's ring: colour on the 2-pixel rim, nothing inside.
        COMPARE_COLOR(pixel(dots[2], centre), window, 0);
        COMPARE_COLOR(pixel(dots[2], QPoint(15, 8)), blend(kYellow, 0.6, window), 8);
        fixture.store().select(std::int64_t{2});
        COMPARE_COLOR(pixel(dots[2], QPoint(15, 8)), kYellow, 8);
        COMPARE_COLOR(pixel(dots[2], inHalo), blend(kYellow, 0.24, window), 3);
        COMPARE_COLOR(pixel(dots[0], inHalo), window, 0);

        // "plus": secondary when idle, primary and untinted when hovered; its disc stays inside the circle.
        HoverCircleButton* add = rail->addButton();
        COMPARE_COLOR(pixel(add, centre), over(colors.secondary, window), 12);
        hover(add, true);
        COMPARE_COLOR(pixel(add, centre), colors.primary, 12);
        COMPARE_COLOR(pixel(add, QPoint(1, 1)), window, 0);
    }

    void headerButtons() {
        QFETCH_GLOBAL(QPalette, palette);
        PanelFixture fixture({"note"});
        fixture.show();
        const ViewColors colors = ViewColors::from(palette);
        auto* button = fixture.find("deleteButton");
        const QRect symbol(4, 4, 14, 14);

        // The same secondary cross, at 0.45 while the pointer is off the row and at 1.0 anywhere over it.
        const int faint = ink(button, symbol, colors.base);
        hover(fixture.find("header"), true);
        const int full = ink(button, symbol, colors.base);
        QVERIFY2(std::abs(faint - 0.45 * full) <= 2, qPrintable(QStringLiteral("%1 vs %2").arg(faint).arg(full)));
        QVERIFY(std::abs(full - std::abs(over(colors.secondary, colors.base).red() - colors.base.red())) <= 12);
        // Hovered itself: a red cross over the faint disc.
        hover(button, true);
        const QColor cross = pixel(button, QPoint(11, 11));
        QVERIFY2(cross.red() > cross.green() + 60, qPrintable(cross.name()));
        COMPARE_COLOR(pixel(button, QPoint(2, 11)), over(ViewColors::faded(colors.primary, 0.08), colors.base), 3);

        fixture.store().setConfirmingDelete(true);
        auto* confirm = fixture.find("confirmDeleteButton");
        const QPoint fill(3, confirm->height() / 2);
        COMPARE_COLOR(pixel(confirm, fill), QColor(0xe0, 0x40, 0x3a), 0);
        QTest::mousePress(confirm, Qt::LeftButton, {}, fill);
        COMPARE_COLOR(pixel(confirm, fill), blend(QColor(0xe0, 0x40, 0x3a), 0.75, colors.base), 3);
        QTest::mouseRelease(confirm, Qt::LeftButton, {}, QPoint(-50, -50)); // released outside: no delete
        QVERIFY(fixture.store().confirmingDelete());
    }

    void editorCaretAndPlaceholder() {
        QFETCH_GLOBAL(QPalette, palette);
        PanelFixture fixture({"", "text"}, 0);
        fixture.show();
        const ViewColors colors = ViewColors::from(palette);
        auto* editor = fixture.find<NoteEditor>("editor");
        QWidget* viewport = editor->viewport();
        // The faint placeholder where the first line goes, and the caret, in the note's colour, before it.
        const QRect placeholderArea(8, 0, 100, 20);
        QVERIFY(ink(viewport, placeholderArea, colors.base) > 40);
        COMPARE_COLOR(pixel(viewport, editor->caretRect().center()), kRed, 0);

        // A space hides the placeholder; the next note retints the caret.
        QTest::keyClick(editor, Qt::Key_Space);
        QCOMPARE(ink(viewport, placeholderArea, colors.base), 0);
        fixture.store().select(std::int64_t{1});
        COMPARE_COLOR(pixel(viewport, editor->caretRect().center()), kOrange, 0);
    }

    void themeChangeWhileOpen() {
        QFETCH_GLOBAL(QPalette, other);
        PanelFixture fixture({"note"});
        fixture.show();
        QApplication::setPalette(other);
        QCoreApplication::processEvents(); // the desktop's theme change arrives as events too
        const ViewColors colors = ViewColors::from(other);
        const QImage image = fixture.view().grab().toImage();
        COMPARE_COLOR(image.pixelColor(3, 500), colors.window, 0);
        COMPARE_COLOR(image.pixelColor(200, 300), colors.base, 0);
        COMPARE_COLOR(image.pixelColor(46, 300), colors.separator, 0);
        COMPARE_COLOR(image.pixelColor(355, 300), colors.base, 0);
        QVERIFY(colors.separator != colors.window && colors.separator != colors.base);
    }

    // The tooltips of the real panel under a real pointer: beside a dot over the divider, then straight
    // on to the delete button, whose bubble replaces it at once, to its left and 6 px below the top.
    void hoveredDotAndDeleteButtonShowBubblesBesideThem() {
        PanelFixture fixture({"Groceries", "Call the landlord", ""}, 0);
        fixture.show();
        PanelView& view = fixture.view();
        auto* overlay = view.findChild<TooltipOverlay*>();
        const QColor fill = tooltipBackground(overlay->bubble().isDark());
        const QRect dot = boxOf(fixture.find("dot-1"), &view);
        QTest::mouseMove(&view, dot.center());
        fixture.time().advance(0ms);
        fixture.time().advance(TooltipLayout::delay);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Call the landlord"));
        QTRY_COMPARE(overlay->bubble().opacity(), 1.0);
        const QImage image = view.grab().toImage();
        for (const int x : {dot.right() + 1 + 8 - 3, NoteRail::kWidth, dot.right() + 1 + 8 + 60}) {
            QVERIFY2(near(image.pixelColor(x, dot.center().y()), fill, 3), qPrintable(QString::number(x)));
        }

        const QRect button = boxOf(fixture.find("deleteButton"), &view);
        QTest::mouseMove(&view, button.center());
        fixture.time().advance(0ms);
        QCOMPARE(overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(overlay->bubble().opacity(), 1.0);
        QCOMPARE(overlay->bubbleBody().right() + 1 + 8, button.left());
        QCOMPARE(overlay->bubbleBody().top(), std::max(6, button.center().y() - overlay->bubbleBody().height() / 2));
    }
};

QTEST_MAIN(PanelDrawingTest)
#include "panel_drawing_test.moc"
