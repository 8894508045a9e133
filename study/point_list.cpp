#include "study/point_list.h"

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

// The whole text is named when its shape is wrong, the piece when it is not a number.
[[noreturn]] void NotAPointList(std::string_view text)
{
    std::string shown(text.substr(0, 40));
    if (text.size() > 40)
        shown += "...";
    throw ConversionError("\"" + shown + "\" is not a point list");
}

[[noreturn]] void NotAnInteger(std::string_view piece)
{
    throw ConversionError("\"" + std::string(piece.substr(0, 40)) + "\" is not a valid integer value");
}

// One piece: a decimal integer with at most one sign, in the 32-bit signed range.
std::int32_t ReadValue(std::string_view piece)
{
    const char* first = piece.data();
    const char* const last = first + piece.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    // from_chars would take a second sign ("+-4"); digits only from here.
    unsigned long long magnitude = 0;
    const auto r = std::from_chars(first, last, magnitude);
    if (first == last || *first < '0' || *first > '9' || r.ec == std::errc::invalid_argument || r.ptr != last)
        NotAnInteger(piece);
    const unsigned long long limit =
        negative ? 1ull + std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::max();
    if (r.ec == std::errc::result_out_of_range || magnitude > limit)
        NotAnInteger(piece);
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return static_cast<std::int32_t>(value);
}

} // namespace

std::string PointListText(std::span<const int> values) { return WriteList(values); }

std::string PointListText(std::span<const std::uint32_t> values) { return WriteList(values); }

std::vector<std::uint32_t> ParseIntList(std::string_view text)
{
    std::vector<std::uint32_t> result;
    std::size_t pos = 0;
    for (;;) {
        if (text.substr(pos) == "-1")
            return result;
        const std::size_t blank = text.find(' ', pos);
        if (blank == std::string_view::npos)
            NotAPointList(text);
        const std::int32_t value = ReadValue(text.substr(pos, blank - pos));
        result.push_back(static_cast<std::uint32_t>(value));
        pos = blank + 1;
    }
}

std::vector<int> ParseIntListSigned(std::string_view text)
{
    const auto raw = ParseIntList(text);
    return std::vector<int>(raw.begin(), raw.end());
}

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

WallContour ParsePointList(std::string_view xText, std::string_view yText, EmptyText empty)
{
    const auto read = [empty](std::string_view text) {
        std::vector<int> values =
            text.empty() && empty == EmptyText::NoPoints ? std::vector<int>{} : ParseIntListSigned(text);
        for (const int v : values)
            if (v < -kMaxPointCoordinate || v > kMaxPointCoordinate)
                throw ConversionError("the value " + std::to_string(v) + " lies outside any image (at most " +
                                      std::to_string(kMaxPointCoordinate) + " pixels from its corner)");
        return values;
    };
    const std::vector<int> xs = read(xText);
    const std::vector<int> ys = read(yText);
    if (xs.size() != ys.size())
        throw ConversionError("its X and Y lists differ in length (" + std::to_string(xs.size()) + " and " +
                              std::to_string(ys.size()) + " values)");
    const std::size_t n = xs.size();
    WallContour points(n);
    for (std::size_t i = 0; i < n; ++i)
        points[i] = {xs[i], ys[i]};
    return points;
}
