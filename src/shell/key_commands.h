#pragma once

#include <Qt>
#include <QString>

namespace pindle {

enum class KeyCommand {
    passOn,
    dismissConfirmation,
    closePanel,
    selectNote,
    quit,
    copy,
    paste,
    cut,
    selectAll,
    undo,
    redo,
};

// A key press as the panel's key commands see it. `text` is what the key types with Shift
// alone, used when `key` names no letter or digit. Caps Lock is not a Qt modifier, so it comes
// separately.
struct KeyInput {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool capsLock = false;
};

struct KeyDecision {
    KeyCommand command = KeyCommand::passOn;
    // For selectNote: the note's position, 0 to 8.
    int noteIndex = -1;

    friend bool operator==(const KeyDecision&, const KeyDecision&) = default;
};

// What a key press does while the panel is shown:
//   Escape, any modifiers        dismisses the delete confirmation, or else closes the panel
//   Ctrl+1 .. Ctrl+9             selects note 1 to 9 (a digit of the main keyboard, Ctrl alone)
//   Ctrl+W / Ctrl+Q              closes the panel / quits
//   Ctrl+C, V, X, A, Z           copy, paste, cut, select all, undo
//   Ctrl+Shift+Z                 redo
//   anything else                passes on (typing reaches the editor)
// "Ctrl alone" means no Shift, Alt, Meta or keypad flag and Caps Lock off. Letters and digits
// are matched by what the key produces, so a layout whose digit row types other characters
// selects no note.
KeyDecision decideKeyCommand(const KeyInput& input, bool confirmingDelete);

} // namespace pindle
