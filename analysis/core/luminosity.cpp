#include "analysis/core/luminosity.h"

#include <algorithm>
#include <cmath>

namespace kestrova::analysis {

LuminosityTable BuildLuminosityTable(int brightness, int contrast, int gamma) {
    // The three factors and every intermediate x are single-precision values; each
    // expression itself is evaluated in higher precision and rounded once when stored.
    const float g = static_cast<float>(std::pow(10.0, gamma * 0.005));
    const float c = static_cast<float>(contrast * 0.01);
    const float b = static_cast<float>(brightness * 0.01);
    LuminosityTable table{};
    for (int i = 0; i < 256; ++i) {
        float x = static_cast<float>(i * 0.00392156862745098);
        x = static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(g)));
        x = static_cast<float>((static_cast<double>(x) - 0.5) * (static_cast<double>(c) + 1.0) + 0.5);
        x = static_cast<float>(static_cast<double>(x) + static_cast<double>(b));
        const double scaled = std::clamp(static_cast<double>(x) * 255.0, -1.0, 256.0);
        table[i] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::trunc(scaled)), 0, 255));
    }
    return table;
}

void ApplyLuminosityTable(const cv::Mat& src, cv::Mat& dst, const LuminosityTable& table) {
    CV_Assert(src.depth() == CV_8U);
    const int channels = src.channels();
    const int colour = channels == 4 ? 3 : channels;
    dst.create(src.size(), src.type());
    for (int y = 0; y < src.rows; ++y) {
        const std::uint8_t* s = src.ptr<std::uint8_t>(y);
        std::uint8_t* d = dst.ptr<std::uint8_t>(y);
        for (int x = 0; x < src.cols; ++x) {
            for (int ch = 0; ch < channels; ++ch) {
                const std::size_t k = static_cast<std::size_t>(x) * channels + ch;
                d[k] = ch < colour ? table[s[k]] : s[k];
            }
        }
    }
}

}  // namespace kestrova::analysis
