#pragma once
// Progress of a long operation that runs on the calling thread (folder import,
// end-diastolic selection). The windows adapt it to the shared progress window;
// the Qt-free code only reports through it.
#include <string>

namespace studyimport {

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    // Shows the progress with its text and a bar from 0 to `maximum`.
    virtual void Begin(const std::string& text, int maximum) = 0;
    // Advances the bar by one.
    virtual void Step() = 0;
    // Closes the progress; called once after Begin, also when the work fails.
    virtual void End() = 0;
};

// Calls End() when the scope is left, whether the work finished or threw.
class ProgressGuard {
public:
    ProgressGuard(ProgressReporter* reporter, const std::string& text, int maximum)
        : reporter_(reporter)
    {
        if (reporter_)
            reporter_->Begin(text, maximum);
    }
    ~ProgressGuard()
    {
        if (reporter_)
            reporter_->End();
    }
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;

    void Step()
    {
        if (reporter_)
            reporter_->Step();
    }

private:
    ProgressReporter* reporter_;
};

} // namespace studyimport
