#include "note_rail.h"

#include <algorithm>

#include <QScrollBar>

#include "button_styles.h"
#include "dot_button.h"
#include "notes/store.h"
#include "tooltips/tooltip_source.h"

namespace pindle {

namespace {

constexpr int kInset = 10;  // above the first dot and below the "plus" button
constexpr int kSpacing = 4; // between dots
constexpr int kAddGap = 2;  // extra space above the "plus" button
constexpr int kItemSide = 30;
constexpr double kPlusSize = 12;
constexpr double kPlusRadius = 15;

int itemX() {
    return (NoteRail::kWidth - kItemSide) / 2;
}

int dotY(std::size_t index) {
    return kInset + static_cast<int>(index) * (kItemSide + kSpacing);
}

} // namespace

NoteRail::NoteRail(QWidget* parent)
    : QScrollArea(parent)
    , m_content(new QWidget) {
    setObjectName(QStringLiteral("rail"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Window);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    m_content->setObjectName(QStringLiteral("railContent"));
    m_content->setAutoFillBackground(false);

    m_addButton = new HoverCircleButton(HoverCircleButton::Symbol::plus, kPlusSize, kItemSide, kPlusRadius,
                                        HoverCircleButton::HoverTint::primary,
                                        HoverCircleButton::HitArea::inscribedCircle, m_content);
    m_addButton->setObjectName(QStringLiteral("addNoteButton"));
    m_addButton->setAccessibleName(tr("New note"));
    // Tooltips are shown verbatim, like the titles they usually name.
    tooltip(m_addButton, QStringLiteral("New note"));
    connect(m_addButton, &QAbstractButton::clicked, this, &NoteRail::addRequested);
    // Scrolling moves the dots under a resting pointer; hover and tooltip go with the pointer.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { recheckPointer(this); });
    setWidget(m_content);
    m_content->setFixedSize(kWidth, contentHeight(0));
}

int NoteRail::contentHeight(std::size_t notes) {
    return dotY(notes) + kAddGap + kItemSide + kInset;
}

DotButton* NoteRail::takeOrMakeDot(std::unordered_map<std::string, DotButton*>& previous, const std::string& key) {
    if (auto found = previous.find(key); found != previous.end()) {
        DotButton* dot = found->second;
        previous.erase(found);
        return dot;
    }
    auto* dot = new DotButton(m_content);
    connect(dot, &QAbstractButton::clicked, this, [this, dot] {
        const auto position = std::find(m_dots.begin(), m_dots.end(), dot);
        if (position != m_dots.end()) {
            // Copy: selecting changes the store, which refreshes m_noteIds.
            const std::string id = m_noteIds[static_cast<std::size_t>(position - m_dots.begin())];
            emit selected(id);
        }
    });
    dot->show();
    return dot;
}

void NoteRail::refresh(const Store& store) {
    const std::vector<Note>& notes = store.notes();
    const std::optional<std::size_t> activeIndex = store.activeIndex();

    std::unordered_map<std::string, DotButton*> previous = std::move(m_dotsByKey);
    m_dotsByKey.clear();
    m_dots.clear();
    m_noteIds.clear();
    std::unordered_map<std::string, int> occurrences;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const Note& note = notes[i];
        // A hand-edited document may repeat an id; every note still gets a dot of its own.
        const int seen = occurrences[note.id]++;
        const std::string key = seen == 0 ? note.id : note.id + '\n' + std::to_string(seen);
        DotButton* dot = takeOrMakeDot(previous, key);
        dot->setNote(note, i, activeIndex == i);
        dot->setObjectName(QStringLiteral("dot-%1").arg(i));
        dot->move(itemX(), dotY(i));
        m_dotsByKey.emplace(key, dot);
        m_dots.push_back(dot);
        m_noteIds.push_back(note.id);
    }
    for (auto& [key, dot] : previous) {
        // Deleted later: the removal may happen inside a click handler of this very rail.
        dot->hide();
        dot->setObjectName(QString());
        dot->deleteLater();
    }

    m_addButton->move(itemX(), dotY(notes.size()) + kAddGap);
    m_content->setFixedSize(kWidth, contentHeight(notes.size()));

    // Keep the active dot in view when the selection moves (by a shortcut, or a note added at
    // the end of a long list).
    m_activeDot = activeIndex && *activeIndex < m_dots.size() ? m_dots[*activeIndex] : nullptr;
    if (store.activeId() != m_shownActiveId) {
        m_shownActiveId = store.activeId();
        revealActiveDot();
    }
    // Dots come, go and move ("plus" moves down a row with each note): whatever is under the
    // pointer now is the one hovered.
    recheckPointer(this);
}

void NoteRail::revealActiveDot() {
    if (m_activeDot == nullptr) {
        return;
    }
    if (m_activeDot == m_dots.back()) {
        ensureWidgetVisible(m_addButton, 0, kInset);
    }
    ensureWidgetVisible(m_activeDot, 0, kInset);
}

void NoteRail::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    // While hidden the scroll range is not up to date yet; now it is.
    revealActiveDot();
}

} // namespace pindle
