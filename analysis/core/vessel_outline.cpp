#include "analysis/core/vessel_outline.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kestrova::analysis {

namespace {

constexpr float kTwoPi = 6.2831853f;

template <typename F>
std::vector<float> Kernel(float s, int radius, F tap) {
    std::vector<float> k;
    k.reserve(static_cast<std::size_t>(2 * radius + 1));
    const float norm = std::sqrt(kTwoPi);
    for (int i = -radius; i <= radius; ++i) {
        const float fi = static_cast<float>(i);
        const float g = std::exp(-(fi * fi) / (2.0f * s * s));
        k.push_back(tap(fi, g, norm));
    }
    return k;
}

void PrepareOutput(const cv::Mat& in, cv::Mat& out) {
    if (out.empty() || out.size() != in.size() || out.type() != CV_32F) out = cv::Mat::zeros(in.size(), CV_32F);
}

}  // namespace

int RoundFloat(double x) { return static_cast<int>(std::floor(x + 0.5)); }

std::vector<float> GaussianKernel(float s, int radius) {
    return Kernel(s, radius, [s](float, float g, float norm) { return g / (s * norm); });
}

std::vector<float> GaussianDerivativeKernel(float s, int radius) {
    return Kernel(s, radius, [s](float i, float g, float norm) { return -i * g / (s * s * s * norm); });
}

std::vector<float> GaussianSecondDerivativeKernel(float s, int radius) {
    return Kernel(s, radius, [s](float i, float g, float norm) { return (i * i / (s * s) - 1.0f) * g / (s * s * s * norm); });
}

void ConvolveColumns(const cv::Mat& in, std::span<const float> kernel, cv::Mat& out) {
    PrepareOutput(in, out);
    const int radius = static_cast<int>(kernel.size() / 2);
    const int rows = in.rows, cols = in.cols;
    std::vector<float> sum(static_cast<std::size_t>(cols));
    for (int i = 0; i < rows; ++i) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = -radius; k <= radius; ++k) {
            const int r = i + k;
            if (r < 0 || r >= rows) continue;  // zero padding
            const float w = kernel[k + radius];
            const float* src = in.ptr<float>(r);
            for (int j = 0; j < cols; ++j) sum[j] += src[j] * w;
        }
        float* dst = out.ptr<float>(i);
        for (int j = 0; j < cols; ++j) dst[j] += sum[j];
    }
}

void ConvolveRows(const cv::Mat& in, std::span<const float> kernel, cv::Mat& out) {
    PrepareOutput(in, out);
    const int radius = static_cast<int>(kernel.size() / 2);
    const int cols = in.cols;
    for (int i = 0; i < in.rows; ++i) {
        const float* src = in.ptr<float>(i);
        float* dst = out.ptr<float>(i);
        for (int j = 0; j < cols; ++j) {
            float sum = 0.0f;
            const int kFirst = std::max(-radius, -j), kLast = std::min(radius, cols - 1 - j);
            for (int k = kFirst; k <= kLast; ++k) sum += src[j + k] * kernel[k + radius];
            dst[j] += sum;
        }
    }
}

void HessianAtScale(const cv::Mat& image, float s, cv::Mat& dyy, cv::Mat& dxx, cv::Mat& dxy) {
    const int radius = RoundFloat(3.0 * s);
    const std::vector<float> g = GaussianKernel(s, radius);
    const std::vector<float> g1 = GaussianDerivativeKernel(s, radius);
    const std::vector<float> g2 = GaussianSecondDerivativeKernel(s, radius);
    cv::Mat work;
    const auto pass = [&](std::span<const float> vertical, std::span<const float> horizontal, cv::Mat& out) {
        work = cv::Mat::zeros(image.size(), CV_32F);
        out = cv::Mat::zeros(image.size(), CV_32F);
        ConvolveColumns(image, vertical, work);
        ConvolveRows(work, horizontal, out);
        out *= s * s;
    };
    pass(g2, g, dyy);
    pass(g, g2, dxx);
    pass(g1, g1, dxy);
}

void HessianEigenvalues(const cv::Mat& dyy, const cv::Mat& dxx, const cv::Mat& dxy, cv::Mat& lambda1,
                        cv::Mat& lambda2) {
    lambda1.create(dyy.size(), CV_32F);
    lambda2.create(dyy.size(), CV_32F);
    for (int i = 0; i < dyy.rows; ++i) {
        const float* pa = dyy.ptr<float>(i);
        const float* pb = dxx.ptr<float>(i);
        const float* pd = dxy.ptr<float>(i);
        float* l1 = lambda1.ptr<float>(i);
        float* l2 = lambda2.ptr<float>(i);
        for (int j = 0; j < dyy.cols; ++j) {
            const float a = pa[j], b = pb[j], d = pd[j];
            const float root = std::sqrt((a - b) * (a - b) + 4.0f * d * d);
            const float m1 = (a + b + root) / 2.0f;
            const float m2 = (a + b - root) / 2.0f;
            if (std::fabs(m1) >= std::fabs(m2)) {
                l1[j] = m2;
                l2[j] = m1;
            } else {
                l1[j] = m1;
                l2[j] = m2;
            }
        }
    }
}

