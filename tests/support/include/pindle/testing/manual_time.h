#pragma once

#include "notes/scheduler.h"

#include <map>
#include <utility>

namespace pindle {

// A scheduler and a wall clock that only move when told to, for tests and benchmarks:
// advance(0.3s) runs, in deadline order, exactly the tasks that fall due within that time, each
// with the clock set to its own deadline.
class ManualTime final : public Scheduler, public Clock {
public:
    explicit ManualTime(std::chrono::system_clock::time_point start = std::chrono::system_clock::time_point{
                            std::chrono::milliseconds{1'700'000'000'000}});

    TaskId schedule(Duration delay, std::function<void()> task) override;
    void cancel(TaskId id) override;
    std::chrono::system_clock::time_point now() const override { return m_now; }

    // Moves time forward by `by`, running every task that falls due on the way (also those that
    // the running tasks schedule within the window).
    void advance(Duration by);
    // Sets the wall clock without running anything (a clock jump).
    void setNow(std::chrono::system_clock::time_point t) { m_now = t; }

    std::size_t pendingCount() const { return m_tasks.size(); }

private:
    std::chrono::system_clock::time_point m_now;
    TaskId m_nextId = 1;
    // Keyed by (deadline, id): deadline order, ties in order of scheduling.
    std::map<std::pair<std::chrono::system_clock::time_point, TaskId>, std::function<void()>> m_tasks;
};

} // namespace pindle
