#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <QScrollArea>

namespace pindle {

class DotButton;
class HoverCircleButton;
class Store;

// The left column: one dot per note in list order, then the "plus" button that adds a note. The
// column scrolls (without visible scroll bars) once the dots no longer fit. Dots are kept per
// note id across refreshes, so their hover state belongs to the note, not to the position.
class NoteRail : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kWidth = 46;

    explicit NoteRail(QWidget* parent = nullptr);

    // Recomputes the dots from the store's notes and active note.
    void refresh(const Store& store);

    const std::vector<DotButton*>& dots() const { return m_dots; }
    HoverCircleButton* addButton() const { return m_addButton; }

    // Height of the scrolled content for `notes` dots: 34 per dot plus 52 for the insets and the
    // "plus" button.
    static int contentHeight(std::size_t notes);

signals:
    // A dot was clicked: its note's id.
    void selected(const std::string& id);
    // "plus" was clicked.
    void addRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void revealActiveDot();
    DotButton* takeOrMakeDot(std::unordered_map<std::string, DotButton*>& previous, const std::string& key);

    QWidget* m_content;
    HoverCircleButton* m_addButton;
    std::vector<DotButton*> m_dots;
    std::unordered_map<std::string, DotButton*> m_dotsByKey;
    std::vector<std::string> m_noteIds; // per dot, the id its click selects
    std::string m_shownActiveId;
    DotButton* m_activeDot = nullptr;
};

} // namespace pindle
