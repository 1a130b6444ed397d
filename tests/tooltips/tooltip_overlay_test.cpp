#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "pindle/testing/manual_time.h"
#include "pindle/testing/widgets.h"
#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_overlay.h"
#include "tooltips/tooltip_source.h"

using namespace std::chrono_literals;
using namespace pindle;
using State = TooltipOverlay::State;

namespace {

void enter(QWidget* widget) {
    testing::hover(widget, true);
}

void leave(QWidget* widget) {
    testing::hover(widget, false);
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

// A 360 x 520 panel root with a rail holding two dots and a "plus" button, and a delete button at
// the top right; the overlay runs on a hand-advanced clock.
class TooltipOverlayTest : public QObject {
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
        enter(widget);
        m_time->advance(0ms);
        m_time->advance(TooltipLayout::delay);
        QCOMPARE(m_overlay->state(), State::showing);
    }

    QString shownText() const {
        return m_overlay->tooltip() ? QString::fromStdString(m_overlay->tooltip()->text) : QString();
    }

private slots:
    void init() { build(); }
    void cleanup() {
        // Park the pointer over an empty part of the pane: the next panel appears under it.
        if (m_root) {
            QTest::mouseMove(m_root.get(), QPoint(200, 400));
        }
        m_root.reset();
        m_time.reset();
    }

    void showsOnlyAfterTheDelayAndFadesIn() {
        enter(m_dot1);
        QCOMPARE(m_overlay->state(), State::idle); // combined once per pass of the loop
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::waiting);
        m_time->advance(109ms);
        QCOMPARE(m_overlay->state(), State::waiting);
        QVERIFY(!m_overlay->isBubbleVisible());

        m_time->advance(1ms);
        QCOMPARE(m_overlay->state(), State::showing);
        QVERIFY(m_overlay->isFading() && m_overlay->bubble().opacity() < 0.2);
        QCOMPARE(m_overlay->bubbleTargetOpacity(), 1.0);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Groceries"));
        QCOMPARE(m_overlay->bubble().arrowEdge(), HorizontalEdge::leading);
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, m_dot1->geometry()));
        QTRY_COMPARE(m_overlay->bubble().opacity(), 1.0);

        // Leaving fades it out, and once faded nothing is left on screen.
        leave(m_dot1);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::idle);
        QCOMPARE(m_overlay->bubbleTargetOpacity(), 0.0);
        QVERIFY(m_overlay->isBubbleVisible());
        QTRY_VERIFY(!m_overlay->isBubbleVisible());
    }

    void waitingShowsOnlyARequestThatLasts() {
        // Left within the delay: nothing shows, and no timer is left behind.
        enter(m_dot1);
        m_time->advance(100ms);
        leave(m_dot1);
        m_time->advance(1s);
        QCOMPARE(m_overlay->state(), State::idle);
        QVERIFY(!m_overlay->isBubbleVisible());
        QCOMPARE(m_time->pendingCount(), std::size_t{0});

        // A new request while waiting starts the wait over; the earlier one is never shown.
        enter(m_dot1);
        m_time->advance(80ms);
        leave(m_dot1);
        enter(m_dot2);
        m_time->advance(80ms); // 160 ms since the first entry, 80 since the second
        QCOMPARE(m_overlay->state(), State::waiting);
        m_time->advance(30ms);
        QCOMPARE(shownText(), QStringLiteral("Empty note 2"));
    }

    void neighbourReplacesAtOnceUnderARealPointer() {
        QTest::mouseMove(m_root.get(), m_dot1->geometry().center());
        m_time->advance(0ms);
        m_time->advance(TooltipLayout::delay);
        QTRY_COMPARE(m_overlay->bubble().opacity(), 1.0);

        // Leave and entry of one pointer move arrive in the same pass: straight to the neighbour.
        QTest::mouseMove(m_root.get(), m_dot2->geometry().center());
        m_time->advance(0ms);
        QCOMPARE(shownText(), QStringLiteral("Empty note 2"));
        QVERIFY(!m_overlay->isFading());
        QCOMPARE(m_overlay->bubble().opacity(), 1.0);
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, m_dot2->geometry()));

        // The overlay stays above the rail built after it, yet never takes the pointer.
        QCOMPARE(m_root->children().last(), m_overlay);
        QVERIFY(!m_overlay->isAncestorOf(m_root->childAt(m_overlay->bubbleBody().center())));

        // Across two passes the bubble goes away first, and the next one waits again.
        leave(m_dot2);
        m_time->advance(0ms);
        enter(m_plus);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::waiting);
    }

    void laterSourceInTreeOrderWins() {
        // A source inside another one: both are hovered, and the inner one, later in the tree, wins.
        auto* inner = source(m_plus, QStringLiteral("Inner"), {5, 5, 20, 20});
        inner->show();
        enter(m_plus);
        enter(inner);
        m_time->advance(0ms);
        m_time->advance(TooltipLayout::delay);
        QCOMPARE(shownText(), QStringLiteral("Inner"));
        QCOMPARE(m_overlay->tooltip()->rect, (TooltipRect{13, 85, 20, 20}));

        // Leaving only the inner one leaves the outer one's request, which replaces it at once.
        leave(inner);
        m_time->advance(0ms);
        QCOMPARE(shownText(), QStringLiteral("New note"));

        // An entry elsewhere drops a hovered widget whose leave never came, so once the pointer
        // leaves the new source too, nothing is left.
        enter(m_root.get());
        enter(m_rail);
        enter(m_dot1);
        m_time->advance(0ms);
        QCOMPARE(shownText(), QStringLiteral("Groceries"));
        leave(m_dot1);
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

        // Scrolling the rail moves the dot's parent, not the dot.
        m_rail->move(0, -30);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::showing);
        QCOMPARE(m_overlay->bubbleBody(), before.translated(0, -30));
        QVERIFY(!m_overlay->isFading());

        tooltip(m_dot2, QStringLiteral("Shopping list for the weekend"));
        m_time->advance(0ms);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Shopping list for the weekend"));
        QVERIFY(m_overlay->bubbleBody().width() > before.width());
    }

    void placesWithItsOwnMeasuredSize() {
        // Unmeasured, a bubble beside this button would fit on the right; with its real width it
        // does not, so it must end up on the left with the arrow facing right.
        auto* button = source(m_root.get(), QStringLiteral("Delete this note for good"), {250, 200, 30, 30});
        button->show();
        showFor(button);
        QCOMPARE(m_overlay->bubble().arrowEdge(), HorizontalEdge::trailing);
        QCOMPARE(m_overlay->bubbleBody().right() + 1, 250 - 8);
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, button->geometry()));
    }

    void stopsTimersWhenDestroyed() {
        enter(m_dot1);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->state(), State::waiting);
        leave(m_dot1); // leaves an update pending as well
        delete m_overlay;
        QCOMPARE(m_time->pendingCount(), std::size_t{0});
    }

    void pinnedTooltipShowsFromTheStart() {
        cleanup();
        build(TooltipTarget{"Delete note", {330, 6, 22, 22}});
        QVERIFY(m_overlay->isBubbleVisible());
        QCOMPARE(m_overlay->bubble().opacity(), 1.0);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(m_overlay->bubble().arrowEdge(), HorizontalEdge::trailing);
        QCOMPARE(m_overlay->bubbleBody(), expectedBody(*m_overlay, {330, 6, 22, 22}));

        // Hovering elsewhere runs the state machine, but the pinned bubble stays.
        showFor(m_dot1);
        leave(m_dot1);
        m_time->advance(0ms);
        QCOMPARE(m_overlay->bubble().text(), QStringLiteral("Delete note"));
        QCOMPARE(m_overlay->bubble().opacity(), 1.0);
        QVERIFY(!m_overlay->isFading());
    }
};

QTEST_MAIN(TooltipOverlayTest)
#include "tooltip_overlay_test.moc"
