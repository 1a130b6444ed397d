#pragma once

#include "notes/scheduler.h"

#include <algorithm>
#include <map>
#include <utility>

namespace pindle {

// A scheduler and a wall clock that only move when told to, for tests and benchmarks.
class ManualTime final : public Scheduler, public Clock {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    explicit ManualTime(TimePoint start = TimePoint{std::chrono::milliseconds{1'700'000'000'000}})
        : m_now(start) {}

    TaskId schedule(Duration delay, std::function<void()> task) override {
        m_tasks.emplace(std::make_pair(m_now + ticks(std::max(delay, Duration{0})), m_nextId), std::move(task));
        return m_nextId++;
    }
    void cancel(TaskId id) override {
        std::erase_if(m_tasks, [id](const auto& entry) { return entry.first.second == id; });
    }
    TimePoint now() const override { return m_now; }

    // Moves time forward by `by`, running in deadline order every task that falls due on the way
    // (also those the running tasks schedule within the window), each at its own deadline.
    void advance(Duration by) {
        const TimePoint end = m_now + ticks(by);
        while (!m_tasks.empty() && m_tasks.begin()->first.first <= end) {
            auto node = m_tasks.extract(m_tasks.begin());
            m_now = std::max(m_now, node.key().first);
            node.mapped()();
        }
        m_now = std::max(m_now, end);
    }
    // Sets the wall clock without running anything (a clock jump).
    void setNow(TimePoint t) { m_now = t; }
    std::size_t pendingCount() const { return m_tasks.size(); }

private:
    static std::chrono::system_clock::duration ticks(Duration d) {
        return std::chrono::duration_cast<std::chrono::system_clock::duration>(d);
    }

    TimePoint m_now;
    TaskId m_nextId = 1;
    // Keyed by (deadline, id): deadline order, ties in order of scheduling.
    std::map<std::pair<TimePoint, TaskId>, std::function<void()>> m_tasks;
};

} // namespace pindle
