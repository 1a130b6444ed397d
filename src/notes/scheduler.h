#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace pindle {

// One-shot, cancellable timers on the main loop. Tasks run on the thread that drives the
// scheduler (the GUI thread in the app, the test body under ManualTime), never from inside
// schedule() itself. The app's implementation is QtScheduler; tests use ManualTime.
class Scheduler {
public:
    using TaskId = std::uint64_t;
    using Duration = std::chrono::nanoseconds;

    Scheduler() = default;
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;
    virtual ~Scheduler() = default;

    // Runs `task` once, `delay` from now (a negative delay counts as zero). The returned id is
    // never 0 and never reused, so a stale id can be cancelled safely.
    virtual TaskId schedule(Duration delay, std::function<void()> task) = 0;

    // Cancels a task that has not run yet. Unknown, finished and cancelled ids are ignored.
    virtual void cancel(TaskId id) = 0;
};

// The wall clock, as a seam: note timestamps and the panel's reopen suppression read it.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    virtual std::chrono::system_clock::time_point now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::chrono::system_clock::time_point now() const override { return std::chrono::system_clock::now(); }
};

// Milliseconds since 1970 rounded to the nearest whole number, halves away from zero.
double wholeMillisecondsSinceEpoch(std::chrono::system_clock::time_point t);

// Seconds since 1970 with fraction.
double secondsSinceEpoch(std::chrono::system_clock::time_point t);

} // namespace pindle
