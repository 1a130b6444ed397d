#include "shell/key_commands.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

struct Row {
    const char* name;
    KeyInput input;
    bool confirming;
    KeyDecision expected;
};

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Alt = Qt::AltModifier;
constexpr auto Meta = Qt::MetaModifier;
constexpr auto Keypad = Qt::KeypadModifier;

KeyInput key(int code, Qt::KeyboardModifiers modifiers = {}, QString text = {}, bool capsLock = false) {
    return KeyInput{code, modifiers, std::move(text), capsLock};
}

const KeyDecision pass{KeyCommand::passOn};

// The whole command table, one row per rule and per way around it.
const Row kRows[] = {
    {"Escape closes", key(Qt::Key_Escape), false, {KeyCommand::closePanel}},
    {"Escape dismisses the confirmation first", key(Qt::Key_Escape), true, {KeyCommand::dismissConfirmation}},
    {"Shift-Escape is Escape", key(Qt::Key_Escape, Shift), false, {KeyCommand::closePanel}},
    {"Escape with Caps Lock still closes", key(Qt::Key_Escape, {}, {}, true), false, {KeyCommand::closePanel}},

    {"Ctrl+1 selects the first note", key(Qt::Key_1, Ctrl, "\x01"), false, {KeyCommand::selectNote, 0}},
    {"Ctrl+9 selects the ninth", key(Qt::Key_9, Ctrl), false, {KeyCommand::selectNote, 8}},
    {"Ctrl+0 passes on", key(Qt::Key_0, Ctrl), false, pass},
    {"Ctrl+Shift+1 passes on", key(Qt::Key_Exclam, Ctrl | Shift, "!"), false, pass},
    {"Ctrl with a keypad digit passes on", key(Qt::Key_3, Ctrl | Keypad, "3"), false, pass},
    {"Ctrl+1 with Caps Lock passes on", key(Qt::Key_1, Ctrl, {}, true), false, pass},
    // AZERTY: the key in the place of 1 types "&".
    {"a digit-row key that types & passes on", key(Qt::Key_Ampersand, Ctrl, "&"), false, pass},
    {"plain 2 is typing", key(Qt::Key_2, {}, "2"), false, pass},

    {"Ctrl+W closes", key(Qt::Key_W, Ctrl, "\x17"), false, {KeyCommand::closePanel}},
    {"Ctrl+W while confirming closes as well", key(Qt::Key_W, Ctrl), true, {KeyCommand::closePanel}},
    {"Ctrl+Alt+W passes on", key(Qt::Key_W, Ctrl | Alt), false, pass},
    {"Meta+W passes on", key(Qt::Key_W, Meta), false, pass},
    {"Ctrl+W with Caps Lock passes on", key(Qt::Key_W, Ctrl, {}, true), false, pass},
    {"Ctrl+Q quits", key(Qt::Key_Q, Ctrl), false, {KeyCommand::quit}},
    {"Ctrl+Shift+Q passes on", key(Qt::Key_Q, Ctrl | Shift), false, pass},

    {"Ctrl+C copies", key(Qt::Key_C, Ctrl), false, {KeyCommand::copy}},
    {"Ctrl+V pastes", key(Qt::Key_V, Ctrl), false, {KeyCommand::paste}},
    {"Ctrl+X cuts", key(Qt::Key_X, Ctrl), false, {KeyCommand::cut}},
    {"Ctrl+A selects all", key(Qt::Key_A, Ctrl), false, {KeyCommand::selectAll}},
    {"Ctrl+Z undoes", key(Qt::Key_Z, Ctrl), false, {KeyCommand::undo}},
    {"Ctrl+Shift+Z redoes", key(Qt::Key_Z, Ctrl | Shift, "Z"), false, {KeyCommand::redo}},
    {"Ctrl+Shift+Z with Caps Lock passes on", key(Qt::Key_Z, Ctrl | Shift, "Z", true), false, pass},
    {"Ctrl+Shift+C passes on", key(Qt::Key_C, Ctrl | Shift), false, pass},
    {"Ctrl+Alt+Shift+Z passes on", key(Qt::Key_Z, Ctrl | Alt | Shift), false, pass},

    {"typing a letter", key(Qt::Key_W, {}, "w"), false, pass},
    {"Return", key(Qt::Key_Return, {}, "\r"), false, pass},
    {"an arrow", key(Qt::Key_Left), false, pass},
    {"Ctrl+Left (word jump)", key(Qt::Key_Left, Ctrl), false, pass},
};

TEST(KeyCommands, FollowTheCommandTable) {
    for (const Row& row : kRows) {
        const KeyDecision decision = decideKeyCommand(row.input, row.confirming);
        EXPECT_TRUE(decision == row.expected)
            << row.name << ": command " << int(decision.command) << ", note " << decision.noteIndex;
    }
}

} // namespace
} // namespace pindle
