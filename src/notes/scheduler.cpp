#include "scheduler.h"

#include <cmath>

namespace pindle {

double wholeMillisecondsSinceEpoch(std::chrono::system_clock::time_point t) {
    return std::round(secondsSinceEpoch(t) * 1000.0);
}

double secondsSinceEpoch(std::chrono::system_clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

} // namespace pindle
