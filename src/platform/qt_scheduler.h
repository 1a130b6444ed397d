#pragma once

#include "notes/scheduler.h"

#include <QObject>

#include <unordered_map>

class QTimer;

namespace pindle {

// The app's Scheduler: precise single-shot QTimers on the thread that owns it (the GUI thread).
// A task never runs inside schedule(); cancel() of an unknown, finished or cancelled id is a
// no-op. Pending tasks are dropped when the scheduler is destroyed.
class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT

public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    TaskId schedule(Duration delay, std::function<void()> task) override;
    void cancel(TaskId id) override;

    std::size_t pendingCount() const { return m_timers.size(); }

private:
    TaskId m_nextId = 1;
    std::unordered_map<TaskId, QTimer*> m_timers;
};

} // namespace pindle
