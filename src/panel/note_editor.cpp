#include "note_editor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QUtf8StringView>

#include "notes/text.h"
#include "platform/view/view_colors.h"

namespace pindle {

namespace {

// Extra space between lines. The plain-text layout has no line-height setting, so the lines are
// moved down after the base layout placed them: each line gets the space above it, the first one
// too (the viewport's top margin takes that back for the first line of the note).
constexpr double kLineSpacing = 3;
// Text starts 5 pixels in from the editor's left and right edges, and its first line 1 pixel below
// the top of the editor box, where the placeholder stands too. The lines sit kCaretRoom in from the
// viewport's left edge so that the caret, centred on its position, is whole at a line's start.
constexpr int kTextInsetX = 5;
constexpr int kFirstLineTop = 1;
constexpr int kCaretWidth = 2;
constexpr int kCaretRoom = kCaretWidth / 2;
constexpr double kTabStop = 28;
constexpr int kScrollBarWidth = 6;
// From this many characters on, a paragraph keeps its shaped glyphs between layouts.
constexpr int kLongBlockLength = 2000;
// A line of the note longer than kPieceLength is shown as pieces of about that length, each a
// block of its own joined by soft breaks that are not part of the note. Qt lays a paragraph out
// as a whole, on every keystroke, and one unbreakable word in it takes time that grows far
// faster than its length; pieces keep both to one screenful.
constexpr qsizetype kPieceLength = 4096;
// A soft break is a paragraph separator whose character format has this object type. The mark is
// on the separator itself, not on a block, so it goes wherever the separator goes: it is removed
// with it, and undo and redo bring it back with it. (A block's own state does neither: deleting
// across blocks leaves the merged block with the state of a later one, and undo restores blocks
// without it.) Qt drops the object type from the format it hands on to typed text and to a new
// line break, so nothing the user types ever carries the mark.
constexpr int kSoftBreak = QTextFormat::UserObject + 1;

// Where to cut `line` at or after `at` without splitting a character: never inside a grapheme
// cluster. `from` is a boundary before `at` and `lineEnd` one after it. Only a window from `from`
// is looked at (a boundary finder over the whole line would go through all of it for every
// piece); the window grows while it holds no boundary past `at`. Starting at a boundary keeps the
// rules that look back (emoji sequences, pairs of regional indicators) right within the window.
qsizetype pieceEnd(const QString& line, qsizetype from, qsizetype at, qsizetype lineEnd) {
    // Between two printable ASCII characters there is always a boundary (and a pasted blob is
    // nothing else): no boundary finder needed.
    const auto printable = [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; };
    if (printable(line[at - 1]) && printable(line[at])) {
        return at;
    }
    for (qsizetype reach = 64;; reach *= 2) {
        const qsizetype windowEnd = std::min(lineEnd, at + reach);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(line).mid(from, windowEnd - from));
        finder.setPosition(at - from);
        if (finder.isAtBoundary()) {
            return at;
        }
        const qsizetype next = finder.toNextBoundary();
        // The window's own end is an end only when it is the line's.
        if (next >= 0 && (from + next < windowEnd || windowEnd == lineEnd)) {
            return from + next;
        }
    }
}

// `text` cut into the pieces it is shown as (views into `text`); `soft[i]` tells whether piece i
// continues the line of piece i - 1.
void cutIntoPieces(const QString& text, QList<QStringView>& pieces, std::vector<bool>& soft) {
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0) {
            lineEnd = text.size();
        }
        qsizetype at = lineStart;
        bool continuation = false;
        do {
            const qsizetype end =
                lineEnd - at > kPieceLength ? pieceEnd(text, at, at + kPieceLength, lineEnd) : lineEnd;
            pieces.append(QStringView(text).mid(at, end - at));
            soft.push_back(continuation);
            continuation = true;
            at = end;
        } while (at < lineEnd);
        lineStart = lineEnd + 1;
    }
}

// Whether the separator before `block` is a soft break, so that the block continues the line of
// the one before. A block's char format is that of the separator before it.
bool continuesLine(const QTextBlock& block) {
    return block.isValid() && block.position() > 0 && block.charFormat().objectType() == kSoftBreak;
}

// Inserts `pieces` at `cursor`, soft breaks between those that `soft` says continue a line.
void insertPieces(QTextCursor& cursor, const QList<QStringView>& pieces, const std::vector<bool>& soft) {
    QTextCharFormat softBreak;
    softBreak.setObjectType(kSoftBreak);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0 && soft[static_cast<std::size_t>(i)]) {
            cursor.insertBlock(cursor.blockFormat(), softBreak);
        } else if (i > 0) {
            cursor.insertBlock();
        }
        cursor.insertText(pieces[i].toString());
    }
}

