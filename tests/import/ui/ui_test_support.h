#pragma once
// Helpers for the import window tests: frame files on disk, recorded messages.
#include "app/prompter.h"

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

} // namespace studyimport::testing
