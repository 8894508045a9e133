#pragma once
// Progress reporter that records what a long operation reported.
#include "import/core/progress_reporter.h"

#include <string>

namespace studyimport::testing {

struct RecordingProgress : ProgressReporter {
    int begins = 0;
    int ends = 0;
    int steps = 0;
    int maximum = -1;
    std::string text;

    void Begin(const std::string& t, int max) override
    {
        ++begins;
        text = t;
        maximum = max;
    }
    void Step() override { ++steps; }
    void End() override { ++ends; }
};

} // namespace studyimport::testing
