// What the panel draws, read back from grabbed pixels in the light and the dark palette.
#include "panel_fixture.h"

#include <cmath>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "panel/button_styles.h"
#include "panel/dot_button.h"
#include "panel/note_editor.h"
#include "panel/note_header.h"
#include "panel/note_rail.h"
#include "platform/view/view_colors.h"

using namespace pindle;
using pindle::testing::hover;
using pindle::testing::PanelFixture;

namespace {

QColor blend(const QColor& top, double alpha, const QColor& bottom) {
    const auto mix = [&](int a, int b) { return static_cast<int>(std::lround(a * alpha + b * (1 - alpha))); };
    return {mix(top.red(), bottom.red()), mix(top.green(), bottom.green()), mix(top.blue(), bottom.blue())};
}

// `color` as seen through its own alpha over `bottom`.
QColor over(const QColor& color, const QColor& bottom) {
    return blend(color, color.alphaF(), bottom);
}

bool near(const QColor& actual, const QColor& expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

#define COMPARE_COLOR(actual, expected, tolerance)                                                                     \
    QVERIFY2(near((actual), (expected), (tolerance)),                                                                  \
             qPrintable(QStringLiteral("%1 is %2, expected %3").arg(#actual, (actual).name(), (expected).name())))

// The pixel at `at` of `widget` as it shows in the whole panel (a widget grabbed alone would lack
// the backgrounds its ancestors paint).
QColor pixel(QWidget* widget, QPoint at) {
    QWidget* panel = widget->window();
    return panel->grab().toImage().pixelColor(widget->mapTo(panel, at));
}

// How far the drawing in `area` of `widget` strays from `background` at its strongest: the
// largest channel difference.
int ink(QWidget* widget, QRect area, const QColor& background) {
    QWidget* panel = widget->window();
    const QImage image = panel->grab().toImage();
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor color = image.pixelColor(widget->mapTo(panel, QPoint(x, y)));
            strongest =
                std::max({strongest, std::abs(color.red() - background.red()),
                          std::abs(color.green() - background.green()), std::abs(color.blue() - background.blue())});
        }
    }
    return strongest;
}

const QColor kRed = QColor(0xf2, 0x54, 0x5b);    // note 0
const QColor kOrange = QColor(0xf7, 0x92, 0x56); // note 1
const QColor kYellow = QColor(0xe8, 0xc5, 0x47); // note 2

} // namespace

class PanelDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data();
    void init();
    void dots();
    void headerButtons();
    void editorCaretAndPlaceholder();
    void themeChangeWhileOpen();
};

// Every test runs once in each palette.
void PanelDrawingTest::initTestCase_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<QPalette>("other");
    QTest::newRow("light") << testing::lightPalette() << testing::darkPalette();
    QTest::newRow("dark") << testing::darkPalette() << testing::lightPalette();
}

void PanelDrawingTest::init() {
    QFETCH_GLOBAL(QPalette, palette);
    QApplication::setPalette(palette);
}

void PanelDrawingTest::dots() {
    QFETCH_GLOBAL(QPalette, palette);
    PanelFixture fixture({"filled", "also filled", " \n "}, 0);
    fixture.show();
    const QColor window = ViewColors::from(palette).window;
    auto* rail = fixture.find<NoteRail>("rail");
    const std::vector<DotButton*>& dots = rail->dots();
    const QPoint centre(15, 15);
    const QPoint inHalo(15 + 9, 15); // beyond the 15-pixel dot, inside the 21-pixel halo

    // Active: full colour and the halo at 0.24. Inactive: 0.6, no halo.
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

    // "plus": secondary when idle, primary over a faint disc when hovered.
    const ViewColors colors = ViewColors::from(palette);
    HoverCircleButton* add = rail->addButton();
    COMPARE_COLOR(pixel(add, QPoint(2, 15)), window, 0);
    COMPARE_COLOR(pixel(add, centre), over(colors.secondary, window), 12);
    hover(add, true);
    const QColor disc = over(ViewColors::faded(colors.primary, 0.08), window);
    COMPARE_COLOR(pixel(add, QPoint(4, 15)), disc, 3);
    COMPARE_COLOR(pixel(add, QPoint(1, 1)), window, 0); // outside the circle
    COMPARE_COLOR(pixel(add, centre), colors.primary, 12);
    hover(add, false);
}

