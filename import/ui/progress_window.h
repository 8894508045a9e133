#pragma once
// Shows the progress of the import's long operations in the shared progress window.
#include "import/core/progress_reporter.h"

#include <memory>

class ProgressScope;
class QWidget;

namespace studyimport {

class ProgressWindowReporter : public ProgressReporter {
public:
    explicit ProgressWindowReporter(QWidget* owner = nullptr);
    ~ProgressWindowReporter() override;

    void Begin(const std::string& text, int maximum) override;
    void Step() override;
    void End() override;

private:
    QWidget* owner_;
    std::unique_ptr<::ProgressScope> scope_;
};

} // namespace studyimport
