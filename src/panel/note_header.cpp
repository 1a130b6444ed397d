#include "note_header.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyleHints>

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
constexpr int kCancelPaddingX = 10;

} // namespace

NoteHeader::NoteHeader(QWidget* parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
    , m_title(new TextLine(TextLine::Tone::secondary, this))
    , m_deleteButton(new HoverCircleButton(HoverCircleButton::Symbol::xmark, kXmarkSize, kDeleteSide, kDeleteRadius,
                                           HoverCircleButton::HoverTint::red, HoverButton::HitArea::wholeBox, this))
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
    m_confirmButton->installEventFilter(this);

    // The texts take whatever the buttons leave, however long they are; hidden widgets drop out
    // of the row, so one row serves both states.
    for (TextLine* text : {m_title, m_question}) {
        text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    m_row->setContentsMargins(kLeftInset, 0, kRightInset, 0);
    m_row->setSpacing(kSpacing);
    m_row->addWidget(m_title, 1);
    m_row->addWidget(m_question, 1);
    m_row->addSpacing(kMinimumGap);
    m_row->addWidget(m_cancelButton, 0, Qt::AlignVCenter);
    m_row->addWidget(m_confirmButton, 0, Qt::AlignVCenter);
    m_row->addWidget(m_deleteButton, 0, Qt::AlignVCenter);

    connect(m_deleteButton, &QAbstractButton::clicked, this, [this] {
        m_askedAt.start();
        emit deleteRequested();
    });
    connect(m_cancelButton, &QAbstractButton::clicked, this, &NoteHeader::deleteCancelled);
    connect(m_confirmButton, &QAbstractButton::clicked, this, &NoteHeader::deleteConfirmed);

    m_question->hide();
    m_cancelButton->hide();
    m_confirmButton->hide();
    applyFonts();
}

void NoteHeader::applyFonts() {
    setLogicalFont(m_title, kTextPixels, QFont::Medium);
    setLogicalFont(m_question, kTextPixels, QFont::Normal);
    setLogicalFont(m_cancelButton, kTextPixels, QFont::Normal);
    setLogicalFont(m_confirmButton, kTextPixels, QFont::Medium);
    // The confirmation's buttons are measured when they are about to show: at start the panel
    // would otherwise load a font face just for a hidden "Cancel".
    m_confirmationSized = false;
    if (m_confirming) {
        sizeConfirmation();
    }
}

void NoteHeader::sizeConfirmation() {
    if (m_confirmationSized) {
        return;
    }
    m_confirmationSized = true;
    // Both buttons get one height, of the row's parity, so they share their top edge and every
    // label of the row (question, "Cancel", "Delete") is centred on the same line.
    int height = std::max(kCancelHeight, m_confirmButton->sizeHint().height());
    height += (kHeight - height) % 2;
    m_confirmButton->setFixedSize(m_confirmButton->sizeHint().width(), height);
    m_cancelButton->setFixedSize(
        std::max(kCancelMinimumWidth,
                 m_cancelButton->fontMetrics().horizontalAdvance(m_cancelButton->text()) + 2 * kCancelPaddingX),
        height);
    m_row->activate();
}

void NoteHeader::refresh(const QString& title, bool confirming) {
    m_title->setText(title);
    if (confirming == m_confirming) {
        return;
    }
    m_confirming = confirming;
    if (!confirming) {
        m_askedAt.invalidate();
    } else {
        sizeConfirmation();
    }
    // Switch in one step, without animation; hidden widgets keep their hover state out of it.
    m_title->setVisible(!confirming);
    m_deleteButton->setVisible(!confirming);
    m_question->setVisible(confirming);
    m_cancelButton->setVisible(confirming);
    m_confirmButton->setVisible(confirming);
    m_row->activate();
}

bool NoteHeader::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (watched == m_confirmButton && press && m_askedAt.isValid() &&
        m_askedAt.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
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

} // namespace pindle
