// The tooltip bubble, then the overlay in a 360 x 520 panel root with a rail holding two dots and a
// "plus" button and a delete button at the top right, on the offscreen platform and a hand-advanced clock.
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "pindle/testing/manual_time.h"
#include "pindle/testing/widgets.h"
#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_overlay.h"
#include "tooltips/tooltip_source.h"

using namespace std::chrono_literals;
using namespace pindle;
using pindle::testing::hover;
using State = TooltipOverlay::State;

namespace {

QImage render(TooltipBubble& bubble) {
    QImage image = bubble.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

bool isFill(QColor actual, QColor expected) {
    return testing::near(actual, expected, 2) && actual.alpha() >= 253;
}

QPushButton* source(QWidget* parent, const QString& text, QRect geometry) {
    auto* button = new QPushButton(parent);
    button->setGeometry(geometry);
    tooltip(button, text);
    return button;
}

// Where the overlay must put the body beside `anchor`, given the bubble's measured size.
QRect expectedBody(const TooltipOverlay& overlay, QRect anchor) {
    const QSize size = overlay.bubble().bodySize();
    const TooltipRect rect{double(anchor.x()), double(anchor.y()), double(anchor.width()), double(anchor.height())};
    const double x = TooltipLayout::x(rect, size.width(), 360).x;
    return {QPoint(int(x), int(std::lround(TooltipLayout::y(rect, size.height(), 520)))), size};
}

} // namespace

class TooltipWidgetsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ManualTime> m_time;
    std::unique_ptr<QWidget> m_root;
    QWidget* m_rail = nullptr;
    QPushButton *m_dot1 = nullptr, *m_dot2 = nullptr, *m_plus = nullptr, *m_delete = nullptr;
    TooltipOverlay* m_overlay = nullptr;

    void build(std::optional<TooltipTarget> pinned = std::nullopt) {
        m_time = std::make_unique<ManualTime>();
        m_root = std::make_unique<QWidget>();
        m_root->resize(360, 520);
        m_overlay = new TooltipOverlay(*m_time, std::move(pinned), m_root.get());
        // Built after the overlay, as a panel that adds dots later does.
        m_rail = new QWidget(m_root.get());
        m_rail->setGeometry(0, 0, 46, 520);
        m_dot1 = source(m_rail, QStringLiteral("Groceries"), {8, 10, 30, 30});
        m_dot2 = source(m_rail, QStringLiteral("Empty note 2"), {8, 44, 30, 30});
        m_plus = source(m_rail, QStringLiteral("New note"), {8, 80, 30, 30});
        m_delete = source(m_root.get(), QStringLiteral("Delete note"), {330, 6, 22, 22});
        m_root->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_root.get()));
    }

    // Hovers `widget` long enough for its bubble to show.
    void showFor(QWidget* widget) {
        hover(widget, true);
        m_time->advance(0ms);
        m_time->advance(TooltipLayout::delay);
        QCOMPARE(m_overlay->state(), State::showing);
    }

    QString shownText() const {
        return m_overlay->tooltip() ? QString::fromStdString(m_overlay->tooltip()->text) : QString();
    }

