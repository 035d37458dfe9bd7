#pragma once
#include "engine/interfaces.h"

#include <chrono>

namespace typetoki {

// Seconds since the clock was made, on the monotonic clock: unlike seconds
// since midnight it never jumps back during a game.
class SteadyClock final : public Clock {
public:
    double now() const override;
    QDateTime localDateTime() const override;

private:
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace typetoki
