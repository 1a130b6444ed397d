#include "note_header.h"

#include <QPushButton>

#include "button_styles.h"
#include "platform/view/appearance.h"
#include "text_line.h"
#include "tooltips/tooltip_source.h"

namespace pindle {

namespace {

constexpr int kLeftInset = 14;
constexpr int kRightInset = 8;
constexpr int kSpacing = 6;
constexpr int kMinimumGap = 4; // the flexible space between the text and the buttons
constexpr int kDeleteSide = 22;
constexpr double kXmarkSize = 10;
constexpr double kDeleteRadius = 5;
constexpr double kIdleDeleteOpacity = 0.45;
constexpr double kTextPixels = 11;
constexpr int kCancelMinimumWidth = 52;
constexpr int kCancelHeight = 20;

} // namespace

NoteHeader::NoteHeader(QWidget* parent)
    : QWidget(parent)
    , m_title(new TextLine(TextLine::Tone::secondary, this))
    , m_deleteButton(new HoverCircleButton(HoverCircleButton::Symbol::xmark, kXmarkSize, kDeleteSide, kDeleteRadius,
                                           HoverCircleButton::HoverTint::red, HoverCircleButton::HitArea::wholeBox,
                                           this))
    , m_question(new TextLine(TextLine::Tone::primary, this))
    , m_cancelButton(new QPushButton(tr("Cancel"), this))
    , m_confirmButton(new DestructiveButton(tr("Delete"), this)) {
    setObjectName(QStringLiteral("header"));
    m_title->setObjectName(QStringLiteral("title"));
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_deleteButton->setAccessibleName(tr("Delete note"));
    m_deleteButton->setOpacity(kIdleDeleteOpacity);
    tooltip(m_deleteButton, QStringLiteral("Delete note"));
    m_question->setObjectName(QStringLiteral("confirmQuestion"));
    m_question->setText(tr("Delete this note?"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    m_cancelButton->setAutoDefault(false);
    m_confirmButton->setObjectName(QStringLiteral("confirmDeleteButton"));

    connect(m_deleteButton, &QAbstractButton::clicked, this, [this] {
        if (onAskDelete) {
            onAskDelete();
        }
    });
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] {
        if (onCancel) {
            onCancel();
        }
    });
    connect(m_confirmButton, &QAbstractButton::clicked, this, [this] {
        if (onConfirm) {
            onConfirm();
        }
    });

    m_question->hide();
    m_cancelButton->hide();
    m_confirmButton->hide();
    applyFonts();
}

void NoteHeader::applyFonts() {
    m_title->setFont(logicalFont(this, kTextPixels, QFont::Medium));
    m_question->setFont(logicalFont(this, kTextPixels, QFont::Normal));
    m_cancelButton->setFont(logicalFont(this, kTextPixels, QFont::Normal));
    m_confirmButton->setFont(logicalFont(this, kTextPixels, QFont::Medium));
    layoutRow();
}

void NoteHeader::refresh(const QString& title, bool confirming) {
    m_title->setText(title);
    if (confirming != m_confirming) {
        m_confirming = confirming;
        // Switch in one step, without animation; hidden widgets keep their hover state out of it.
        m_title->setVisible(!confirming);
        m_deleteButton->setVisible(!confirming);
        m_question->setVisible(confirming);
        m_cancelButton->setVisible(confirming);
        m_confirmButton->setVisible(confirming);
    }
    layoutRow();
}

void NoteHeader::layoutRow() {
    const int right = width() - kRightInset;
    if (!m_confirming) {
        const int buttonX = right - kDeleteSide;
        m_deleteButton->move(buttonX, (kHeight - kDeleteSide) / 2);
        const int titleRight = buttonX - kSpacing - kMinimumGap - kSpacing;
        m_title->setGeometry(kLeftInset, 0, std::max(0, titleRight - kLeftInset), kHeight);
        return;
    }
    const QSize confirmSize = m_confirmButton->sizeHint();
    const int confirmX = right - confirmSize.width();
    m_confirmButton->setGeometry(confirmX, (kHeight - confirmSize.height()) / 2, confirmSize.width(),
                                 confirmSize.height());
    const int cancelWidth =
        std::max(kCancelMinimumWidth, m_cancelButton->fontMetrics().horizontalAdvance(m_cancelButton->text()) + 2 * 10);
    const int cancelX = confirmX - kSpacing - cancelWidth;
    m_cancelButton->setGeometry(cancelX, (kHeight - kCancelHeight) / 2, cancelWidth, kCancelHeight);
    const int questionRight = cancelX - kSpacing - kMinimumGap - kSpacing;
    m_question->setGeometry(kLeftInset, 0, std::max(0, questionRight - kLeftInset), kHeight);
}

void NoteHeader::setHovering(bool hovering) {
    m_hovering = hovering;
    m_deleteButton->setOpacity(hovering ? 1.0 : kIdleDeleteOpacity);
}

void NoteHeader::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QWidget::enterEvent(event);
}

void NoteHeader::leaveEvent(QEvent* event) {
    setHovering(false);
    QWidget::leaveEvent(event);
}

void NoteHeader::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutRow();
}

} // namespace pindle
