#pragma once
// Helpers for the import window tests: frame files on disk, recorded messages.
#include "app/progress.h"
#include "app/prompter.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <QString>

#include <filesystem>
#include <string>
#include <vector>

namespace studyimport::testing {

// Writes `count` grey frames of `size` named prefix + n + ".jpg"; frame n is filled
// with grey level 20 * (n + 1) so a shown frame can be told from the others.
inline void WriteFlatFrames(const std::filesystem::path& folder, const std::string& prefix,
                            int count, cv::Size size = {64, 48})
{
    std::filesystem::create_directories(folder);
    for (int n = 0; n < count; ++n) {
        const cv::Mat img(size, CV_8UC1, cv::Scalar((20 * (n + 1)) % 256));
        cv::imwrite((folder / (prefix + std::to_string(n) + ".jpg")).string(), img);
    }
}

// Grey level of the frame that a flat frame file n was written with.
inline int FlatFrameLevel(int n) { return (20 * (n + 1)) % 256; }

// Installs a scripted prompter for the length of a test: it records every message and
// answers questions from its script.
class PromptRecorder : public ScriptedPrompter {
public:
    PromptRecorder() { SetPrompter(this); }
    ~PromptRecorder() override { SetPrompter(nullptr); }
    PromptRecorder(const PromptRecorder&) = delete;
    PromptRecorder& operator=(const PromptRecorder&) = delete;
};

// Watches the shared progress window for the length of a test: its text and bar range
// when it is shown, and the bar's position when it goes away.
class ProgressWindowWatcher : public QObject {
public:
    struct Showing {
        QString text;
        int maximum = 0;
        int finalValue = -1;
    };

    ProgressWindowWatcher() { qApp->installEventFilter(this); }
    ~ProgressWindowWatcher() override { qApp->removeEventFilter(this); }

    std::vector<Showing> shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* form = qobject_cast<TProgressForm*>(watched);
        if (!form)
            return false;
        if (event->type() == QEvent::Show)
            shown.push_back({form->cxLabel1->text(), form->cxProgressBar1->maximum()});
        else if (event->type() == QEvent::Hide && !shown.empty())
            shown.back().finalValue = form->cxProgressBar1->value();
        return false;
    }
};

} // namespace studyimport::testing
