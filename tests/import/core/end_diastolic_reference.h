#pragma once
// Reference computation of the end-diastolic selection, written with plain loops and
// decoding frames with TurboJPEG instead of OpenCV, to check the production code
// against. It keeps the full-size matrices and per-pixel differences the production
// code avoids.
#include <turbojpeg.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace studyimport::testing {

struct GreyFrame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
    int at(int y, int x) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline GreyFrame DecodeGrey(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("reference: cannot open " + path);
    std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &subsamp, &colorspace) != 0) {
        tjDestroy(tj);
        throw std::runtime_error("reference: bad JPEG " + path);
    }
    GreyFrame f;
    f.width = w;
    f.height = h;
    f.pixels.resize(static_cast<std::size_t>(w) * h);
    const int rc = tjDecompress2(tj, jpeg.data(), jpeg.size(), f.pixels.data(), w, 0, h,
                                 TJPF_GRAY, 0);
    tjDestroy(tj);
    if (rc != 0)
        throw std::runtime_error("reference: cannot decode " + path);
    return f;
}

// The change signal computed the long way: ECG matrix with zero padding, full trace
// maps, strip sums of per-pixel differences.
inline std::vector<double> ReferenceChangeSignal(int first, int last, int R, double specificity,
                                                 int luminance, int w, const std::string& prefix)
{
    std::vector<double> signal;
    std::vector<std::vector<double>> previous, current;
    for (int f = first; f <= last; ++f) {
        const GreyFrame frame = DecodeGrey(prefix + "." + std::to_string(f) + ".jpg");
        const int W = frame.width, H = frame.height;
        const int L = H - R, C = W + 2 * w;
        std::vector<std::vector<int>> ecg(L, std::vector<int>(C, 0));
        for (int y = R; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ecg[y - R][x + w] = frame.at(y, x);

        current.assign(L, std::vector<double>(C, 0.0));
        if (f == first)
            previous.assign(L, std::vector<double>(C, 0.0));
        int count = 0;
        for (int y = 1; y <= L - 2; ++y)
            for (int x = 1; x <= C - 2; ++x) {
                double sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        sum += ecg[y + dy][x + dx];
                const double m = sum / 9;
                double sq = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        sq += (ecg[y + dy][x + dx] - m) * (ecg[y + dy][x + dx] - m);
                const double s = std::sqrt(sq / 8);
                if (s > specificity && ecg[y][x] > luminance) {
                    current[y][x] = ecg[y][x];
                    ++count;
                }
            }
        if (f > first) {
            const double divisor = count == 0 ? 1 : count;
            double peak = DBL_MIN;
            for (int K = 0; K < C; K += w) {
                double strip = 0;
                for (int y = 0; y < L; ++y)
                    for (int x = K; x < std::min(K + w, C); ++x)
                        strip += current[y][x] - previous[y][x];
                strip /= divisor;
                if (strip > peak)
                    peak = strip;
            }
            signal.push_back(peak);
        }
        previous = current;
    }
    return signal;
}

// Peaks against the history h with factor k, then the single thinning pass.
inline std::optional<std::vector<int>> ReferencePeaks(const std::vector<double>& signal,
                                                      int n, int h, double k)
{
    if (n <= h)
        return std::nullopt;
    std::vector<int> candidates;
    for (int i = h + 1; i < n; ++i) {
        double mean = 0;
        for (int t = i - h; t <= i; ++t)
            mean += signal[t];
        mean /= h + 1;
        double var = 0;
        for (int t = i - h; t <= i; ++t)
            var += (signal[t] - mean) * (signal[t] - mean);
        if (signal[i] > mean + k * std::sqrt(var / h))
            candidates.push_back(i + 1);
    }
    // Walk the positions once; a successor of the entry at the current position that
    // follows it directly is erased (later entries move up, a zero fills the end).
    std::vector<int> list = candidates;
    const std::size_t j = candidates.size();
    for (std::size_t p = 0; p + 1 < j; ++p)
        if (list[p + 1] == list[p] + 1) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(p) + 1);
            list.push_back(0);
        }
    list.resize(static_cast<std::size_t>(n), 0);
    return list;
}

} // namespace studyimport::testing
