#include "key_commands.h"

#include <optional>

namespace pindle {

namespace {

// The characters the key produces: a letter or digit from the key code (with Ctrl held the
// event text is a control character), anything else from the text.
QString characters(const KeyInput& input) {
    if (input.key >= Qt::Key_A && input.key <= Qt::Key_Z) {
        return {QChar(u'a' + (input.key - Qt::Key_A))};
    }
    if (input.key >= Qt::Key_0 && input.key <= Qt::Key_9) {
        return {QChar(u'0' + (input.key - Qt::Key_0))};
    }
    return input.text;
}

// Whole-string decimal integer with an optional sign, within 64 bits.
std::optional<long long> parseInteger(const QString& text) {
    bool ok = false;
    const long long value = text.toLongLong(&ok, 10);
    if (!ok || text.trimmed() != text) {
        return std::nullopt;
    }
    return value;
}

} // namespace

KeyDecision decideKeyCommand(const KeyInput& input, bool confirmingDelete) {
    if (input.key == Qt::Key_Escape) {
        return {confirmingDelete ? KeyCommand::dismissConfirmation : KeyCommand::closePanel};
    }
    const QString chars = characters(input);
    if (chars.isEmpty()) {
        return {};
    }

    const Qt::KeyboardModifiers flags = input.modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                                                           Qt::MetaModifier | Qt::KeypadModifier);
    const bool ctrlOnly = !input.capsLock && flags == Qt::ControlModifier;
    const bool ctrlShiftOnly = !input.capsLock && flags == (Qt::ControlModifier | Qt::ShiftModifier);

    if (ctrlOnly) {
        if (const auto n = parseInteger(chars); n && *n >= 1 && *n <= 9) {
            return {KeyCommand::selectNote, static_cast<int>(*n - 1)};
        }
    }
    const QString key = chars.toLower();
    if (ctrlShiftOnly) {
        return {key == u"z" ? KeyCommand::redo : KeyCommand::passOn};
    }
    if (!ctrlOnly) {
        return {};
    }
    if (key == u"w") {
        return {KeyCommand::closePanel};
    }
    if (key == u"q") {
        return {KeyCommand::quit};
    }
    if (key == u"c") {
        return {KeyCommand::copy};
    }
    if (key == u"v") {
        return {KeyCommand::paste};
    }
    if (key == u"x") {
        return {KeyCommand::cut};
    }
    if (key == u"a") {
        return {KeyCommand::selectAll};
    }
    if (key == u"z") {
        return {KeyCommand::undo};
    }
    return {};
}

} // namespace pindle
