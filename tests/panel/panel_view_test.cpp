// Behaviour of the panel on a real store: geometry, the rail, the header's delete confirmation,
// the editor's binding to the active note, and focus.
#include "panel_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "panel/button_styles.h"
#include "panel/dot_button.h"
#include "panel/note_editor.h"
#include "panel/note_rail.h"
#include "panel/text_line.h"
#include "tooltips/tooltip_source.h"

using namespace pindle;
using pindle::testing::boxOf;
using pindle::testing::click;
using pindle::testing::hover;
using pindle::testing::PanelFixture;

namespace {

std::string activeText(Store& store) {
    return store.activeNote()->text;
}

} // namespace

class PanelViewTest : public QObject {
    Q_OBJECT
private slots:
    void geometryFollowsTheBoxTable();
    void railScrollsFromFourteenNotesOn();
    void dotsAreKeyedByNoteAndNamedByPosition();
    void railClicksSelectAddAndFocus();
    void headerConfirmsBeforeDeleting();
    void editorTypingReachesTheStoreAndRefreshIsHarmless();
    void switchingNotesNeverCarriesUndoAcross();
    void pastingAndCopyingIsPlainText();
    void inputMethodCompositionSurvivesRefresh();
    void focusFollowsTheToken();
};

void PanelViewTest::geometryFollowsTheBoxTable() {
    PanelFixture fixture({"Groceries"});
    fixture.show();
    PanelView& view = fixture.view();
    QCOMPARE(PanelView::size(), QSize(360, 520));
    QCOMPARE(view.QWidget::size(), QSize(360, 520));
    QCOMPARE(boxOf(fixture.find<QWidget>("rail"), &view), QRect(0, 0, 46, 520));
    QCOMPARE(boxOf(fixture.find<QWidget>("divider"), &view), QRect(46, 0, 1, 520));
    QCOMPARE(boxOf(fixture.find<QWidget>("pane"), &view), QRect(47, 0, 313, 520));
    QCOMPARE(boxOf(fixture.find<QWidget>("header"), &view), QRect(47, 0, 313, 34));
    QCOMPARE(boxOf(fixture.find<QWidget>("footer"), &view), QRect(47, 496, 313, 24));
    // The editor box is 34..496; its text area is inset to x 57..350 and y 34..488.
    QCOMPARE(boxOf(fixture.find<QWidget>("editor"), &view), QRect(QPoint(57, 34), QPoint(349, 487)));
    // Text (and the placeholder) start at x 62, the first line at y 35.
    auto* editor = fixture.find<NoteEditor>("editor");
    const QRect firstCaret = editor->caretRect().translated(editor->viewport()->mapTo(&view, QPoint(0, 0)));
    QCOMPARE(QRectF(firstCaret).center().x(), 62.0);
    QCOMPARE(firstCaret.top(), 35);
    QCOMPARE(boxOf(fixture.find<QWidget>("title"), &view).left(), 61);
    QCOMPARE(boxOf(fixture.find<QWidget>("deleteButton"), &view), QRect(330, 6, 22, 22));
    QCOMPARE(boxOf(fixture.find<QWidget>("countLabel"), &view).left(), 61);
    QCOMPARE(boxOf(fixture.find<QWidget>("dot-0"), &view), QRect(8, 10, 30, 30));
    QCOMPARE(boxOf(fixture.find<QWidget>("addNoteButton"), &view), QRect(8, 10 + 34 + 2, 30, 30));

    fixture.store().setConfirmingDelete(true);
    const QRect confirm = boxOf(fixture.find<QWidget>("confirmDeleteButton"), &view);
    QCOMPARE(confirm.right() + 1, 352);
    QCOMPARE(boxOf(fixture.find<QWidget>("cancelButton"), &view).right() + 1 + 6, confirm.left());
    QCOMPARE(boxOf(fixture.find<QWidget>("confirmQuestion"), &view).left(), 61);
}

void PanelViewTest::railScrollsFromFourteenNotesOn() {
    for (const std::size_t count : {std::size_t{13}, std::size_t{14}, std::size_t{20}}) {
        PanelFixture fixture(std::vector<std::string>(count, "x"), count - 1);
        fixture.show();
        auto* rail = fixture.find<NoteRail>("rail");
        QCOMPARE(rail->widget()->height(), static_cast<int>(34 * count + 52));
        QCOMPARE(rail->verticalScrollBar()->maximum() > 0, count >= 14);
        QVERIFY(!rail->verticalScrollBar()->isVisible());
        // The last note is active, so the view keeps its dot (and "plus" below it) in sight.
        const QRect lastDot = boxOf(rail->dots().back(), rail->viewport());
        QVERIFY(lastDot.top() >= 0 && lastDot.bottom() < 520);
    }
}

