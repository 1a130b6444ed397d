// The panel on a real store: geometry, the rail, the delete confirmation, the editor's binding to
// the active note, and focus.
#include "pindle/testing/panel_fixture.h"
#include "pindle/testing/test_folder.h"

#include <filesystem>
#include <random>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QRegularExpression>
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
using namespace pindle::testing;

class PanelViewTest : public QObject {
    Q_OBJECT

private slots:
    void geometryFollowsTheBoxTable() {
        PanelFixture fixture({"Groceries"});
        fixture.show();
        PanelView& view = fixture.view();
        QCOMPARE(view.QWidget::size(), QSize(360, 520));
        const std::pair<QString, QRect> boxes[] = {
            {"rail", {0, 0, 46, 520}},
            {"divider", {46, 0, 1, 520}},
            {"pane", {47, 0, 313, 520}},
            {"header", {47, 0, 313, 34}},
            {"footer", {47, 496, 313, 24}},
            {"editor", QRect(QPoint(57, 34), QPoint(349, 487))}, // x 57..350, y 34..488
            {"deleteButton", {330, 6, 22, 22}},
            {"dot-0", {8, 10, 30, 30}},
            {"addNoteButton", {8, 10 + 34 + 2, 30, 30}},
        };
        for (const auto& [name, box] : boxes) {
            QCOMPARE(std::make_pair(name, boxOf(fixture.find(name), &view)), std::make_pair(name, box));
        }
        QCOMPARE(boxOf(fixture.find("title"), &view).left(), 61);
        QCOMPARE(boxOf(fixture.find("countLabel"), &view).left(), 61);
        // Text (and the placeholder) start at x 62, the first line at y 35.
        auto* editor = fixture.find<NoteEditor>("editor");
        const QRect caret = editor->caretRect().translated(editor->viewport()->mapTo(&view, QPoint(0, 0)));
        QCOMPARE(QRectF(caret).center().x(), 62.0);
        QCOMPARE(caret.top(), 35);

        fixture.store().setConfirmingDelete(true);
        const QRect confirm = boxOf(fixture.find("confirmDeleteButton"), &view);
        QCOMPARE(confirm.right() + 1, 352);
        const QRect cancel = boxOf(fixture.find("cancelButton"), &view);
        QCOMPARE(cancel.right() + 1 + 6, confirm.left());
        QCOMPARE(std::make_pair(cancel.top(), cancel.height()), std::make_pair(confirm.top(), confirm.height()));
        QCOMPARE(boxOf(fixture.find("confirmQuestion"), &view).left(), 61);
    }

    void railScrollsFromFourteenNotesOn() {
        for (const std::size_t count : {std::size_t{13}, std::size_t{14}}) {
            PanelFixture fixture(std::vector<std::string>(count, "x"), count - 1);
            fixture.show();
            auto* rail = fixture.find<NoteRail>("rail");
            QCOMPARE(rail->widget()->height(), static_cast<int>(34 * count + 52));
            QCOMPARE(rail->verticalScrollBar()->maximum() > 0, count >= 14);
            QVERIFY(!rail->verticalScrollBar()->isVisible());
            // The last note is active, so the rail keeps its dot in sight.
            const QRect lastDot = boxOf(rail->dots().back(), rail->viewport());
            QVERIFY(lastDot.top() >= 0 && lastDot.bottom() < 520);
        }
    }

    void dotsAreKeyedByNoteAndNamedByPosition() {
        PanelFixture fixture({"", "  Groceries  \n milk", " \n\t"}, 0);
        auto* rail = fixture.find<NoteRail>("rail");
        const std::vector<DotButton*>& dots = rail->dots();
        QCOMPARE(dots.size(), std::size_t{3});
        QCOMPARE(tooltipText(dots[0]), QStringLiteral("Empty note 1"));
        QCOMPARE(tooltipText(dots[1]), QStringLiteral("Groceries"));
        QCOMPARE(tooltipText(dots[2]), QStringLiteral("Empty note 3"));
        QCOMPARE(dots[0]->accessibleName(), QStringLiteral("Note 1 (empty)"));
        QCOMPARE(dots[1]->accessibleName(), QStringLiteral("Note 2: Groceries"));

        // Hover belongs to the note: deleting the note before it keeps the same dot, still hovered,
        // renumbered.
        DotButton* groceries = dots[1];
        hover(groceries, true);
        fixture.store().deleteActiveNote();
        QCOMPARE(rail->dots().size(), std::size_t{2});
        QCOMPARE(rail->dots()[0], groceries);
        QVERIFY(groceries->hovering());
        QCOMPARE(groceries->objectName(), QStringLiteral("dot-0"));
        QCOMPARE(groceries->accessibleName(), QStringLiteral("Note 1: Groceries"));
        QCOMPARE(tooltipText(rail->dots()[1]), QStringLiteral("Empty note 2"));
    }

