#pragma once

#include <string>

#include <QColor>
#include <QPlainTextEdit>
#include <QTimer>

namespace pindle {

// The plain-text editor bound to the active note.
//
// showNote() loads a note only when the note changed or its text differs from what the editor
// last loaded or sent; refreshing the panel while the user types therefore never touches the
// document, so the caret, the undo history and an input method's composition all survive. Loading
// another note replaces the document and clears undo, so undo never carries text across notes;
// new text for the note on show (another machine's words) replaces only the part that changed,
// keeping the caret among the same letters and the undo history. Every change
// the user makes (typing, deleting, pasting, undo, input method commits) is reported through
// textEdited() with the whole text; loading is never reported back.
//
// Text goes in and out as plain text only: rich text pasted or dropped arrives as its plain text,
// and copies carry plain text alone. The caret is drawn in the note's colour; the placeholder
// shows while the document is exactly empty and takes no clicks.
class NoteEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit NoteEditor(QWidget* parent = nullptr);

    // `id` empty means no active note: the editor shows the empty text.
    void showNote(const std::string& id, const std::string& text);
    void setTint(const QColor& tint);
    const QColor& tint() const { return m_tint; }
    void setPlaceholder(const QString& text);

    // The whole text as the store holds it: lines joined by "\n", every other character as typed
    // (no-break spaces and line separators are kept, unlike toPlainText()). A very long line is
    // shown in pieces joined by soft breaks (see note_editor.cpp), which are not part of it.
    QString text() const;
    bool placeholderVisible() const;
    // Where the caret is drawn, in viewport coordinates; empty while hidden (no focus, or the
    // blink's off phase).
    QRect caretRect() const;

signals:
    void textEdited(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void changeEvent(QEvent* event) override;

private:
    void applyScrollBarStyle();
    // The note's text between two document positions, soft breaks left out.
    QString textBetween(int from, int to) const;
    void insertText(const QString& text);
    void replaceChangedPart(const QString& now, int caret);
    std::size_t softBreaksBefore(int position) const;
    // Applies one change of the document to m_synced where it can (see note_editor.cpp), or leaves
    // the whole text to be read again.
    void followChange(int position, int removed, int added);
    void reportChange();
    QRect caretGeometry() const;
    void showCaret();
    void repaintCaret();

    std::string m_noteId;
    std::string m_synced; // the text last loaded or reported, byte for byte
    // Whether m_synced is the document's text position for position (see followChange), its
    // length in UTF-16 code units, the document's length and blocks then, and one place in both
    // that the last change left as it was.
    bool m_mirrored = false;
    std::size_t m_units = 0;
    int m_length = 0;
    int m_blocks = 0;
    std::size_t m_knownUnits = 0;
    std::size_t m_knownBytes = 0;
    bool m_edited = false; // m_synced changed since it was last reported
    bool m_loading = false;
    bool m_hasSoftBreaks = false;
    QColor m_tint;
    QString m_placeholder;
    QTimer m_blink;
    bool m_caretOn = false;
    int m_preeditCursor = -1; // caret position inside an input method's composition, -1 for none
    QRect m_paintedCaret;
};

} // namespace pindle
