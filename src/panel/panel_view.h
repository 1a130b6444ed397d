#pragma once

#include <cstdint>
#include <optional>

#include <QWidget>

#include "tooltips/tooltip_layout.h"

namespace pindle {

class NoteEditor;
class NoteHeader;
class NoteRail;
class Scheduler;
class Store;
class TextLine;
struct FileStatus;
enum class StoreChange;

// The panel's whole content, 360 x 520 logical pixels: the rail of note dots on the left, a
// one-pixel divider, and the pane with the header, the editor and the footer.
//
// Observes the one Store and recomputes every part after each change of it; calls the store's
// operations in response to clicks and edits, on the GUI thread only. Owns the view state the
// parts share: the editor's keyboard focus (taken when the view is shown, whenever the store's
// focusToken changes, and after every click except the request to delete) and the header's hover
// flag. All colours come from the widget palette, so the panel follows light and dark themes while
// it is open. The store and the scheduler must outlive the view.
class PanelView : public QWidget {
    Q_OBJECT
public:
    PanelView(Store& store, Scheduler& scheduler, std::optional<TooltipTarget> pinnedTooltip = std::nullopt,
              QWidget* parent = nullptr);
    ~PanelView() override;
    PanelView(const PanelView&) = delete;
    PanelView& operator=(const PanelView&) = delete;

    // The content's fixed size, 360 x 520.
    static QSize size();

    // Lays `overlay` over the whole content, above everything, transparent to the pointer; the view
    // takes ownership. The tooltip overlay goes here.
    void setOverlay(QWidget* overlay);

    // What the footer shows in place of the counts while saves fail with `status`.
    static QString notSavedText(const FileStatus& status);

    // Moves keyboard focus into the editor (into the window's focus chain when the window is not
    // active yet, so the editor has it once the window is).
    void focusEditor();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void storeChanged(StoreChange change);
    void refresh();
    void applyFonts();

    Store& m_store;
    Scheduler& m_scheduler;
    std::optional<TooltipTarget> m_pinnedTooltip;
    std::uint64_t m_observer = 0;
    std::int64_t m_focusToken = 0;

    NoteRail* m_rail;
    QWidget* m_divider;
    QWidget* m_pane;
    NoteHeader* m_header;
    NoteEditor* m_editor;
    QWidget* m_footer;
    TextLine* m_countLabel;
    QWidget* m_overlay = nullptr;
};

} // namespace pindle
