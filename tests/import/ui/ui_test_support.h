#pragma once
// Helpers for the import window tests: frame files on disk, recorded messages.
#include "import/ui/import_messages.h"

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

struct RecordedMessage {
    MessageKind kind;
    QString text;
};

// Records messages and answers questions for the length of a test.
class MessageRecorder {
public:
    explicit MessageRecorder(bool answer = true) : answer_(answer)
    {
        previousMessage_ = SetMessageHandler([this](QWidget*, MessageKind k, const QString& t) {
            messages.push_back({k, t});
        });
        previousQuestion_ = SetQuestionHandler([this](QWidget*, const QString& t) {
            questions.push_back(t);
            return answer_;
        });
    }
    ~MessageRecorder()
    {
        SetMessageHandler(previousMessage_);
        SetQuestionHandler(previousQuestion_);
    }
    void SetAnswer(bool answer) { answer_ = answer; }

    std::vector<RecordedMessage> messages;
    std::vector<QString> questions;

private:
    bool answer_;
    MessageHandler previousMessage_;
    QuestionHandler previousQuestion_;
};

} // namespace studyimport::testing