void RescaleImage(cv::Mat& image, float low, float high) {
    float smallest = std::numeric_limits<float>::max();
    float largest = std::numeric_limits<float>::min();  // smallest positive normal float
    for (int i = 0; i < image.rows; ++i) {
        const float* p = image.ptr<float>(i);
        for (int j = 0; j < image.cols; ++j) {
            smallest = std::min(smallest, p[j]);
            largest = std::max(largest, p[j]);
        }
    }
    const float range = largest - smallest;
    for (int i = 0; i < image.rows; ++i) {
        float* p = image.ptr<float>(i);
        for (int j = 0; j < image.cols; ++j) {
            // Every value equal: there is no range to map; all become `low`.
            p[j] = range > 0.0f ? low + (p[j] - smallest) / range * (high - low) : low;
        }
    }
}

void OutlineThreshold(cv::Mat& image, float t) {
    cv::Mat outline = cv::Mat::zeros(image.size(), CV_32F);
    for (int i = 1; i + 1 < image.rows; ++i) {
        const float* above = image.ptr<float>(i - 1);
        const float* row = image.ptr<float>(i);
        const float* below = image.ptr<float>(i + 1);
        float* out = outline.ptr<float>(i);
        for (int j = 1; j + 1 < image.cols; ++j) {
            if (row[j] >= t && (row[j - 1] < t || row[j + 1] < t || above[j] < t || below[j] < t)) out[j] = 255.0f;
        }
    }
    image = outline;
}

void RemoveSmallBlobs(cv::Mat& image, int minimumSize) {
    const int rows = image.rows, cols = image.cols;
    cv::Mat visited = cv::Mat::zeros(image.size(), CV_8U);
    std::vector<cv::Point> group, stack;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            if (image.at<float>(i, j) != 255.0f || visited.at<std::uint8_t>(i, j)) continue;
            group.clear();
            stack.assign(1, cv::Point(j, i));
            visited.at<std::uint8_t>(i, j) = 1;
            while (!stack.empty()) {
                const cv::Point p = stack.back();
                stack.pop_back();
                group.push_back(p);
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int y = p.y + dy, x = p.x + dx;
                        if (y < 0 || y >= rows || x < 0 || x >= cols) continue;
                        if (visited.at<std::uint8_t>(y, x) || image.at<float>(y, x) != 255.0f) continue;
                        visited.at<std::uint8_t>(y, x) = 1;
                        stack.emplace_back(x, y);
                    }
                }
            }
            if (static_cast<int>(group.size()) < minimumSize) {
                for (const cv::Point& p : group) image.at<float>(p.y, p.x) = 0.0f;
            }
        }
    }
}

cv::Mat VesselEnhance(const cv::Mat& image, const OutlineParameters& parameters,
                      const std::function<void(float scale)>& onScale) {
    cv::Mat result = cv::Mat::zeros(image.size(), CV_32F);
    cv::Mat dyy, dxx, dxy, lambda1, lambda2;
    const float twoAlpha2 = 2.0f * parameters.alpha * parameters.alpha;
    const float twoC2 = 2.0f * parameters.energy * parameters.energy;
    for (float s : parameters.scales) {
        if (onScale) onScale(s);
        HessianAtScale(image, s, dyy, dxx, dxy);
        HessianEigenvalues(dyy, dxx, dxy, lambda1, lambda2);
        for (int i = 0; i < image.rows; ++i) {
            const float* l1 = lambda1.ptr<float>(i);
            const float* l2 = lambda2.ptr<float>(i);
            float* r = result.ptr<float>(i);
            for (int j = 0; j < image.cols; ++j) {
                if (!(l2[j] > 0.0f)) continue;
                const float ratio = l1[j] / l2[j];
                const float v = std::exp(-(ratio * ratio) / twoAlpha2) *
                                (1.0f - std::exp(-(l1[j] * l1[j] + l2[j] * l2[j]) / twoC2));
                if (v > r[j]) r[j] = v;
            }
        }
    }
    RescaleImage(result, 0.0f, 255.0f);
    OutlineThreshold(result, static_cast<float>(parameters.threshold));
    RemoveSmallBlobs(result, parameters.minimumBlobSize);
    return result;
}

cv::Mat ComputeVesselOutline(const cv::Mat& frame, const OutlineParameters& parameters,
                             const std::function<void(float scale)>& onScale) {
    if (frame.empty() || frame.depth() != CV_8U) return {};
    cv::Mat first;
    if (frame.channels() == 1) {
        first = frame;
    } else {
        cv::extractChannel(frame, first, 0);
    }
    cv::Mat image;
    first.convertTo(image, CV_32F);
    const cv::Mat outline = VesselEnhance(image, parameters, onScale);
    cv::Mat mask(outline.size(), CV_8U);
    for (int i = 0; i < outline.rows; ++i) {
        const float* o = outline.ptr<float>(i);
        std::uint8_t* m = mask.ptr<std::uint8_t>(i);
        for (int j = 0; j < outline.cols; ++j) m[j] = static_cast<int>(o[j]) != 0 ? 255 : 0;
    }
    return mask;
}

}  // namespace kestrova::analysis