// Whether the document made from `text` holds it character for character, so that a position in
// the one is a position in the other: valid UTF-8 (QString::fromUtf8 also drops a leading byte
// order mark), and nothing that a QTextDocument turns into a paragraph separator but a line feed
// (it does so with CR, CR LF, U+2029 and its frame markers U+FDD0 and U+FDD1).
bool mirroredByDocument(const std::string& text) {
    const std::string_view view(text);
    return view.find('\r') == std::string_view::npos && view.find("\u2029") == std::string_view::npos &&
           view.find("\uFDD0") == std::string_view::npos && view.find("\uFDD1") == std::string_view::npos &&
           !view.starts_with("\uFEFF") && QUtf8StringView(text).isValidUtf8();
}

// The byte `units` UTF-16 code units after byte `from` of the valid UTF-8 `text`; nullopt past its
// end or inside a character of two units.
std::optional<std::size_t> advanceUnits(const std::string& text, std::size_t from, std::size_t units) {
    std::size_t at = from;
    while (units > 0) {
        std::uint64_t eight = 0;
        if (units >= 8 && at + 8 <= text.size() &&
            (std::memcpy(&eight, text.data() + at, 8), eight & 0x8080808080808080ULL) == 0) {
            at += 8;
            units -= 8;
            continue;
        }
        if (at >= text.size()) {
            return std::nullopt;
        }
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t width = length == 4 ? 2 : 1;
        if (width > units) {
            return std::nullopt;
        }
        at += length;
        units -= width;
    }
    return at <= text.size() ? std::optional<std::size_t>(at) : std::nullopt;
}

class SpacedTextLayout final : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    // Every caller that positions or paints a block asks for its bounding rectangle first, right
    // after the base layout (re)built the block's lines, so this is where the spacing goes in. A
    // freshly built block has its first line at 0; a spaced one at kLineSpacing.
    QRectF blockBoundingRect(const QTextBlock& block) const override {
        keepGlyphsOfLongBlock(block);
        QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);
        QTextLayout* layout = block.layout();
        if (layout != nullptr && layout->lineCount() > 0 && layout->lineAt(0).y() < kLineSpacing / 2) {
            for (int i = 0; i < layout->lineCount(); ++i) {
                QTextLine line = layout->lineAt(i);
                line.setPosition(QPointF(line.x() + kCaretRoom, line.y() + kLineSpacing * (i + 1)));
            }
            rect = QPlainTextDocumentLayout::blockBoundingRect(block);
        }
        return rect;
    }

protected:
    // The base lays an edited block out again at once, so its cache setting has to be right first.
    void documentChanged(int from, int charsRemoved, int charsAdded) override {
        const QTextBlock first = document()->findBlock(from);
        const QTextBlock last = document()->findBlock(from + charsAdded);
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            keepGlyphsOfLongBlock(block, block == first && block == last);
            if (block == last) {
                break;
            }
        }
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    }

private:
    // A laid-out block normally drops its shaped glyphs, and the next question about it (where the
    // caret is, what to paint) itemizes and shapes the whole paragraph again: in one very long line
    // that added some 40 % to every keystroke. Long blocks keep their glyphs; short ones are cheap
    // to reshape and would only hold memory. `edited` turns the cache off again for a block that is
    // no longer long (only for the edited block, whose layout exists anyway: asking any other block
    // for its layout would create one).
    static void keepGlyphsOfLongBlock(const QTextBlock& block, bool edited = false) {
        const bool isLong = block.length() > kLongBlockLength;
        if (isLong || edited) {
            block.layout()->setCacheEnabled(isLong);
        }
    }
};

} // namespace

NoteEditor::NoteEditor(QWidget* parent)
    : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("editor"));
    auto* document = new QTextDocument(this);
    document->setDocumentLayout(new SpacedTextLayout(document));
    document->setDocumentMargin(0);
    setDocument(document);

    setFrameShape(QFrame::NoFrame);
    setBackgroundVisible(false);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setViewportMargins(kTextInsetX - kCaretRoom, kFirstLineTop - static_cast<int>(kLineSpacing),
                       kTextInsetX + kCaretRoom, 0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabStopDistance(kTabStop);
    // A word wider than the editor breaks where the edge is, instead of running out of sight.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setCursorWidth(0); // the tinted caret is drawn in paintEvent
    setAttribute(Qt::WA_InputMethodEnabled);

    m_blink.setSingleShot(false);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        repaintCaret();
    });
    connect(document, &QTextDocument::contentsChange, this, &NoteEditor::followChange);
    connect(this, &QPlainTextEdit::textChanged, this, &NoteEditor::reportChange);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &NoteEditor::showCaret);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { viewport()->update(); });
    applyScrollBarStyle();
}