    void clicksSelectAddAndFocusTheEditor() {
        PanelFixture fixture({"one", "two"}, 0);
        fixture.show();
        auto* editor = fixture.find<NoteEditor>("editor");
        auto* rail = fixture.find<NoteRail>("rail");
        QVERIFY(editor->hasFocus()); // on showing

        // A click in the corner of the 30 x 30 box misses the circle.
        editor->clearFocus();
        QTest::mouseClick(rail->dots()[1], Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(0));
        QVERIFY(!editor->hasFocus());

        click(rail->dots()[1]);
        QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(1));
        QVERIFY(editor->hasFocus());
        QCOMPARE(editor->text(), QStringLiteral("two"));

        editor->clearFocus();
        click(rail->addButton());
        QCOMPARE(fixture.store().activeIndex(), std::optional<std::size_t>(2));
        QVERIFY(editor->hasFocus());
        QCOMPARE(rail->dots().size(), std::size_t{3});
        QCOMPARE(boxOf(rail->addButton(), rail->widget()).top(), 10 + 3 * 34 + 2);

        // Focus follows the token, and no other change.
        editor->clearFocus();
        fixture.store().setConfirmingDelete(false);
        QVERIFY(!editor->hasFocus());
        fixture.store().requestEditorFocus();
        QVERIFY(editor->hasFocus());
    }

    void hoverGoesWhereThePointerIsAndWhereAClickCounts() {
        const auto pointAt = [](QWidget* widget, QPoint at) {
            QCursor::setPos(widget->mapToGlobal(at));
            QCoreApplication::processEvents();
        };
        {
            // "plus" moves down a row under the resting pointer; the pointer is then on the new dot.
            PanelFixture fixture({"a"});
            fixture.show();
            auto* rail = fixture.find<NoteRail>("rail");
            pointAt(rail->addButton(), {15, 15});
            click(rail->addButton());
            QVERIFY(!rail->addButton()->hovering() && rail->dots().back()->hovering());
        }
        PanelFixture fixture(std::vector<std::string>(30, "x"), 0);
        fixture.show();
        auto* rail = fixture.find<NoteRail>("rail");
        pointAt(rail->dots()[4], {2, 2}); // inside the box, outside the circle
        QVERIFY(!rail->dots()[4]->hovering());
        pointAt(rail->dots()[4], {15, 15});
        QVERIFY(rail->dots()[4]->hovering());
        // The rail scrolls two dots up under the resting pointer.
        rail->verticalScrollBar()->setValue(2 * 34);
        QVERIFY(!rail->dots()[4]->hovering() && rail->dots()[6]->hovering());
    }

    void headerConfirmsBeforeDeleting() {
        PanelFixture fixture({"\n  First line  \nsecond", " \n "}, 0);
        fixture.show();
        auto* title = fixture.find<TextLine>("title");
        auto* deleteButton = fixture.find("deleteButton");
        auto* editor = fixture.find<NoteEditor>("editor");
        QCOMPARE(title->text(), QStringLiteral("First line"));
        fixture.store().select(std::int64_t{1});
        QCOMPARE(title->text(), QStringLiteral("New note"));

        // Asking leaves the focus alone.
        editor->clearFocus();
        click(deleteButton);
        click(fixture.find("confirmDeleteButton")); // the second half of a double-click on "xmark"
        QVERIFY(fixture.store().confirmingDelete());
        QVERIFY(!editor->hasFocus());
        QVERIFY(fixture.find("confirmQuestion")->isVisible());
        QVERIFY(!deleteButton->isVisible());

        click(fixture.find("cancelButton"));
        QVERIFY(!fixture.store().confirmingDelete());
        QVERIFY(editor->hasFocus());
        QCOMPARE(fixture.store().notes().size(), std::size_t{2});

        fixture.store().setConfirmingDelete(true);
        editor->clearFocus();
        click(fixture.find("confirmDeleteButton"));
        QCOMPARE(fixture.store().notes().size(), std::size_t{1});
        QVERIFY(!fixture.store().confirmingDelete());
        QVERIFY(editor->hasFocus());
        QCOMPARE(editor->text(), QStringLiteral("\n  First line  \nsecond"));
    }

    void typingReachesTheStoreAndRefreshOrSwitchingIsHarmless() {
        // No-break space, CRLF and a line separator are kept as they are unless the user edits.
        const std::string stored = "a\u00a0b\r\nc\u2028d";
        PanelFixture fixture({stored});
        fixture.show();
        Store& store = fixture.store();
        auto* editor = fixture.find<NoteEditor>("editor");
        auto* count = fixture.find<TextLine>("countLabel");
        QCOMPARE(store.activeNote()->text, stored);
        QCOMPARE(count->text(), QStringLiteral("4 words · 7 chars"));

        editor->selectAll();
        QTest::keyClicks(editor, "Hi you");
        QCOMPARE(store.activeNote()->text, "Hi you");
        QCOMPARE(fixture.find<TextLine>("title")->text(), QStringLiteral("Hi you"));

        // Refreshes in the middle of typing: caret and undo stay, nothing is written back.
        QTextCursor caret = editor->textCursor();
        caret.setPosition(2);
        editor->setTextCursor(caret);
        int textWrites = 0;
        const auto observer = store.observe([&](StoreChange change) { textWrites += change == StoreChange::notes; });
        store.setConfirmingDelete(true);
        store.requestEditorFocus();
        store.setConfirmingDelete(false);
        store.select(std::int64_t{0});
        store.unobserve(observer);
        QCOMPARE(textWrites, 0);
        QCOMPARE(editor->textCursor().position(), 2);
        QTest::keyClicks(editor, ",");
        QCOMPARE(store.activeNote()->text, "Hi, you");
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(store.activeNote()->text, "Hi you");
        // So does another machine's word after the caret, and the undo history stays.
        store.flush();
        std::string synced = readFile(store.fileURL());
        synced.replace(synced.find("\"Hi you\""), 8, "\"Hi you too\"");
        writeFile(store.fileURL(), synced);
        store.checkForExternalChanges();
        QCOMPARE(editor->text(), QStringLiteral("Hi you too"));
        QCOMPARE(editor->textCursor().position(), 2);
        QVERIFY(editor->document()->isUndoAvailable());

        // Only an empty text shows the placeholder; white space has no words.
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE(store.activeNote()->text, "");
        QVERIFY(editor->placeholderVisible());
        QTest::keyClick(editor, Qt::Key_Space);
        QCOMPARE(count->text(), QString());

        // While saves fail the footer says so in place of the counts, until one succeeds.
        const std::filesystem::path document = store.fileURL();
        std::filesystem::remove(document);
        std::filesystem::create_directory(document);
        store.flush();
        QCOMPARE(count->text(), QStringLiteral("Not saved — the notes file cannot be written"));
        QCOMPARE(count->tone(), TextLine::Tone::alert);
        std::filesystem::remove(document);
        QTest::keyClicks(editor, "x");
        fixture.time().advance(Store::kSaveDelay);
        QCOMPARE(count->text(), QStringLiteral("1 word · 2 chars"));
        QCOMPARE(count->tone(), TextLine::Tone::tertiary);

        // Another note replaces the text and starts a fresh undo history.
        store.addNote();
        QVERIFY(!editor->document()->isUndoAvailable());
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(store.notes()[0].text, " x");
        QCOMPARE(store.notes()[1].text, "");
    }

    void pastingCopyingAndInputMethodsCarryPlainText() {
        PanelFixture fixture({""});
        fixture.show();
        auto* editor = fixture.find<NoteEditor>("editor");
        QInputMethodEvent compose(QStringLiteral("ni"),
                                  {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 2, 1)});
        QApplication::sendEvent(editor, &compose);
        QCOMPARE(fixture.store().activeNote()->text, "");
        QVERIFY(!editor->placeholderVisible());
        fixture.store().setConfirmingDelete(true); // a refresh while composing
        QCOMPARE(editor->textCursor().block().layout()->preeditAreaText(), QStringLiteral("ni"));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("你"));
        QApplication::sendEvent(editor, &commit);
        QCOMPARE(fixture.store().activeNote()->text, "你");

        auto* html = new QMimeData;
        html->setHtml(QStringLiteral("<p><b>Bold</b> and</p><p><i>more</i></p>"));
        QApplication::clipboard()->setMimeData(html);
        editor->paste();
        QCOMPARE(fixture.store().activeNote()->text, "你Bold and\nmore");
        QTextCursor inBold(editor->document());
        inBold.setPosition(2); // after "你B"
        QVERIFY(!inBold.charFormat().font().bold());
        editor->selectAll();
        editor->copy();
        QVERIFY(!QApplication::clipboard()->mimeData()->hasHtml());
    }

    void longLinesAreShownInPiecesThatEditsNeverTurnIntoText() {
        // What the document should hold, soft breaks as '\1': lines of ASCII are cut every 4096.
        const auto shown = [](const QString& text) {
            QString document;
            for (qsizetype i = 0, column = 0; i < text.size(); column = text[i] == '\n' ? 0 : column + 1, ++i) {
                document += QString(column == 4096 && text[i] != '\n' ? (column = 0, "\1") : "") + text[i];
            }
            return document;
        };
        const QKeySequence keys[] = {QKeySequence::Copy, Qt::Key_X,          Qt::Key_Return,    QKeySequence::Paste,
                                     Qt::Key_Backspace,  QKeySequence::Undo, QKeySequence::Redo};
        const QString line = QStringLiteral("Lorem ipsum dolor sit amet, ").repeated(330); // words lay out fast
        {
            // Backspace steps over every soft break before the caret, those of an emptied piece too.
            PanelFixture fixture({line.left(8200).toStdString()});
            auto* editor = fixture.find<NoteEditor>("editor");
            QTextCursor piece(editor->document()->findBlockByNumber(1));
            piece.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            piece.removeSelectedText();
            editor->setTextCursor(QTextCursor(editor->document()->findBlockByNumber(2)));
            QTest::keyClick(editor, Qt::Key_Backspace);
            QCOMPARE(fixture.store().activeNote()->text, (line.left(4095) + line.mid(8192, 8)).toStdString());
        }
        for (const unsigned seed : {1U, 2U, 3U}) {
            PanelFixture fixture({("one\ntwo\n" + line + "\nthree\n" + line.left(5000)).toStdString()});
            auto* editor = fixture.find<NoteEditor>("editor");
            QString model = shown(QString::fromStdString(fixture.store().activeNote()->text));
            std::vector<QString> history{model};
            std::size_t at = 0; // in history
            std::mt19937 random(seed);
            const auto pick = [&random](qsizetype n) {
                return static_cast<qsizetype>(random() % static_cast<unsigned>(n));
            };
            for (int step = 0; step < 150; ++step) {
                // Mostly a short selection that runs over a break, soft or real, or starts right after one.
                const qsizetype next = model.indexOf(QRegularExpression("[\n\1]"), pick(model.size() + 1));
                qsizetype from =
                    std::clamp<qsizetype>((next < 0 ? model.size() : next + 1) - pick(3) * pick(20), 0, model.size());
                qsizetype to = std::min<qsizetype>(model.size(), from + pick(3) * pick(60));
                QTextCursor selection(editor->document());
                selection.setPosition(static_cast<int>(from));
                selection.setPosition(static_cast<int>(to), QTextCursor::KeepAnchor);
                editor->setTextCursor(selection);
                editor->document()->setModified(false); // no step merges with the one before
                const int done = editor->document()->availableUndoSteps();
                const bool undoable = editor->document()->isUndoAvailable(),
                           redoable = editor->document()->isRedoAvailable();
                const auto key = static_cast<std::size_t>(pick(std::size(keys)));
                QApplication::clipboard()->setText(pick(2) ? line.left(5000) : QStringLiteral("p\nq"));
                const QString pasted = shown(QApplication::clipboard()->text());
                QTest::keySequence(editor, keys[key]);
                if (key == 0 && from < to) {
                    QCOMPARE(QApplication::clipboard()->text(), model.mid(from, to - from).remove('\1'));
                } else if (key >= 1 && key <= 4) {
                    while (key == 4 && from == to && to > 0 && model[to - 1] == '\1') {
                        from = --to; // Backspace steps over soft breaks to the character before them
                    }
                    from -= key == 4 && from == to && from > 0 ? 1 : 0;
                    model.replace(from, to - from, QStringList{"x", "\n", pasted, ""}[static_cast<qsizetype>(key) - 1]);
                    if (editor->document()->availableUndoSteps() != done) {
                        history.resize(++at);
                        history.push_back(model);
                    }
                } else if (key >= 5) {
                    model = history.at(at = key == 5 ? at - undoable : at + redoable);
                }
                const QString saved = QString::fromStdString(fixture.store().activeNote()->text);
                QCOMPARE(std::make_pair(step, saved), std::make_pair(step, QString(model).remove('\1')));
            }
        }
    }
};

QTEST_MAIN(PanelViewTest)
#include "panel_view_test.moc"
