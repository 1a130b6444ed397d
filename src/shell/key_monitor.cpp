#include "key_monitor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace pindle {

namespace {

// The X11 core state bit of Caps Lock (LockMask); Qt keeps it out of its modifiers.
constexpr quint32 kX11LockMask = 0x2;

KeyInput inputOf(const QKeyEvent& event) {
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    KeyInput input;
    input.key = event.key();
    input.modifiers = event.modifiers();
    input.text = event.text();
    input.capsLock = x11 && (event.nativeModifiers() & kX11LockMask) != 0;
    return input;
}

template <typename Editor> bool performOnTextEditor(KeyCommand command, Editor* editor) {
    const bool writable = !editor->isReadOnly();
    const bool selection = editor->textCursor().hasSelection();
    switch (command) {
    case KeyCommand::copy:
        if (!selection) {
            return false;
        }
        editor->copy();
        return true;
    case KeyCommand::cut:
        if (!selection || !writable) {
            return false;
        }
        editor->cut();
        return true;
    case KeyCommand::paste:
        if (!writable || !editor->canPaste()) {
            return false;
        }
        editor->paste();
        return true;
    case KeyCommand::selectAll:
        editor->selectAll();
        return true;
    case KeyCommand::undo:
        if (!writable || !editor->document()->isUndoAvailable()) {
            return false;
        }
        editor->undo();
        return true;
    case KeyCommand::redo:
        if (!writable || !editor->document()->isRedoAvailable()) {
            return false;
        }
        editor->redo();
        return true;
    default:
        return false;
    }
}

bool performOnLineEdit(KeyCommand command, QLineEdit* edit) {
    const bool writable = !edit->isReadOnly();
    switch (command) {
    case KeyCommand::copy:
        if (!edit->hasSelectedText() || edit->echoMode() != QLineEdit::Normal) {
            return false;
        }
        edit->copy();
        return true;
    case KeyCommand::cut:
        if (!edit->hasSelectedText() || !writable || edit->echoMode() != QLineEdit::Normal) {
            return false;
        }
        edit->cut();
        return true;
    case KeyCommand::paste:
        if (!writable) {
            return false;
        }
        edit->paste();
        return true;
    case KeyCommand::selectAll:
        edit->selectAll();
        return true;
    case KeyCommand::undo:
        if (!writable || !edit->isUndoAvailable()) {
            return false;
        }
        edit->undo();
        return true;
    case KeyCommand::redo:
        if (!writable || !edit->isRedoAvailable()) {
            return false;
        }
        edit->redo();
        return true;
    default:
        return false;
    }
}

} // namespace

KeyMonitor::KeyMonitor(std::function<KeyDecision(const KeyInput&)> decide,
                       std::function<bool(const KeyDecision&)> perform, QObject* parent)
    : QObject(parent)
    , m_decide(std::move(decide))
    , m_perform(std::move(perform)) {
    qApp->installEventFilter(this);
}

KeyMonitor::~KeyMonitor() {
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

bool KeyMonitor::eventFilter(QObject* watched, QEvent* event) {
    // An open popup menu (the editor's, the tray's) handles its own keys: Escape closes the menu,
    // not the panel.
    if (QApplication::activePopupWidget() != nullptr) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming the key here makes it arrive as a key press instead of firing a shortcut.
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_decide(inputOf(*key)).command != KeyCommand::passOn) {
            key->accept();
            return true;
        }
        return false;
    }
    // A key press reaches the window first and then each widget it propagates through; only the
    // window's delivery is looked at, so each press is decided once.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType()) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const KeyDecision decision = m_decide(inputOf(*key));
    if (decision.command == KeyCommand::passOn) {
        return false;
    }
    return m_perform(decision);
}

bool performEditingCommand(KeyCommand command, QWidget* focus) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        return performOnTextEditor(command, plain);
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        return performOnLineEdit(command, line);
    }
    return false;
}

} // namespace pindle
