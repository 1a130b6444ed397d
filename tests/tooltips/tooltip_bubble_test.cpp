#include <cstdlib>

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tooltips/tooltip_bubble.h"

using pindle::HorizontalEdge;
using pindle::TooltipBubble;

namespace {

QImage render(TooltipBubble& bubble) {
    QImage image = bubble.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

bool isFill(QColor actual, QColor expected) {
    return std::abs(actual.red() - expected.red()) <= 2 && std::abs(actual.green() - expected.green()) <= 2 &&
           std::abs(actual.blue() - expected.blue()) <= 2 && actual.alpha() >= 253;
}

void useTheme(bool dark) {
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(40, 40, 42) : QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, dark ? QColor(230, 230, 230) : QColor(20, 20, 20));
    QApplication::setPalette(palette);
}

const QChar kEllipsis(u'\u2026');

} // namespace

class TooltipBubbleTest : public QObject {
    Q_OBJECT

private slots:
    void init() { useTheme(false); }

    void sizesToItsTextWithinTwoLines() {
        TooltipBubble shortText(QStringLiteral("New note"), HorizontalEdge::leading);
        QCOMPARE(shortText.lines(), QStringList{QStringLiteral("New note")});
        // 11.5 px text gives a line 13 to 15 px tall; padding adds 16 x 10.
        QVERIFY2(shortText.bodySize().height() >= 23 && shortText.bodySize().height() <= 26,
                 qPrintable(QString::number(shortText.bodySize().height())));
        QVERIFY(shortText.bodySize().width() > 16 + 30 && shortText.bodySize().width() < 16 + 80);
        // The widget has room around the body for the arrow and the shadow.
        QVERIFY(shortText.width() >= 2 * shortText.bodyOffset().x() + shortText.bodySize().width());
        QVERIFY(shortText.height() >= shortText.bodyOffset().y() + shortText.bodySize().height() + 9);

        const QString sentence = QStringLiteral("Remember to call the plumber about the kitchen sink before Friday, "
                                                "and then buy milk, eggs, bread, coffee and a card for Anna");
        TooltipBubble longText(sentence, HorizontalEdge::leading);
        QCOMPARE(longText.lines().size(), 2);
        QVERIFY(sentence.startsWith(longText.lines().at(0)));
        QVERIFY(longText.lines().at(1).endsWith(kEllipsis));
        QVERIFY(longText.bodySize().width() <= 190 + 16 && longText.bodySize().width() >= 150 + 16);
        QVERIFY(longText.bodySize().height() > shortText.bodySize().height() + 10);

        // Two lines that fit are kept whole.
        TooltipBubble twoLines(QStringLiteral("Call the plumber about the kitchen sink before Friday"),
                               HorizontalEdge::leading);
        QCOMPARE(twoLines.lines().size(), 2);
        QVERIFY(!twoLines.lines().at(1).endsWith(kEllipsis));

        // A new text is measured again, and the overlay is told so that it can place it again.
        QSignalSpy measured(&longText, &TooltipBubble::bodySizeChanged);
        longText.setText(QStringLiteral("New note"));
        QCOMPARE(measured.size(), 1);
        QCOMPARE(longText.bodySize(), shortText.bodySize());
    }

    void drawsArrowOnItsSide_data() {
        QTest::addColumn<HorizontalEdge>("edge");
        QTest::newRow("leading") << HorizontalEdge::leading;
        QTest::newRow("trailing") << HorizontalEdge::trailing;
    }

    void drawsArrowOnItsSide() {
        QFETCH(HorizontalEdge, edge);
        TooltipBubble bubble(QStringLiteral("Delete note"), edge);
        const QImage image = render(bubble);
        const QRect body(bubble.bodyOffset(), bubble.bodySize());
        const int middle = body.top() + body.height() / 2;
        const QColor fill = pindle::tooltipBackground(false);
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
        // The other side has only the faint shadow.
        QVERIFY(image.pixelColor(otherSide - 3 * out, middle).alpha() < 128);
    }

    void fillFollowsTheThemeAndShadowFallsBelow() {
        TooltipBubble bubble(QStringLiteral("New note"), HorizontalEdge::leading);
        const QRect body(bubble.bodyOffset(), bubble.bodySize());
        const QPoint padding(body.right() - 3, body.center().y()); // clear of text and arrow
        QImage image = render(bubble);
        QVERIFY(isFill(image.pixelColor(padding), pindle::tooltipBackground(false)));

        // Black at about a fifth of full strength, shifted down: more below than above.
        const QColor below = image.pixelColor(body.center().x(), body.bottom() + 3);
        const QColor above = image.pixelColor(body.center().x(), body.top() - 3);
        QVERIFY2(below.alpha() > 10 && below.alpha() < 60, qPrintable(QString::number(below.alpha())));
        QVERIFY(below.red() < 10 && above.alpha() < below.alpha());

        const QSize size = bubble.size();
        useTheme(true);
        image = render(bubble);
        QVERIFY2(isFill(image.pixelColor(padding), pindle::tooltipBackground(true)),
                 qPrintable(image.pixelColor(padding).name()));
        QCOMPARE(bubble.size(), size);
        QVERIFY(pindle::tooltipBackground(true).lightness() > pindle::tooltipBackground(false).lightness());
    }

    void letsClicksThrough() {
        QWidget window;
        window.resize(200, 100);
        QPushButton button(QStringLiteral("Beneath"), &window);
        button.setGeometry(20, 20, 120, 40);
        TooltipBubble bubble(QStringLiteral("Over the button"), HorizontalEdge::leading, &window);
        bubble.move(button.geometry().topLeft());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy clicked(&button, &QPushButton::clicked);
        const QPoint onBody = bubble.geometry().topLeft() + bubble.bodyOffset() + QPoint(10, 6);
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, onBody);
        QCOMPARE(clicked.size(), 1);
    }
};

QTEST_MAIN(TooltipBubbleTest)
#include "tooltip_bubble_test.moc"