void NoteEditor::showNote(const std::string& id, const std::string& text) {
    if (id == m_noteId && (text == m_synced || text::canonicallyEqual(text, m_synced))) {
        return;
    }
    const QString plain = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QList<QStringView> pieces;
    std::vector<bool> soft;
    cutIntoPieces(plain, pieces, soft);
    const bool hasSoftBreaks = std::find(soft.begin(), soft.end(), true) != soft.end();
    const bool sameNote = id == m_noteId;
    const bool wasMirrored = m_mirrored && !m_hasSoftBreaks;
    const int caret = textCursor().position();
    m_loading = true;
    m_noteId = id;
    m_synced = text;
    m_mirrored = mirroredByDocument(text);
    m_edited = false;
    m_knownUnits = 0;
    m_knownBytes = 0;
    m_units = static_cast<std::size_t>(plain.size());
    if (sameNote && wasMirrored && m_mirrored && !hasSoftBreaks) {
        replaceChangedPart(plain, caret);
    } else {
        // A new document content: the undo history starts afresh, so undo never reaches into the
        // text of the note shown before.
        m_hasSoftBreaks = hasSoftBreaks;
        if (!m_hasSoftBreaks) {
            setPlainText(plain);
        } else {
            // Loading is no step to undo.
            setPlainText(QString());
            document()->setUndoRedoEnabled(false);
            QTextCursor cursor(document());
            cursor.beginEditBlock();
            insertPieces(cursor, pieces, soft);
            cursor.endEditBlock();
            document()->setUndoRedoEnabled(true);
            moveCursor(QTextCursor::Start);
        }
        if (sameNote) {
            QTextCursor kept = textCursor();
            kept.setPosition(std::min(caret, document()->characterCount() - 1));
            setTextCursor(kept);
        }
    }
    m_length = document()->characterCount();
    m_blocks = document()->blockCount();
    m_loading = false;
}

void NoteEditor::replaceChangedPart(const QString& now, int caret) {
    // Another program changed the note on show (a sync engine bringing another machine's words):
    // only the part between what is unchanged at both ends is replaced, as one step of the undo
    // history, so the caret keeps its place among the letters around it, and undo what was typed.
    const QString before = text();
    const qsizetype shorter = std::min(before.size(), now.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == now[head]) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    if (head > 0 && before[head - 1].isHighSurrogate()) {
        --head; // never between the halves of one character
    }
    if (tail > 0 && before[before.size() - tail].isLowSurrogate()) {
        --tail;
    }
    QTextCursor edit(document());
    edit.setPosition(static_cast<int>(head));
    edit.setPosition(static_cast<int>(before.size() - tail), QTextCursor::KeepAnchor);
    edit.insertText(now.mid(head, now.size() - head - tail));
    if (caret > head && caret < before.size() - tail) {
        // The caret stood in the part replaced: the same offset, within what replaced it.
        QTextCursor kept = textCursor();
        kept.setPosition(static_cast<int>(std::min<qsizetype>(caret, now.size() - tail)));
        setTextCursor(kept);
    }
}

void NoteEditor::setTint(const QColor& tint) {
    if (tint != m_tint) {
        m_tint = tint;
        repaintCaret();
    }
}

void NoteEditor::setPlaceholder(const QString& text) {
    m_placeholder = text;
    viewport()->update();
}

QString NoteEditor::text() const {
    return textBetween(0, document()->characterCount() - 1);
}

QString NoteEditor::textBetween(int from, int to) const {
    QTextCursor range(document());
    range.setPosition(from);
    range.setPosition(to, QTextCursor::KeepAnchor);
    QString raw = range.selectedText();
    if (m_hasSoftBreaks) {
        // Soft breaks are the separators before continuing blocks; the rest are line feeds.
        QString joined;
        joined.reserve(raw.size());
        qsizetype copied = 0;
        for (QTextBlock block = document()->findBlock(from).next(); block.isValid() && block.position() <= to;
             block = block.next()) {
            const qsizetype separator = block.position() - 1 - from;
            joined.append(QStringView(raw).mid(copied, separator - copied));
            if (!continuesLine(block)) {
                joined.append(QLatin1Char('\n'));
            }
            copied = separator + 1;
        }
        joined.append(QStringView(raw).mid(copied));
        return joined;
    }
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return raw;
}

