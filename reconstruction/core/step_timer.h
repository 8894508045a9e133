// Adds the processor time of a scope to one field of StepTimes (nothing when there is
// none). Processor time, not wall time: the figures stay steady on a loaded machine, and
// the reconstruction runs on one thread.
#pragma once

#include <ctime>

namespace kestrova::reconstruction {

class StepTimer {
public:
    explicit StepTimer(double* slot) : slot_(slot), start_(std::clock()) {}
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;
    ~StepTimer()
    {
        if (slot_)
            *slot_ += static_cast<double>(std::clock() - start_) / CLOCKS_PER_SEC;
    }

private:
    double* slot_;
    std::clock_t start_;
};

// The field of `times` named by `member`, or null when times is null.
inline double* Slot(StepTimes* times, double StepTimes::*member) { return times ? &(times->*member) : nullptr; }

} // namespace kestrova::reconstruction
