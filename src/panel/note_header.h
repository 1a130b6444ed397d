#pragma once

#include <functional>

#include <QWidget>

class QPushButton;

namespace pindle {

class DestructiveButton;
class HoverCircleButton;
class TextLine;

// The pane's top row. Normally the active note's title and a faint "xmark" button that asks to
// delete the note (fully opaque while the pointer is anywhere over the row); while a delete is
// being confirmed, "Delete this note?" with "Cancel" and "Delete". Holds no state of its own
// besides the hover flag; the confirmation state comes from the store through refresh().
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

    std::function<void()> onAskDelete;
    std::function<void()> onCancel;
    std::function<void()> onConfirm;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setHovering(bool hovering);
    void layoutRow();

    TextLine* m_title;
    HoverCircleButton* m_deleteButton;
    TextLine* m_question;
    QPushButton* m_cancelButton;
    DestructiveButton* m_confirmButton;
    bool m_confirming = false;
    bool m_hovering = false;
};

} // namespace pindle
