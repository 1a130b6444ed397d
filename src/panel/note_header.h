#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QHBoxLayout;
class QPushButton;

namespace pindle {

class DestructiveButton;
class HoverCircleButton;
class TextLine;

// The pane's top row. Normally the active note's title and a faint "xmark" button that asks to
// delete the note (fully opaque while the pointer is anywhere over the row); while a delete is
// being confirmed, "Delete this note?" with "Cancel" and "Delete". Holds no state of its own
// besides the hover flag; the confirmation state comes from the store through refresh().
//
// "Delete" appears where the pointer just clicked "xmark": a press on it within the desktop's
// double-click interval of that click is the second half of a double-click, not an answer, and is
// ignored.
class NoteHeader : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 34;

    explicit NoteHeader(QWidget* parent = nullptr);

    void refresh(const QString& title, bool confirming);
    // Sets the fonts of the row's texts for the current screen.
    void applyFonts();

    bool hovering() const { return m_hovering; }
    bool confirming() const { return m_confirming; }

signals:
    void deleteRequested();
    void deleteCancelled();
    void deleteConfirmed();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHovering(bool hovering);
    // Fixes the sizes of the confirmation's buttons for their fonts, once per font change.
    void sizeConfirmation();

    QHBoxLayout* m_row;
    TextLine* m_title;
    HoverCircleButton* m_deleteButton;
    TextLine* m_question;
    QPushButton* m_cancelButton;
    DestructiveButton* m_confirmButton;
    QElapsedTimer m_askedAt; // since the "xmark" click that opened the confirmation
    bool m_confirming = false;
    bool m_confirmationSized = false;
    bool m_hovering = false;
};

} // namespace pindle
