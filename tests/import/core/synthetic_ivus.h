#pragma once
// Synthetic IVUS recordings for the end-diastolic selection: grey JPEG frames with an
// ultrasound-like picture above the ECG start row and, below it, a sweeping ECG trace
// whose R spikes appear at known frames.
//
// The trace is drawn by a cursor that advances `sweepSpeed` columns per frame and
// wipes `gap` columns ahead of itself. The R spike of beat p is drawn in frame p + 1, so
// the trace changes most from frame p to frame p + 1: frame p is the last frame before
// the R wave, the end-diastolic frame.
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace studyimport::testing {

struct SyntheticIvus {
    int width = 160;
    int height = 120;
    int ecgStartRow = 80;
    int frames = 80;
    std::vector<int> beats;      // end-diastolic frames p: the R spike shows from p + 1 on
    int sweepSpeed = 3;          // columns drawn per frame
    int gap = 12;                // wiped columns ahead of the cursor
    int jpegQuality = 95;
    int ecgNoise = 35;           // brightest noise value in the ECG area
    unsigned seed = 7;

    int sweepLeft() const { return 8; }
    int sweepWidth() const { return width - 16; }
    int baseline() const { return ecgStartRow + (height - ecgStartRow) * 3 / 4; }
    int spikeHeight() const { return (height - ecgStartRow) * 3 / 5; }

    // ECG height above the baseline (pixels) of sample c (columns counted from the start).
    int Sample(long long c, const std::set<long long>& spikes) const
    {
        if (spikes.count(c))
            return spikeHeight();
        if (spikes.count(c - 1))
            return -spikeHeight() / 6; // S wave
        // A low T wave after each spike.
        for (long long d = 6; d <= 11; ++d)
            if (spikes.count(c - d))
                return 2;
        return 0;
    }

    cv::Mat Frame(int f) const
    {
        std::mt19937 rng(seed * 100003u + static_cast<unsigned>(f));
        cv::Mat img(height, width, CV_8UC1, cv::Scalar(0));

        // Picture above the ECG: catheter ring, a vessel ring and speckle.
        std::uniform_int_distribution<int> speckle(0, 120);
        for (int y = 0; y < ecgStartRow; ++y)
            for (int x = 0; x < width; ++x)
                img.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(speckle(rng));
        const cv::Point centre(width / 2, ecgStartRow / 2);
        cv::circle(img, centre, std::max(3, ecgStartRow / 10), cv::Scalar(255), 2);
        cv::circle(img, centre, std::max(6, ecgStartRow / 3), cv::Scalar(200), 3);

        // Noise in the ECG area; by default too dark to count as trace.
        std::uniform_int_distribution<int> dark(0, ecgNoise);
        for (int y = ecgStartRow; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(dark(rng));
        // Static scale marks at the left edge of the ECG area.
        for (int y = ecgStartRow + 2; y + 2 < height; y += 6)
            cv::line(img, {1, y}, {4, y}, cv::Scalar(230), 1);

        // The trace: samples from the oldest visible one to the newest.
        std::set<long long> spikes;
        for (int p : beats)
            spikes.insert(static_cast<long long>(p + 1) * sweepSpeed + sweepSpeed / 2);
        const long long newest = static_cast<long long>(f) * sweepSpeed + sweepSpeed - 1;
        const long long oldest = std::max(0LL, newest - (sweepWidth() - gap) + 1);
        cv::Point previous;
        bool hasPrevious = false;
        for (long long c = oldest; c <= newest; ++c) {
            const int x = sweepLeft() + static_cast<int>(c % sweepWidth());
            const cv::Point point(x, baseline() - Sample(c, spikes));
            if (hasPrevious && x > previous.x)
                cv::line(img, previous, point, cv::Scalar(220), 1);
            else
                img.at<std::uint8_t>(point.y, point.x) = 220;
            previous = point;
            hasPrevious = true;
        }
        return img;
    }

    // Writes frames 0 .. frames-1 as prefix + "." + n + ".jpg".
    void Write(const std::string& prefix) const
    {
        const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, jpegQuality};
        for (int f = 0; f < frames; ++f)
            if (!cv::imwrite(prefix + "." + std::to_string(f) + ".jpg", Frame(f), params))
                throw std::runtime_error("cannot write a synthetic frame");
    }
};

} // namespace studyimport::testing
