#include "app/point_list.h"

#include "app/errors.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

template <typename T>
std::string WriteList(std::span<const T> values)
{
    std::string out;
    if (values.empty())
        return out;
    out.reserve(values.size() * 5 + 2);
    char buf[24];
    for (const T v : values) {
        const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(static_cast<int>(v)));
        out.append(buf, r.ptr);
        out.push_back(' ');
    }
    out.append("-1");
    return out;
}

[[noreturn]] void Fail(std::string_view text, std::string_view why)
{
    std::string shown(text.substr(0, 40));
    if (text.size() > 40)
        shown += "...";
    throw ConversionError("'" + shown + "' is not a valid point list (" + std::string(why) + ")");
}

} // namespace

std::string PointListText(std::span<const int> values) { return WriteList(values); }

std::string PointListText(std::span<const std::uint32_t> values) { return WriteList(values); }

std::pair<std::string, std::string> PointListTexts(const WallContour& points, std::size_t n)
{
    n = std::min(n, points.size());
    std::vector<int> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = points[i].x;
        ys[i] = points[i].y;
    }
    return {PointListText(std::span<const int>(xs)), PointListText(std::span<const int>(ys))};
}

std::vector<std::uint32_t> ParseIntList(std::string_view text)
{
    std::vector<std::uint32_t> result;
    std::size_t pos = 0;
    for (;;) {
        if (text.substr(pos) == "-1")
            return result;
        const std::size_t blank = text.find(' ', pos);
        if (blank == std::string_view::npos)
            Fail(text, pos == 0 ? "no terminator" : "does not end in -1");
        const char* first = text.data() + pos;
        const char* last = text.data() + blank;
        if (first != last && *first == '+')
            ++first; // an explicit sign is accepted as the decimal reader does
        long long value = 0;
        const auto r = std::from_chars(first, last, value);
        if (first == last || r.ec != std::errc() || r.ptr != last)
            Fail(text, "not a number");
        if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
            Fail(text, "value out of range");
        result.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)));
        pos = blank + 1;
    }
}

std::vector<int> ParseIntListSigned(std::string_view text)
{
    const auto raw = ParseIntList(text);
    return std::vector<int>(raw.begin(), raw.end());
}

WallContour ZipPoints(const std::vector<int>& xs, const std::vector<int>& ys)
{
    const std::size_t n = std::min(xs.size(), ys.size());
    WallContour out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = {xs[i], ys[i]};
    return out;
}