void NoteEditor::keyPressEvent(QKeyEvent* event) {
    // A soft break is no character: deleting or stepping over "it" acts on the character beyond
    // (beyond every soft break there, should a piece have been emptied).
    QTextCursor cursor = textCursor();
    if (m_hasSoftBreaks && !cursor.hasSelection() && event->modifiers() == Qt::NoModifier) {
        const bool back = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Left;
        const bool forward = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Right;
        bool moved = false;
        while (((back && cursor.atBlockStart() && continuesLine(cursor.block())) ||
                (forward && cursor.atBlockEnd() && continuesLine(cursor.block().next()))) &&
               cursor.movePosition(back ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter)) {
            moved = true;
        }
        if (moved) {
            setTextCursor(cursor);
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool NoteEditor::placeholderVisible() const {
    if (!document()->isEmpty()) {
        return false;
    }
    const QTextLayout* layout = textCursor().block().layout();
    return layout == nullptr || layout->preeditAreaText().isEmpty();
}

QRect NoteEditor::caretRect() const {
    return m_caretOn && hasFocus() ? caretGeometry() : QRect();
}

std::size_t NoteEditor::softBreaksBefore(int position) const {
    std::size_t count = 0;
    if (m_hasSoftBreaks) {
        for (QTextBlock block = document()->begin().next(); block.isValid() && block.position() <= position;
             block = block.next()) {
            count += continuesLine(block) ? 1U : 0U;
        }
    }
    return count;
}

void NoteEditor::followChange(int position, int /*removed*/, int added) {
    if (m_loading || !m_mirrored) {
        return;
    }
    // Typing, deleting and pasting within one block, with no line break made or taken, leave every
    // other block (and whether it continues a line) as it was: only the changed range is read and
    // converted, and the note's length before and after gives how much of it went, whatever the
    // document counted. Anything else reads the whole text again.
    const int length = document()->characterCount();
    position = std::clamp(position, 0, length - 1);
    int addedEnd = std::clamp(position + added, position, length - 1);
    // Whole characters: a range that ends inside a surrogate pair (undo can report one) grows.
    if (position > 0 && document()->characterAt(position).isLowSurrogate()) {
        --position;
    }
    if (addedEnd < length - 1 && document()->characterAt(addedEnd).isLowSurrogate()) {
        ++addedEnd;
    }
    std::optional<std::size_t> from;
    std::optional<std::size_t> to;
    QString inserted;
    const std::size_t units = m_units + static_cast<std::size_t>(length) - static_cast<std::size_t>(m_length);
    if (document()->blockCount() == m_blocks && document()->findBlock(position).contains(addedEnd)) {
        inserted = textBetween(position, addedEnd);
        const std::size_t start = static_cast<std::size_t>(position) - softBreaksBefore(position);
        const std::size_t kept = units - static_cast<std::size_t>(inserted.size()); // of the note's units
        if (units >= static_cast<std::size_t>(inserted.size()) && start <= kept && kept <= m_units) {
            const bool afterKnown = m_knownUnits <= start;
            from = advanceUnits(m_synced, afterKnown ? m_knownBytes : 0, start - (afterKnown ? m_knownUnits : 0));
            to = from ? advanceUnits(m_synced, *from, m_units - kept) : std::nullopt;
            m_knownUnits = start; // the text before the change is as it was
        }
    }
    if (!to) {
        m_mirrored = false;
        return;
    }
    m_knownBytes = *from;
    m_units = units;
    m_length = length;
    const QByteArray utf8 = inserted.toUtf8();
    const std::string_view replaced = std::string_view(m_synced).substr(*from, *to - *from);
    if (replaced != std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))) {
        m_synced.replace(*from, *to - *from, utf8.constData(), static_cast<std::size_t>(utf8.size()));
        m_edited = true;
    }
}

void NoteEditor::reportChange() {
    if (m_loading) {
        return;
    }
    if (!m_mirrored) {
        const QString whole = text();
        const QByteArray utf8 = whole.toUtf8();
        const auto size = static_cast<std::size_t>(utf8.size());
        if (size != m_synced.size() || std::memcmp(utf8.constData(), m_synced.data(), size) != 0) {
            m_synced.assign(utf8.constData(), size);
            m_edited = true;
        }
        // From here on the note is what the document holds, position for position.
        m_mirrored = true;
        m_units = static_cast<std::size_t>(whole.size());
        m_length = document()->characterCount();
        m_blocks = document()->blockCount();
        m_knownUnits = 0;
        m_knownBytes = 0;
    }
    if (m_edited) { // not for a format-only or composition-only change
        m_edited = false;
        emit textEdited(m_synced);
    }
}

QRect NoteEditor::caretGeometry() const {
    const QTextBlock block = textCursor().block();
    const QTextLayout* layout = block.layout();
    if (m_preeditCursor >= 0 && layout != nullptr && !layout->preeditAreaText().isEmpty()) {
        const int position = layout->preeditAreaPosition() + m_preeditCursor;
        const QTextLine line = layout->lineForTextPosition(position);
        if (line.isValid()) {
            const QRectF blockRect = blockBoundingGeometry(block).translated(contentOffset());
            const double x = blockRect.left() + line.cursorToX(position);
            return {qRound(x) - kCaretRoom, qRound(blockRect.top() + line.y()), kCaretWidth, qRound(line.height())};
        }
    }
    const QRect cursor = cursorRect();
    return {cursor.x() - kCaretRoom, cursor.y(), kCaretWidth, cursor.height()};
}

void NoteEditor::showCaret() {
    m_caretOn = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0) {
        m_blink.start(flash / 2);
    }
    repaintCaret();
}

