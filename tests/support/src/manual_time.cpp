#include "pindle/testing/manual_time.h"

#include <algorithm>

namespace pindle {

ManualTime::ManualTime(std::chrono::system_clock::time_point start)
    : m_now(start) {}

Scheduler::TaskId ManualTime::schedule(Duration delay, std::function<void()> task) {
    const TaskId id = m_nextId++;
    const auto due =
        m_now + std::chrono::duration_cast<std::chrono::system_clock::duration>(std::max(delay, Duration{0}));
    m_tasks.emplace(std::make_pair(due, id), std::move(task));
    return id;
}

void ManualTime::cancel(TaskId id) {
    std::erase_if(m_tasks, [id](const auto& entry) { return entry.first.second == id; });
}

void ManualTime::advance(Duration by) {
    const auto end = m_now + std::chrono::duration_cast<std::chrono::system_clock::duration>(by);
    while (!m_tasks.empty() && m_tasks.begin()->first.first <= end) {
        auto node = m_tasks.extract(m_tasks.begin());
        m_now = std::max(m_now, node.key().first);
        node.mapped()();
    }
    m_now = std::max(m_now, end);
}

} // namespace pindle
