#include "reconstruction/core/nurbs_text.h"

#include "spline/records.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace kestrova::reconstruction {

std::string FormatNumberPoint(double value)
{
    // std::to_chars never consults the locale; the general format with precision 15 is the
    // "%.15g" of the C locale.
    const double single = static_cast<double>(static_cast<float>(value));
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    if (const auto comma = text.find(','); comma != std::string::npos)
        text[comma] = '.';
    return text;
}

void WriteNurbsDirection(std::string& text, int vertexCount, int order, const double* knots, char letter)
{
    text += letter;
    text += "Order " + std::to_string(order) + "\n";
    text += letter;
    text += "Dimension " + std::to_string(vertexCount) + "\n";
    text += letter;
    text += "Knot [\n";
    for (int i = 0; i < vertexCount + order; ++i) {
        if (i > 0)
            text += ',';
        text += FormatNumberPoint(knots[i] * kNurbsTextScale);
    }
    text += "\n]\n";
}

std::string WriteNurbsSurfaceText(const spline_surface* surface)
{
    if (!surface)
        throw std::invalid_argument("no surface to write as scene text");
    std::string text;
    WriteNurbsDirection(text, surface->vertex_count1, surface->order1, surface->knots1, 'u');
    WriteNurbsDirection(text, surface->vertex_count2, surface->order2, surface->knots2, 'v');
    text += "controlPoint [\n";
    const bool rational = is_rational_kind(surface->kind);
    const double* values = rational ? surface->hom_coefs : surface->coefs;
    const long count = static_cast<long>(surface->vertex_count1) * surface->vertex_count2 *
                       (surface->dim + (rational ? 1 : 0));
    for (long p = 0; p < count; ++p) {
        text += FormatNumberPoint(values[p] * kNurbsTextScale);
        if ((p + 1) % 3 != 0)
            text += ' ';
        else if (p != count - 1)
            text += ",\n";
    }
    text += "\n]\n";
    return text;
}

namespace {

// Splits the text into words: blanks, line ends and "," separate; "[" and "]" are words
// of their own.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    bool AtEnd()
    {
        Skip();
        return pos_ >= text_.size();
    }

    std::string_view Next()
    {
        Skip();
        if (pos_ >= text_.size())
            throw NurbsTextError("the scene text ends too early");
        if (text_[pos_] == '[' || text_[pos_] == ']')
            return text_.substr(pos_++, 1);
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSeparator(text_[pos_]) && text_[pos_] != '[' && text_[pos_] != ']')
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    void Expect(std::string_view word)
    {
        const std::string_view got = Next();
        if (got != word)
            throw NurbsTextError("expected \"" + std::string(word) + "\" but found \"" + std::string(got) + "\"");
    }

    int Integer()
    {
        const std::string_view word = Next();
        int value = 0;
        const auto r = std::from_chars(word.data(), word.data() + word.size(), value);
        if (r.ec != std::errc() || r.ptr != word.data() + word.size())
            throw NurbsTextError("\"" + std::string(word) + "\" is not a whole number");
        return value;
    }

    // The numbers up to the closing "]".
    std::vector<double> List()
    {
        Expect("[");
        std::vector<double> values;
        for (std::string_view word = Next(); word != "]"; word = Next()) {
            double value = 0.0;
            const auto r = std::from_chars(word.data(), word.data() + word.size(), value);
            if (r.ec != std::errc() || r.ptr != word.data() + word.size() || !std::isfinite(value))
                throw NurbsTextError("\"" + std::string(word) + "\" is not a number");
            values.push_back(value);
        }
        return values;
    }

private:
    static bool IsSeparator(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == ','; }
    void Skip()
    {
        while (pos_ < text_.size() && IsSeparator(text_[pos_]))
            ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

struct Direction {
    int order = 0;
    int count = 0;
    std::vector<double> knots;
};

Direction ReadDirection(Tokens& tokens, char letter)
{
    const std::string l(1, letter);
    Direction d;
    tokens.Expect(l + "Order");
    d.order = tokens.Integer();
    tokens.Expect(l + "Dimension");
    d.count = tokens.Integer();
    tokens.Expect(l + "Knot");
    d.knots = tokens.List();
    if (d.order < 1 || d.count < d.order)
        throw NurbsTextError(l + " direction: order " + std::to_string(d.order) + " with " +
                             std::to_string(d.count) + " control points");
    if (static_cast<long>(d.knots.size()) != static_cast<long>(d.count) + d.order)
        throw NurbsTextError(l + " direction: " + std::to_string(d.knots.size()) + " knots for " +
                             std::to_string(d.count) + " control points of order " + std::to_string(d.order));
    for (std::size_t i = 1; i < d.knots.size(); ++i)
        if (d.knots[i] < d.knots[i - 1])
            throw NurbsTextError(l + " direction: the knots decrease");
    return d;
}

} // namespace

SurfaceHandle ReadNurbsSurfaceText(std::string_view text)
{
    Tokens tokens(text);
    Direction u = ReadDirection(tokens, 'u');
    Direction v = ReadDirection(tokens, 'v');
    tokens.Expect("controlPoint");
    std::vector<double> values = tokens.List();
    if (!tokens.AtEnd())
        throw NurbsTextError("text after the control points");
    const long points = static_cast<long>(u.count) * v.count;
    int perPoint = 0;
    if (static_cast<long>(values.size()) == points * 3)
        perPoint = 3;
    else if (static_cast<long>(values.size()) == points * 4)
        perPoint = 4;
    else
        throw NurbsTextError(std::to_string(values.size()) + " control values for " + std::to_string(points) +
                             " control points");
    if (perPoint == 4)
        for (long i = 0; i < points; ++i)
            if (!(values[i * 4 + 3] > 0.0))
                throw NurbsTextError("a control point has a weight that is not positive");
    // copy mode 1: the surface keeps copies of the arrays.
    spline_surface* surface = create_surface(u.count, v.count, u.order, v.order, u.knots.data(), v.knots.data(),
                                             values.data(), perPoint == 4 ? 2 : 1, 3, 1);
    if (!surface)
        throw NurbsTextError("the control points do not make a surface");
    return SurfaceHandle(surface);
}

} // namespace kestrova::reconstruction
