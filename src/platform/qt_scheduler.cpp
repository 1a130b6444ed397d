#include "qt_scheduler.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>

namespace pindle {

QtScheduler::QtScheduler(QObject* parent)
    : QObject(parent) {}

QtScheduler::~QtScheduler() {
    for (auto& [id, timer] : m_timers) {
        delete timer;
    }
}

Scheduler::TaskId QtScheduler::schedule(Duration delay, std::function<void()> task) {
    using namespace std::chrono;
    // Round up so a task never runs before its deadline; QTimer counts whole milliseconds.
    auto ms = ceil<milliseconds>(delay).count();
    ms = std::clamp<decltype(ms)>(ms, 0, std::numeric_limits<int>::max());

    const TaskId id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    // The store's 0.3 s save is a visible contract; a coarse timer may stretch it by 5 %.
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, task = std::move(task)]() {
        auto found = m_timers.find(id);
        if (found == m_timers.end()) {
            return;
        }
        found->second->deleteLater();
        m_timers.erase(found);
        // Nothing may escape into the event loop; a task that throws simply ends.
        try {
            task();
        } catch (...) {
        }
    });
    m_timers.emplace(id, timer);
    timer->start(static_cast<int>(ms));
    return id;
}

void QtScheduler::cancel(TaskId id) {
    auto found = m_timers.find(id);
    if (found == m_timers.end()) {
        return;
    }
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
}

} // namespace pindle