void NoteEditor::repaintCaret() {
    const QRect now = caretRect();
    viewport()->update(m_paintedCaret.united(now).adjusted(-1, -1, 1, 1));
}

void NoteEditor::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    QPainter painter(viewport());
    if (!m_placeholder.isEmpty() && placeholderVisible()) {
        // Laid out like the first line of text, so typing replaces it in place.
        QTextLayout layout(m_placeholder, font());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLeadingIncluded(true);
        line.setLineWidth(viewport()->width());
        line.setPosition(QPointF(kCaretRoom, kLineSpacing));
        layout.endLayout();
        painter.setPen(ViewColors::from(palette()).tertiary);
        layout.draw(&painter, contentOffset());
    }
    m_paintedCaret = caretRect();
    if (!m_paintedCaret.isEmpty()) {
        painter.fillRect(m_paintedCaret, m_tint);
    }
}

void NoteEditor::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    showCaret();
}

void NoteEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    m_blink.stop();
    m_caretOn = false;
    repaintCaret();
}

void NoteEditor::inputMethodEvent(QInputMethodEvent* event) {
    m_preeditCursor = event->preeditString().isEmpty() ? -1 : static_cast<int>(event->preeditString().size());
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            m_preeditCursor = attribute.length > 0 && !event->preeditString().isEmpty() ? attribute.start : -1;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
    showCaret();
}

bool NoteEditor::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText() || source->hasHtml() || QPlainTextEdit::canInsertFromMimeData(source);
}

void NoteEditor::insertFromMimeData(const QMimeData* source) {
    if (source->hasText()) {
        insertText(source->text());
    } else if (source->hasHtml()) {
        // Rich text with no plain alternative: keep its words, drop its formatting.
        insertText(QTextDocumentFragment::fromHtml(source->html()).toPlainText());
    } else {
        QPlainTextEdit::insertFromMimeData(source);
    }
}

void NoteEditor::insertText(const QString& text) {
    QList<QStringView> pieces;
    std::vector<bool> soft;
    cutIntoPieces(text, pieces, soft);
    if (std::find(soft.begin(), soft.end(), true) == soft.end()) {
        insertPlainText(text);
        return;
    }
    // A pasted long line goes in as pieces too, as one step to undo.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    m_hasSoftBreaks = true;
    insertPieces(cursor, pieces, soft);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

QMimeData* NoteEditor::createMimeDataFromSelection() const {
    // Plain text only: the note has no formatting worth carrying into another program.
    const QTextCursor cursor = textCursor();
    auto* mime = new QMimeData;
    mime->setText(textBetween(cursor.selectionStart(), cursor.selectionEnd()));
    return mime;
}

void NoteEditor::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyScrollBarStyle();
    }
}

void NoteEditor::applyScrollBarStyle() {
    // A thin handle in the faint text colour over no track, rebuilt when the palette changes.
    const QColor handle = ViewColors::from(palette()).tertiary;
    const QString rgba = QStringLiteral("rgba(%1,%2,%3,%4)")
                             .arg(handle.red())
                             .arg(handle.green())
                             .arg(handle.blue())
                             .arg(handle.alpha());
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical{background:transparent;width:%1px;margin:0;border:none}"
                       "QScrollBar::handle:vertical{background:%2;border-radius:%3px;min-height:24px}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0;border:none}"
                       "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent}")
            .arg(kScrollBarWidth)
            .arg(rgba)
            .arg(kScrollBarWidth / 2));
}

} // namespace pindle
