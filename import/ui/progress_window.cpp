#include "import/ui/progress_window.h"

#include "app/progress.h"

namespace studyimport {

ProgressWindowReporter::ProgressWindowReporter(QWidget* owner) : owner_(owner) {}

ProgressWindowReporter::~ProgressWindowReporter() = default;

void ProgressWindowReporter::Begin(const std::string& text, int maximum)
{
    scope_ = std::make_unique<::ProgressScope>(QString::fromStdString(text), maximum, owner_);
}

void ProgressWindowReporter::Step()
{
    if (scope_)
        scope_->Step();
}

void ProgressWindowReporter::End()
{
    scope_.reset();
}

} // namespace studyimport
