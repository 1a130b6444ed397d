#pragma once

#include "key_commands.h"

#include <QObject>

#include <functional>

class QWidget;

namespace pindle {

// Sees every key press of the application before normal dispatch, for as long as it exists
// (the panel installs one when it opens and destroys it when it closes). `decide` turns a press
// into a command; `perform` carries it out and says whether the press is swallowed. Presses that
// `decide` claims also keep application shortcuts from firing on them, so no command runs twice.
class KeyMonitor final : public QObject {
    Q_OBJECT

public:
    KeyMonitor(std::function<KeyDecision(const KeyInput&)> decide, std::function<bool(const KeyDecision&)> perform,
               QObject* parent = nullptr);
    ~KeyMonitor() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<KeyDecision(const KeyInput&)> m_decide;
    std::function<bool(const KeyDecision&)> m_perform;
};

// Carries out an editing command on `focus` (normally the note editor) the way its own key would.
// True when the widget performed it: a text editor for which the command applies now (a
// selection to copy or cut, something to undo or redo or paste, writable for changes).
bool performEditingCommand(KeyCommand command, QWidget* focus);

} // namespace pindle
