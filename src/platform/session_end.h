#pragma once

#include <QObject>

#include <functional>

class QSessionManager;

namespace pindle {

// Runs `flush` at the ends of the process that do not pass through the event loop's orderly
// quit: the session manager's logout (commit data, and no restart asked for, since Pindle is
// started by the user or by autostart) and an exit() forced on the process while it runs,
// as Qt does when the X server goes away. Only one may exist at a time; destroying it disarms
// the exit hook.
class SessionEnd final : public QObject {
    Q_OBJECT

public:
    explicit SessionEnd(std::function<void()> flush, QObject* parent = nullptr);
    ~SessionEnd() override;

private:
    void commitData(QSessionManager& manager);
    void saveState(QSessionManager& manager);

    std::function<void()> m_flush;
};

} // namespace pindle
