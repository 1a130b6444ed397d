#pragma once

#include <cstddef>
#include <string>

#include <QColor>

#include "hover_button.h"

namespace pindle {

struct Note;

// One note's dot in the rail: a 30 x 30 box, clickable inside its inscribed circle, showing a
// 15-pixel dot in the note's colour (a ring when the note is blank) and, for the active note, a
// soft halo. Inactive dots are drawn faint and brighten under the pointer. The widget belongs to
// its note's id, so the hover state stays with the note when others are added or removed.
class DotButton : public HoverButton {
    Q_OBJECT
public:
    static constexpr int kSide = 30;

    explicit DotButton(QWidget* parent = nullptr);

    // Takes the note at position `index` (0-based) of the list; repaints and updates the tooltip
    // and accessible name only when something visible changed.
    void setNote(const Note& note, std::size_t index, bool active);

    QColor color() const { return m_color; }
    bool isBlank() const { return m_blank; }
    // The opacity the dot is drawn at: 1.0 active, else 0.85 hovered, else 0.6.
    double dotOpacity() const;

    // "Empty note 3" or the note's first line.
    static QString tooltipText(const QString& firstLine, std::size_t index);
    // "Note 3 (empty)" or "Note 2: Groceries".
    static QString accessibleText(const QString& firstLine, std::size_t index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    bool m_active = false;
    bool m_blank = true;
    QString m_tooltip;
};

// The note's title for display: at most `maxBytes` of its first line, cut at a UTF-8 character
// boundary, as a QString. A first line can be a whole pasted megabyte; the views show a few dozen
// characters of it, so the rest is neither looked for nor converted.
QString displayTitle(const Note& note, std::size_t maxBytes = 1024);

} // namespace pindle