void PanelViewTest::dotsAreKeyedByNoteAndNamedByPosition() {
    PanelFixture fixture({"", "  Groceries  \n milk", " \n\t"}, 0);
    auto* rail = fixture.find<NoteRail>("rail");
    QCOMPARE(rail->dots().size(), std::size_t{3});
    QCOMPARE(tooltipText(rail->dots()[0]), QStringLiteral("Empty note 1"));
    QCOMPARE(tooltipText(rail->dots()[1]), QStringLiteral("Groceries"));
    QCOMPARE(tooltipText(rail->dots()[2]), QStringLiteral("Empty note 3"));
    QCOMPARE(rail->dots()[0]->accessibleName(), QStringLiteral("Note 1 (empty)"));
    QCOMPARE(rail->dots()[1]->accessibleName(), QStringLiteral("Note 2: Groceries"));

    // Hover belongs to the note: deleting the note before it keeps the same dot, still hovered,
    // renumbered.
    DotButton* groceries = rail->dots()[1];
    hover(groceries, true);
    QCOMPARE(groceries->dotOpacity(), 0.85);
    fixture.store().deleteActiveNote();
    QCOMPARE(rail->dots().size(), std::size_t{2});
    QCOMPARE(rail->dots()[0], groceries);
    QVERIFY(groceries->hovering());
    QCOMPARE(groceries->objectName(), QStringLiteral("dot-0"));
    QCOMPARE(groceries->accessibleName(), QStringLiteral("Note 1: Groceries"));
    QCOMPARE(tooltipText(rail->dots()[1]), QStringLiteral("Empty note 2"));
    QCOMPARE(groceries->dotOpacity(), 1.0); // now active
}

void PanelViewTest::railClicksSelectAddAndFocus() {
    PanelFixture fixture({"one", "two"}, 0);
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    auto* rail = fixture.find<NoteRail>("rail");
    editor->clearFocus();

    // A click in the corner of the 30 x 30 box misses the circle.
    QTest::mouseClick(rail->dots()[1], Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(0));
    QVERIFY(!editor->hasFocus());

    click(rail->dots()[1]);
    QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(1));
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->text(), QStringLiteral("two"));

    editor->clearFocus();
    click(rail->addButton());
    QCOMPARE(fixture.store().notes().size(), std::size_t{3});
    QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(2));
    QVERIFY(editor->hasFocus());
    QCOMPARE(rail->dots().size(), std::size_t{3});
    QCOMPARE(boxOf(rail->addButton(), rail->widget()).top(), 10 + 3 * 34 + 2);
}

void PanelViewTest::headerConfirmsBeforeDeleting() {
    PanelFixture fixture({"\n  First line  \nsecond", " \n "}, 0);
    fixture.show();
    auto* title = fixture.find<TextLine>("title");
    auto* deleteButton = fixture.find<HoverCircleButton>("deleteButton");
    auto* editor = fixture.find<NoteEditor>("editor");
    QCOMPARE(title->text(), QStringLiteral("First line"));
    fixture.store().select(std::int64_t{1});
    QCOMPARE(title->text(), QStringLiteral("New note"));

    // Asking leaves the focus alone.
    editor->clearFocus();
    click(deleteButton);
    QVERIFY(fixture.store().confirmingDelete());
    QVERIFY(!editor->hasFocus());
    QVERIFY(fixture.find<QWidget>("confirmQuestion")->isVisible());
    QVERIFY(!deleteButton->isVisible());

    click(fixture.find<QPushButton>("cancelButton"));
    QVERIFY(!fixture.store().confirmingDelete());
    QVERIFY(editor->hasFocus());
    QCOMPARE(fixture.store().notes().size(), std::size_t{2});

    fixture.store().setConfirmingDelete(true);
    editor->clearFocus();
    click(fixture.find<QWidget>("confirmDeleteButton"));
    QCOMPARE(fixture.store().notes().size(), std::size_t{1});
    QVERIFY(!fixture.store().confirmingDelete());
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->text(), QStringLiteral("\n  First line  \nsecond"));
}