private slots:
    void init() {
        QApplication::setPalette(testing::lightPalette());
        build();
    }

    void cleanup() {
        // Park the pointer over an empty part of the pane: the next panel appears under it.
        if (m_root) {
            QTest::mouseMove(m_root.get(), QPoint(200, 400));
        }
        m_root.reset();
        m_time.reset();
    }

    void sizesToItsTextWithinTwoLines() {
        TooltipBubble shortText(QStringLiteral("New note"), HorizontalEdge::leading);
        QCOMPARE(shortText.lines(), QStringList{QStringLiteral("New note")});
        // 11.5 px text gives a line 13 to 15 px tall; padding adds 16 x 10.
        const QSize small = shortText.bodySize();
        QVERIFY2(small.height() >= 23 && small.height() <= 26, qPrintable(QString::number(small.height())));

        const QString sentence = QStringLiteral("Remember to call the plumber about the kitchen sink before Friday, "
                                                "and then buy milk, eggs, bread, coffee and a card for Anna");
        TooltipBubble longText(sentence, HorizontalEdge::leading);
        QCOMPARE(longText.lines().size(), 2);
        QVERIFY(sentence.startsWith(longText.lines().at(0)) && longText.lines().at(1).endsWith(u'\u2026'));
        QVERIFY(longText.bodySize().width() <= 190 + 16 && longText.bodySize().width() >= 150 + 16);
        QVERIFY(longText.bodySize().height() > small.height() + 10);
        TooltipBubble twoLines(QStringLiteral("Call the plumber about the kitchen sink before Friday"),
                               HorizontalEdge::leading);
        QVERIFY(twoLines.lines().size() == 2 && !twoLines.lines().at(1).endsWith(u'\u2026'));
        // A new text is measured again, and the overlay is told so that it can place it again.
        QSignalSpy measured(&longText, &TooltipBubble::bodySizeChanged);
        longText.setText(QStringLiteral("New note"));
        QCOMPARE(measured.size(), 1);
        QCOMPARE(longText.bodySize(), small);
    }

    void drawsArrowFillAndShadow_data() {
        QTest::addColumn<HorizontalEdge>("edge");
        QTest::newRow("leading") << HorizontalEdge::leading;
        QTest::newRow("trailing") << HorizontalEdge::trailing;
    }

    void drawsArrowFillAndShadow() {
        QFETCH(HorizontalEdge, edge);
        TooltipBubble bubble(QStringLiteral("Delete note"), edge);
        QImage image = render(bubble);
        const QRect body(bubble.bodyOffset(), bubble.bodySize());
        const int middle = body.top() + body.height() / 2;
        const QColor fill = tooltipBackground(false);
        const int out = edge == HorizontalEdge::leading ? -1 : 1;
        const int side = edge == HorizontalEdge::leading ? body.left() : body.right();
        const int otherSide = edge == HorizontalEdge::leading ? body.right() : body.left();

        // 3 px out the arrow is solid at the middle but, being a diamond, not 4 px above or below;
        // 7 px out it has ended. Inside the edge arrow and body fill as one shape.
        QVERIFY(isFill(image.pixelColor(side + 3 * out, middle), fill));
        QVERIFY(image.pixelColor(side + 3 * out, middle - 4).alpha() < 128);
        QVERIFY(image.pixelColor(side + 3 * out, middle + 4).alpha() < 128);
        QVERIFY(image.pixelColor(side + 7 * out, middle).alpha() < 128);
        QVERIFY(isFill(image.pixelColor(side - out, middle), fill));
        QVERIFY(image.pixelColor(otherSide - 3 * out, middle).alpha() < 128);

        // Shadow: black at about a fifth of full strength, shifted down, so more below than above.
        const QColor below = image.pixelColor(body.center().x(), body.bottom() + 3);
        const QColor above = image.pixelColor(body.center().x(), body.top() - 3);
        QVERIFY2(below.alpha() > 10 && below.alpha() < 60, qPrintable(QString::number(below.alpha())));
        QVERIFY(below.red() < 10 && above.alpha() < below.alpha());

        // The fill follows a theme change while shown; the size does not change.
        const QPoint padding(otherSide + 3 * out, middle); // clear of text and arrow
        const QSize size = bubble.size();
        QApplication::setPalette(testing::darkPalette());
        image = render(bubble);
        QVERIFY2(isFill(image.pixelColor(padding), tooltipBackground(true)),
                 qPrintable(image.pixelColor(padding).name()));
        QCOMPARE(bubble.size(), size);
    }

    // The delay, the fade in and out, and a wait that starts over or ends without a bubble.
    void showsOnlyARequestThatLastsTheDelay() {
        hover(m_dot1, true);
        QCOMPARE(m_overlay->state(), State::idle); // combined once per pass of the loop
        m_time->advance(0ms);
        m_time->advance(109ms);
        QCOMPARE(m_overlay->state(), State::waiting);
        QVERIFY(!m_overlay->isBubbleVisible());
        m_time->advance(1ms);
        QCOMPARE(m_overlay->state(), State::showing);
        QVERIFY(m_overlay->isFading() && m_overlay->bubble().opacity() < 0.2);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Groceries"));
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, m_dot1->geometry()));
        QTRY_COMPARE(m_overlay->bubble().opacity(), 1.0);
        // The overlay stays above the rail built after it, yet never takes the pointer.
        QCOMPARE(m_root->children().last(), m_overlay);
        QVERIFY(!m_overlay->isAncestorOf(m_root->childAt(m_overlay->bubbleBody().center())));

        hover(m_dot1, false);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::idle);
        QVERIFY(m_overlay->isBubbleVisible());
        QTRY_VERIFY(!m_overlay->isBubbleVisible());

        // Left within the delay: nothing shows, and no timer is left behind.
        hover(m_dot1, true);
        m_time->advance(100ms);
        hover(m_dot1, false);
        m_time->advance(1s);
        QCOMPARE(m_overlay->state(), State::idle);
        QCOMPARE(m_time->pendingCount(), std::size_t{0});

        // A new request while waiting starts the wait over; the earlier one is never shown.
        hover(m_dot1, true);
        m_time->advance(80ms);
        hover(m_dot1, false);
        hover(m_dot2, true);
        m_time->advance(80ms);
        QCOMPARE(m_overlay->state(), State::waiting);
        m_time->advance(30ms);
        QCOMPARE(shownText(), QStringLiteral("Empty note 2"));
    }

    void laterSourceInTreeOrderWins() {
        // A source inside another one: both are hovered, and the inner one, later in the tree, wins.
        auto* inner = source(m_plus, QStringLiteral("Inner"), {5, 5, 20, 20});
        inner->show();
        hover(m_plus, true);
        showFor(inner);
        QCOMPARE(shownText(), QStringLiteral("Inner"));
        QCOMPARE(m_overlay->tooltip()->rect, (TooltipRect{13, 85, 20, 20}));
        // Leaving only the inner one leaves the outer one's request, which replaces it at once.
        hover(inner, false);
        m_time->advance(0ms);
        QCOMPARE(shownText(), QStringLiteral("New note"));

        // An entry elsewhere drops a hovered widget whose leave never came.
        hover(m_root.get(), true);
        hover(m_rail, true);
        hover(m_dot1, true);
        m_time->advance(0ms);
        QCOMPARE(shownText(), QStringLiteral("Groceries"));
        hover(m_dot1, false);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::idle);
    }

    void removedOrHiddenSourceCountsAsAbsent_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("hidden") << QStringLiteral("hide");
        QTest::newRow("destroyed") << QStringLiteral("destroy");
        QTest::newRow("panel closed") << QStringLiteral("close");
    }

    void removedOrHiddenSourceCountsAsAbsent() {
        QFETCH(QString, how);
        showFor(m_delete);
        if (how == QStringLiteral("destroy")) {
            delete m_delete;
        } else {
            (how == QStringLiteral("hide") ? static_cast<QWidget*>(m_delete) : m_root.get())->hide();
        }
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::idle);
        QCOMPARE(m_overlay->bubbleTargetOpacity(), 0.0);
    }

    void followsASourceThatMovesOrChanges() {
        showFor(m_dot2);
        QTRY_COMPARE(m_overlay->bubble().opacity(), 1.0);
        const QRect before = m_overlay->bubbleBody();
        m_rail->move(0, -30); // scrolling the rail moves the dot's parent, not the dot
        m_time->advance(0ms);
        QCOMPARE(m_overlay->bubbleBody(), before.translated(0, -30));
        QVERIFY(!m_overlay->isFading());
        tooltip(m_dot2, QStringLiteral("Shopping list for the weekend"));
        m_time->advance(0ms);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Shopping list for the weekend"));
        QVERIFY(m_overlay->bubbleBody().width() > before.width());
    }

    void placesWithItsOwnMeasuredSize() {
        // Unmeasured, a bubble beside this button would fit on the right; with its real width it does not.
        auto* button = source(m_root.get(), QStringLiteral("Delete this note for good"), {250, 200, 30, 30});
        button->show();
        showFor(button);
        QCOMPARE(m_overlay->bubble().arrowEdge(), HorizontalEdge::trailing);
        QCOMPARE(m_overlay->bubbleBody().right() + 1, 250 - 8);
    }

    void stopsTimersWhenDestroyed() {
        hover(m_dot1, true);
        m_time->advance(0ms);
        hover(m_dot1, false); // leaves an update pending as well as the wait
        delete m_overlay;
        QCOMPARE(m_time->pendingCount(), std::size_t{0});
    }

    void pinnedTooltipShowsFromTheStartAndStays() {
        cleanup();
        build(TooltipTarget{"Delete note", {330, 6, 22, 22}});
        QCOMPARE(m_overlay->bubble().opacity(), 1.0);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, {330, 6, 22, 22}));
        showFor(m_dot1);
        hover(m_dot1, false);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Delete note"));
        QVERIFY(m_overlay->isBubbleVisible() && !m_overlay->isFading());
    }
};

QTEST_MAIN(TooltipWidgetsTest)
#include "tooltip_widgets_test.moc"
