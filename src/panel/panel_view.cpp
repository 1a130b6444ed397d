#include "panel_view.h"

#include <QEvent>
#include <QPainter>

#include <cerrno>

#include "dot_button.h"
#include "note_editor.h"
#include "note_header.h"
#include "note_rail.h"
#include "notes/palette.h"
#include "notes/store.h"
#include "notes/text.h"
#include "platform/view/appearance.h"
#include "platform/view/view_colors.h"
#include "text_line.h"
#include "tooltips/tooltip_overlay.h"

namespace pindle {

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 520;
constexpr int kPaneX = NoteRail::kWidth + 1;
constexpr int kPaneWidth = kWidth - kPaneX;
constexpr int kFooterHeight = 24;
constexpr int kEditorHeight = kHeight - NoteHeader::kHeight - kFooterHeight;
// The editor's insets inside its box: left, right, bottom (none at the top).
constexpr int kEditorInsetX = 10;
constexpr int kEditorInsetBottom = 8;
constexpr int kFooterInsetX = 14;
constexpr double kEditorFontPixels = 13.5;
constexpr double kFooterFontPixels = 10.5;

// The one-pixel line between the rail and the pane.
class Divider final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), ViewColors::from(palette()).separator);
    }
};

} // namespace

PanelView::PanelView(Store& store, Scheduler& scheduler, std::optional<TooltipTarget> pinnedTooltip, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_scheduler(scheduler)
    , m_pinnedTooltip(std::move(pinnedTooltip))
    , m_focusToken(store.focusToken())
    , m_rail(new NoteRail(this))
    , m_divider(new Divider(this))
    , m_pane(new QWidget(this))
    , m_header(new NoteHeader(m_pane))
    , m_editor(new NoteEditor(m_pane))
    , m_footer(new QWidget(m_pane))
    , m_countLabel(new TextLine(TextLine::Tone::tertiary, m_footer)) {
    setObjectName(QStringLiteral("panelView"));
    setFixedSize(size());

    m_rail->setGeometry(0, 0, NoteRail::kWidth, kHeight);
    m_divider->setObjectName(QStringLiteral("divider"));
    m_divider->setGeometry(NoteRail::kWidth, 0, 1, kHeight);
    m_pane->setObjectName(QStringLiteral("pane"));
    m_pane->setGeometry(kPaneX, 0, kPaneWidth, kHeight);
    m_pane->setBackgroundRole(QPalette::Base);
    m_pane->setAutoFillBackground(true);
    m_header->setGeometry(0, 0, kPaneWidth, NoteHeader::kHeight);
    m_editor->setGeometry(kEditorInsetX, NoteHeader::kHeight, kPaneWidth - 2 * kEditorInsetX,
                          kEditorHeight - kEditorInsetBottom);
    m_editor->setPlaceholder(tr("Jot something down\u2026"));
    m_footer->setObjectName(QStringLiteral("footer"));
    m_footer->setGeometry(0, kHeight - kFooterHeight, kPaneWidth, kFooterHeight);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_countLabel->setGeometry(kFooterInsetX, 0, kPaneWidth - 2 * kFooterInsetX, kFooterHeight);
    setFocusProxy(m_editor);

    connect(m_rail, &NoteRail::selected, this, [this](const std::string& id) {
        m_store.select(std::string_view(id));
        focusEditor();
    });
    connect(m_rail, &NoteRail::addRequested, this, [this] {
        m_store.addNote();
        focusEditor();
    });
    connect(m_header, &NoteHeader::deleteRequested, this, [this] { m_store.setConfirmingDelete(true); });
    connect(m_header, &NoteHeader::deleteCancelled, this, [this] {
        m_store.setConfirmingDelete(false);
        focusEditor();
    });
    connect(m_header, &NoteHeader::deleteConfirmed, this, [this] {
        m_store.deleteActiveNote();
        focusEditor();
    });
    connect(m_editor, &NoteEditor::textEdited, this,
            [this](const std::string& text) { m_store.updateActiveText(text); });

    applyFonts();
    refresh();
    m_observer = m_store.observe([this](StoreChange change) { storeChanged(change); });
    // Last, so that it starts above everything; it keeps itself above children added later.
    setOverlay(new TooltipOverlay(m_scheduler, m_pinnedTooltip, this));
}

PanelView::~PanelView() {
    m_store.unobserve(m_observer);
}

QSize PanelView::size() {
    return {kWidth, kHeight};
}

void PanelView::setOverlay(QWidget* overlay) {
    delete m_overlay;
    m_overlay = overlay;
    if (overlay != nullptr) {
        overlay->setParent(this);
        overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
        overlay->setGeometry(0, 0, kWidth, kHeight);
        overlay->raise();
        overlay->show();
    }
}

void PanelView::focusEditor() {
    m_editor->setFocus(Qt::OtherFocusReason);
}

void PanelView::storeChanged(StoreChange change) {
    if (change == StoreChange::focusToken) {
        // Only a change of the token asks for focus; the same value again asks for nothing.
        if (m_store.focusToken() != m_focusToken) {
            m_focusToken = m_store.focusToken();
            focusEditor();
        }
        return;
    }
    refresh();
}

void PanelView::refresh() {
    const Note* note = m_store.activeNote();
    static const std::string kEmpty;
    const std::string& text = note != nullptr ? note->text : kEmpty;

    m_rail->refresh(m_store);

    const QString firstLine = note != nullptr ? displayTitle(*note) : QString();
    m_header->refresh(firstLine.isEmpty() ? QStringLiteral("New note") : firstLine, m_store.confirmingDelete());

    m_editor->showNote(note != nullptr ? note->id : kEmpty, text);
    m_editor->setTint(colorFromHex(note != nullptr ? std::string_view(note->color) : Palette::colors[0]));

    // While saves fail the footer says so in place of the counts: what is typed then is not safe.
    const FileStatus& saved = m_store.lastWriteStatus();
    m_countLabel->setTone(saved.ok() ? TextLine::Tone::tertiary : TextLine::Tone::alert);
    m_countLabel->setText(saved.ok() ? QString::fromStdString(text::countLabel(text)) : notSavedText(saved));
}

QString PanelView::notSavedText(const FileStatus& status) {
    switch (status.error) {
    case ENOSPC:
    case EDQUOT:
        return tr("Not saved — disk full");
    case EROFS:
    case EACCES:
    case EPERM:
        return tr("Not saved — folder is read-only");
    case EFBIG:
        return tr("Not saved — the notes are too large");
    default:
        return tr("Not saved — the notes file cannot be written");
    }
}

void PanelView::applyFonts() {
    m_header->applyFonts();
    setLogicalFont(m_editor, kEditorFontPixels);
    setLogicalFont(m_countLabel, kFooterFontPixels);
}

void PanelView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    applyFonts(); // the screen, and with it the dpi, may differ from the last showing
    focusEditor();
}

void PanelView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
        applyFonts();
        break;
    case QEvent::PaletteChange:
    case QEvent::ThemeChange:
    case QEvent::StyleChange:
        // Everything paints from the palette at paint time; a repaint picks up the new theme.
        for (QWidget* child : findChildren<QWidget*>()) {
            child->update();
        }
        update();
        break;
    default:
        break;
    }
}

} // namespace pindle
