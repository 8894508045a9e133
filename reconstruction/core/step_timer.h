// Adds the time of a scope to one field of StepTimes (nothing when there is none).
#pragma once

#include <chrono>

namespace kestrova::reconstruction {

class StepTimer {
public:
    explicit StepTimer(double* slot) : slot_(slot), start_(std::chrono::steady_clock::now()) {}
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;
    ~StepTimer()
    {
        if (slot_)
            *slot_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    double* slot_;
    std::chrono::steady_clock::time_point start_;
};

// The field of `times` named by `member`, or null when times is null.
inline double* Slot(StepTimes* times, double StepTimes::*member) { return times ? &(times->*member) : nullptr; }

} // namespace kestrova::reconstruction