void PanelDrawingTest::headerButtons() {
    QFETCH_GLOBAL(QPalette, palette);
    PanelFixture fixture({"note"});
    fixture.show();
    const ViewColors colors = ViewColors::from(palette);
    auto* header = fixture.find<NoteHeader>("header");
    auto* button = fixture.find<HoverCircleButton>("deleteButton");
    const QRect symbol(4, 4, 14, 14);

    // The same secondary cross, at 0.45 while the pointer is off the row and at 1.0 over it.
    const int faint = ink(button, symbol, colors.base);
    hover(header, true);
    const int full = ink(button, symbol, colors.base);
    QVERIFY2(std::abs(faint - 0.45 * full) <= 2, qPrintable(QStringLiteral("%1 vs %2").arg(faint).arg(full)));
    const QColor idle = over(colors.secondary, colors.base);
    QVERIFY(std::abs(full - std::abs(idle.red() - colors.base.red())) <= 12);
    hover(button, true);
    const QColor strongest = pixel(button, QPoint(11, 11));
    QVERIFY2(strongest.red() > strongest.green() + 60, qPrintable(strongest.name()));
    COMPARE_COLOR(pixel(button, QPoint(2, 11)), over(ViewColors::faded(colors.primary, 0.08), colors.base), 3);
    hover(button, false);
    hover(header, false);

    fixture.store().setConfirmingDelete(true);
    auto* confirm = fixture.find<QWidget>("confirmDeleteButton");
    const QPoint fill(3, confirm->height() / 2);
    COMPARE_COLOR(pixel(confirm, fill), QColor(0xe0, 0x40, 0x3a), 0);
    QTest::mousePress(confirm, Qt::LeftButton, {}, fill);
    COMPARE_COLOR(pixel(confirm, fill), blend(QColor(0xe0, 0x40, 0x3a), 0.75, colors.base), 3);
    QTest::mouseRelease(confirm, Qt::LeftButton, {}, QPoint(-50, -50)); // released outside: no delete
    QVERIFY(fixture.store().confirmingDelete());
}

void PanelDrawingTest::editorCaretAndPlaceholder() {
    QFETCH_GLOBAL(QPalette, palette);
    PanelFixture fixture({"", "text"}, 0);
    fixture.show();
    const ViewColors colors = ViewColors::from(palette);
    auto* editor = fixture.find<NoteEditor>("editor");
    QWidget* viewport = editor->viewport();
    // The placeholder, faint, where the first line goes; the caret stands in front of it.
    const QRect placeholderArea(8, 0, 100, 20);
    QVERIFY(editor->placeholderVisible());
    QVERIFY(ink(viewport, placeholderArea, colors.base) > 40);
    QVERIFY(editor->hasFocus());
    QRect caret = editor->caretRect();
    QVERIFY(!caret.isEmpty());
    COMPARE_COLOR(pixel(viewport, caret.center()), kRed, 0);

    // A space hides the placeholder; the next note retints the caret.
    QTest::keyClick(editor, Qt::Key_Space);
    QCOMPARE(ink(viewport, placeholderArea, colors.base), 0);
    fixture.store().select(std::int64_t{1});
    caret = editor->caretRect();
    COMPARE_COLOR(pixel(viewport, caret.center()), kOrange, 0);
    editor->clearFocus();
    QVERIFY(editor->caretRect().isEmpty());
}

void PanelDrawingTest::themeChangeWhileOpen() {
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

QTEST_MAIN(PanelDrawingTest)
#include "panel_drawing_test.moc"