void PanelViewTest::editorTypingReachesTheStoreAndRefreshIsHarmless() {
    // No-break space, CRLF and a line separator are kept as they are unless the user edits.
    const std::string stored = "a\u00a0b\r\nc\u2028d";
    PanelFixture fixture({stored});
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    auto* count = fixture.find<TextLine>("countLabel");
    QCOMPARE(activeText(fixture.store()), stored);
    QCOMPARE(count->text(), QStringLiteral("4 words · 7 chars"));

    editor->selectAll();
    QTest::keyClicks(editor, "Hi you");
    QCOMPARE(activeText(fixture.store()), std::string("Hi you"));
    QCOMPARE(count->text(), QStringLiteral("2 words · 6 chars"));
    QCOMPARE(fixture.find<TextLine>("title")->text(), QStringLiteral("Hi you"));

    // Refreshes in the middle of typing: caret, undo and selection stay, nothing is written back.
    QTextCursor caret = editor->textCursor();
    caret.setPosition(2);
    editor->setTextCursor(caret);
    int textWrites = 0;
    const auto observer =
        fixture.store().observe([&](StoreChange change) { textWrites += change == StoreChange::notes; });
    fixture.store().setConfirmingDelete(true);
    fixture.store().requestEditorFocus();
    fixture.store().setConfirmingDelete(false);
    fixture.store().select(std::int64_t{0});
    fixture.store().unobserve(observer);
    QCOMPARE(textWrites, 0);
    QCOMPARE(editor->textCursor().position(), 2);
    QTest::keyClicks(editor, ",");
    QCOMPARE(activeText(fixture.store()), std::string("Hi, you"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(activeText(fixture.store()), std::string("Hi you"));

    // Deleting everything brings the placeholder back; white space alone keeps it away.
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(activeText(fixture.store()), std::string());
    QVERIFY(editor->placeholderVisible());
    QCOMPARE(count->text(), QString());
    QTest::keyClick(editor, Qt::Key_Space);
    QVERIFY(!editor->placeholderVisible());
    QCOMPARE(count->text(), QString());
}

void PanelViewTest::switchingNotesNeverCarriesUndoAcross() {
    PanelFixture fixture({"first", "second"}, 0);
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "!");
    QCOMPARE(fixture.store().notes()[0].text, std::string("first!"));

    fixture.store().select(std::int64_t{1});
    QCOMPARE(editor->text(), QStringLiteral("second"));
    QVERIFY(!editor->document()->isUndoAvailable());
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->text(), QStringLiteral("second"));
    QCOMPARE(fixture.store().notes()[0].text, std::string("first!"));
    QCOMPARE(fixture.store().notes()[1].text, std::string("second"));
}

void PanelViewTest::pastingAndCopyingIsPlainText() {
    PanelFixture fixture({""});
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    auto* htmlOnly = new QMimeData;
    htmlOnly->setHtml(QStringLiteral("<p><b>Bold</b> and <i>more</i></p>"));
    QApplication::clipboard()->setMimeData(htmlOnly);
    editor->paste();
    QCOMPARE(activeText(fixture.store()), std::string("Bold and more"));
    QVERIFY(!editor->textCursor().charFormat().font().bold());

    auto* both = new QMimeData;
    both->setHtml(QStringLiteral("<h1>Big</h1>"));
    both->setText(QStringLiteral(" plain"));
    QApplication::clipboard()->setMimeData(both);
    editor->paste();
    QCOMPARE(activeText(fixture.store()), std::string("Bold and more plain"));

    editor->selectAll();
    editor->copy();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    QVERIFY(copied != nullptr);
    QCOMPARE(copied->text(), QStringLiteral("Bold and more plain"));
    QVERIFY(!copied->hasHtml());
}

void PanelViewTest::inputMethodCompositionSurvivesRefresh() {
    PanelFixture fixture({""});
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    QInputMethodEvent compose(QStringLiteral("ni"), {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 2, 1)});
    QApplication::sendEvent(editor, &compose);
    QCOMPARE(activeText(fixture.store()), std::string());
    QVERIFY(!editor->placeholderVisible());

    fixture.store().setConfirmingDelete(true); // a refresh while composing
    QCOMPARE(editor->textCursor().block().layout()->preeditAreaText(), QStringLiteral("ni"));

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("你"));
    QApplication::sendEvent(editor, &commit);
    QCOMPARE(activeText(fixture.store()), std::string("你"));
    QCOMPARE(fixture.find<TextLine>("countLabel")->text(), QStringLiteral("1 word · 1 char"));
}

void PanelViewTest::focusFollowsTheToken() {
    PanelFixture fixture({"note"});
    fixture.show();
    auto* editor = fixture.find<NoteEditor>("editor");
    QVERIFY(editor->hasFocus()); // on showing

    editor->clearFocus();
    fixture.store().setConfirmingDelete(false); // a change that is not the token
    QVERIFY(!editor->hasFocus());
    fixture.store().requestEditorFocus();
    QVERIFY(editor->hasFocus());
}

QTEST_MAIN(PanelViewTest)
#include "panel_view_test.moc"
