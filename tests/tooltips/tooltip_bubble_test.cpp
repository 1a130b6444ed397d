#include <QApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

#include "pindle/testing/widgets.h"
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
    return pindle::testing::near(actual, expected, 2) && actual.alpha() >= 253;
}

void useTheme(bool dark) {
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(40, 40, 42) : QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, dark ? QColor(230, 230, 230) : QColor(20, 20, 20));
    QApplication::setPalette(palette);
}

} // namespace

class TooltipBubbleTest : public QObject {
    Q_OBJECT

private slots:
    void init() { useTheme(false); }

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
        QVERIFY(sentence.startsWith(longText.lines().at(0)));
        QVERIFY(longText.lines().at(1).endsWith(u'\u2026'));
        QVERIFY(longText.bodySize().width() <= 190 + 16 && longText.bodySize().width() >= 150 + 16);
        QVERIFY(longText.bodySize().height() > small.height() + 10);

        TooltipBubble twoLines(QStringLiteral("Call the plumber about the kitchen sink before Friday"),
                               HorizontalEdge::leading);
        QCOMPARE(twoLines.lines().size(), 2);
        QVERIFY(!twoLines.lines().at(1).endsWith(u'\u2026'));

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
        QVERIFY(image.pixelColor(otherSide - 3 * out, middle).alpha() < 128);

        // Shadow: black at about a fifth of full strength, shifted down, so more below than above.
        const QColor below = image.pixelColor(body.center().x(), body.bottom() + 3);
        const QColor above = image.pixelColor(body.center().x(), body.top() - 3);
        QVERIFY2(below.alpha() > 10 && below.alpha() < 60, qPrintable(QString::number(below.alpha())));
        QVERIFY(below.red() < 10 && above.alpha() < below.alpha());

        // The fill follows a theme change while shown; the size does not change.
        const QPoint padding(otherSide + 3 * out, middle); // clear of text and arrow
        QVERIFY(isFill(image.pixelColor(padding), fill));
        const QSize size = bubble.size();
        useTheme(true);
        image = render(bubble);
        QVERIFY2(isFill(image.pixelColor(padding), pindle::tooltipBackground(true)),
                 qPrintable(image.pixelColor(padding).name()));
        QCOMPARE(bubble.size(), size);
    }
};

QTEST_MAIN(TooltipBubbleTest)
#include "tooltip_bubble_test.moc"
