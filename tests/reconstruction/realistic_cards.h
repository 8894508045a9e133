// Realistic catheter tracings with known truth, for the reconstruction's tests and
// benchmarks.
//
// A card is made from a smooth coronary-like catheter in space, given in image units:
// X the LAO image column, Y the image row both views share (down), Z the depth seen by
// the LAO view; the RAO image column is kRaoColumn0 - Z. Each view's tracing is a set of
// clicks along the catheter's projection: uneven steps, a pixel or so of jitter, whole
// pixels, each view clicked on its own (the two tracings end a few pixels apart). The
// dense variants put a point every pixel or less, as a steady hand or an import does.
//
// The truth is the catheter between the ends both tracings share, in model coordinates
// (X, -Y, Z), running from the end where the LAO tracing starts. Frame k of N belongs at
// arc fraction k / N of it: FrameErrors measures how far each frame of a rebuilt path
// (whose point 0 is the origin) lands from there, with the path's start put on the
// truth's start.
//
// Header only, so that every test program and benchmark can use it.
#pragma once

#include "reconstruction/core/reconstruction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace realistic_cards {

using kestrova::reconstruction::TPointXYZ;

inline constexpr double kRaoColumn0 = 560.0;

enum class Shape {
    Coronary,      // height grows steadily from top to bottom
    LevelStretch,  // a stretch of about 150 px where the height hardly changes (3 px)
    TurnsBack,     // the catheter loops up again: the height falls back by about 45 px
};

struct CardRecipe {
    std::string name;
    Shape shape = Shape::Coronary;
    int laoPoints = 40;         // clicks (or points of a dense tracing)
    int raoPoints = 40;
    bool dense = false;         // evenly spaced points instead of uneven clicks
    double jitter = 0.7;        // px, standard deviation of a click's error per coordinate
    // Arc length (px) left untraced at the top and at the bottom end of each view.
    double laoTopGap = 0.0, laoBottomGap = 0.0, raoTopGap = 0.0, raoBottomGap = 0.0;
    bool fromBottom = false;    // both views clicked from the bottom end up
    bool laoReversed = false;   // the LAO tracing alone clicked from the other end
    bool raoReversed = false;   // the RAO tracing alone clicked from the other end
    std::uint32_t seed = 1;
};

namespace detail {

inline constexpr double kPi = 3.14159265358979323846;

// A smooth window: 1 on [a, b], falling to 0 over `ramp` on each side (C1).
inline double Window(double u, double a, double b, double ramp)
{
    const auto smooth = [](double t) { return t <= 0 ? 0.0 : t >= 1 ? 1.0 : t * t * (3 - 2 * t); };
    return smooth((u - (a - ramp)) / ramp) * (1.0 - smooth((u - b) / ramp));
}

// Rate of height growth along the catheter's parameter u in [0, 1].
inline double HeightRate(Shape shape, double u)
{
    switch (shape) {
    case Shape::Coronary: return 1.0;
    case Shape::LevelStretch: return 1.0 - 0.99 * Window(u, 0.40, 0.58, 0.04);
    case Shape::TurnsBack: return 1.0 - 1.6 * Window(u, 0.42, 0.56, 0.05);
    }
    return 1.0;
}

// Plain uniform and normal numbers from the standard engine's fixed sequence (the
// library's distributions are not the same everywhere).
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    double Uniform() { return (engine_() + 0.5) / 4294967296.0; }
    double Normal()
    {
        const double a = Uniform(), b = Uniform();
        return std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * kPi * b);
    }

private:
    std::mt19937 engine_;
};

} // namespace detail

// The catheter in space (image units, see above), tabulated by arc length.
class Catheter {
public:
    explicit Catheter(Shape shape, int samples = 20000)
    {
        // Height: the integral of the rate, scaled to rows 60..460 between the ends.
        std::vector<double> height(samples + 1, 0.0);
        for (int i = 1; i <= samples; ++i) {
            const double u0 = double(i - 1) / samples, u1 = double(i) / samples;
            height[i] = height[i - 1] + 0.5 * (detail::HeightRate(shape, u0) + detail::HeightRate(shape, u1)) / samples;
        }
        const double total = height.back();
        points_.reserve(samples + 1);
        arc_.reserve(samples + 1);
        for (int i = 0; i <= samples; ++i) {
            const double u = double(i) / samples;
            const double Y = 60.0 + 400.0 * height[i] / total + 10.0 * std::sin(3.0 * detail::kPi * u) *
                                                                   (shape == Shape::Coronary ? 1.0 : 0.0);
            const double X = 300.0 + 115.0 * std::sin(1.6 * detail::kPi * u + 0.4) - 40.0 * u;
            const double Z = 230.0 + 95.0 * std::cos(1.3 * detail::kPi * u) + 30.0 * std::sin(3.1 * detail::kPi * u);
            points_.emplace_back(X, Y, Z);
            arc_.push_back(i == 0 ? 0.0 : arc_.back() + Distance(points_[i], points_[i - 1]));
        }
    }

    double Length() const { return arc_.back(); }

    // The row at the catheter's parameter u in [0, 1] (the level stretch of the
    // LevelStretch shape runs from u = 0.40 to 0.58).
    double RowAt(double u) const
    {
        const auto i = static_cast<std::size_t>(std::lround(std::clamp(u, 0.0, 1.0) * (points_.size() - 1)));
        return points_[i].y;
    }

    // The point (X, Y, Z) at arc length s from the top end (clamped to the catheter).
    TPointXYZ At(double s) const
    {
        s = std::clamp(s, 0.0, Length());
        const auto it = std::upper_bound(arc_.begin(), arc_.end(), s);
        const std::size_t i = std::min<std::size_t>(std::max<std::ptrdiff_t>(it - arc_.begin(), 1), arc_.size() - 1);
        const double span = arc_[i] - arc_[i - 1];
        const double f = span > 0 ? (s - arc_[i - 1]) / span : 0.0;
        const TPointXYZ& a = points_[i - 1];
        const TPointXYZ& b = points_[i];
        return {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z)};
    }

    // Model coordinates of the point at arc length s.
    TPointXYZ ModelAt(double s) const
    {
        const TPointXYZ p = At(s);
        return {p.x, -p.y, p.z};
    }

    // Where the catheter, running down the image, turns back up by more than `noise`
    // rows: the rows it runs through twice, from the row it falls back to up to the row
    // where it turned. False when it never does.
    bool TurnsBack(double noise, double* fromRow = nullptr, double* toRow = nullptr) const
    {
        double deepest = points_.front().y, back = 0.0;
        bool turned = false;
        for (const TPointXYZ& p : points_) {
            if (!turned) {
                if (p.y > deepest)
                    deepest = p.y;
                else if (deepest - p.y > noise) {
                    turned = true;
                    back = p.y;
                }
            } else if (p.y > deepest) {
                break;
            } else {
                back = std::min(back, p.y);
            }
        }
        if (fromRow)
            *fromRow = back;
        if (toRow)
            *toRow = deepest;
        return turned;
    }

    static double Distance(const TPointXYZ& a, const TPointXYZ& b)
    {
        return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
    }

private:
    std::vector<TPointXYZ> points_;
    std::vector<double> arc_;
};

struct Card {
    CardRecipe recipe;
    kestrova::reconstruction::ReconstructionInput input;  // the two tracings (frames and walls left empty)
    Catheter catheter{Shape::Coronary};
    double truthStart = 0.0;  // arc lengths of the shared stretch, truthStart at the LAO start's end
    double truthEnd = 0.0;

    double TruthLength() const { return std::abs(truthEnd - truthStart); }

    // The true model position at arc fraction f of the shared stretch from its start end.
    TPointXYZ Truth(double f) const { return catheter.ModelAt(truthStart + f * (truthEnd - truthStart)); }

    // Distance of each path point k (k < min(N, size)) from Truth(k / N), the path moved
    // so that its point 0 lies on Truth(0).
    std::vector<double> FrameErrors(const std::vector<TPointXYZ>& path, int frames) const
    {
        std::vector<double> errors;
        const TPointXYZ start = Truth(0.0);
        const std::size_t n = std::min(path.size(), static_cast<std::size_t>(frames));
        for (std::size_t k = 0; k < n; ++k) {
            const TPointXYZ p{path[k].x + start.x, path[k].y + start.y, path[k].z + start.z};
            errors.push_back(Catheter::Distance(p, Truth(double(k) / frames)));
        }
        return errors;
    }

    // The nearest distance from p (a path point moved by Truth(0)) to the traced catheter.
    double DistanceToCatheter(const TPointXYZ& pathPoint) const
    {
        const TPointXYZ start = Truth(0.0);
        const TPointXYZ p{pathPoint.x + start.x, pathPoint.y + start.y, pathPoint.z + start.z};
        double best = 1e300;
        const double a = std::min(truthStart, truthEnd) - 20, b = std::max(truthStart, truthEnd) + 20;
        for (double s = a; s <= b; s += 0.25)
            best = std::min(best, Catheter::Distance(p, catheter.ModelAt(s)));
        return best;
    }
};

namespace detail {

// Arc positions (from the top) of a view's clicks between the gaps, top to bottom.
inline std::vector<double> ClickArcs(const CardRecipe& recipe, double length, int count, double topGap, double bottomGap,
                                     Random& random)
{
    const double a = topGap, b = length - bottomGap;
    std::vector<double> arcs;
    if (recipe.dense) {
        for (int i = 0; i < count; ++i)
            arcs.push_back(a + (b - a) * i / (count - 1));
        return arcs;
    }
    // Uneven steps: each between 0.35 and 1.65 of the mean.
    std::vector<double> steps;
    double sum = 0;
    for (int i = 1; i < count; ++i) {
        steps.push_back(0.35 + 1.3 * random.Uniform());
        sum += steps.back();
    }
    arcs.push_back(a);
    for (double step : steps)
        arcs.push_back(arcs.back() + (b - a) * step / sum);
    arcs.back() = b;
    return arcs;
}

// Whole-pixel clicks of one view: column(p) of each point, its row, with jitter.
template <typename Column>
WallContour Clicks(const Catheter& catheter, const std::vector<double>& arcs, double jitter, Random& random,
                   Column column)
{
    WallContour out;
    for (double s : arcs) {
        const TPointXYZ p = catheter.At(s);
        out.push_back({static_cast<int>(std::lround(column(p) + jitter * random.Normal())),
                       static_cast<int>(std::lround(p.y + jitter * random.Normal()))});
    }
    return out;
}

} // namespace detail

inline Card MakeCard(const CardRecipe& recipe)
{
    Card card;
    card.recipe = recipe;
    card.catheter = Catheter(recipe.shape);
    const double length = card.catheter.Length();
    detail::Random random(recipe.seed);
    const auto laoArcs = detail::ClickArcs(recipe, length, recipe.laoPoints, recipe.laoTopGap, recipe.laoBottomGap, random);
    const auto raoArcs = detail::ClickArcs(recipe, length, recipe.raoPoints, recipe.raoTopGap, recipe.raoBottomGap, random);
    WallContour lao = detail::Clicks(card.catheter, laoArcs, recipe.jitter, random, [](const TPointXYZ& p) { return p.x; });
    WallContour rao =
        detail::Clicks(card.catheter, raoArcs, recipe.jitter, random, [](const TPointXYZ& p) { return kRaoColumn0 - p.z; });
    if (recipe.fromBottom) {
        std::reverse(lao.begin(), lao.end());
        std::reverse(rao.begin(), rao.end());
    }
    if (recipe.laoReversed)
        std::reverse(lao.begin(), lao.end());
    if (recipe.raoReversed)
        std::reverse(rao.begin(), rao.end());
    card.input.laoCatheter = lao;
    card.input.raoCatheter = rao;

    const double top = std::max(recipe.laoTopGap, recipe.raoTopGap);
    const double bottom = length - std::max(recipe.laoBottomGap, recipe.raoBottomGap);
    const bool laoFromBottom = recipe.fromBottom != recipe.laoReversed;
    card.truthStart = laoFromBottom ? bottom : top;
    card.truthEnd = laoFromBottom ? top : bottom;
    return card;
}

// The card with N frames (outer and inner walls left empty).
inline kestrova::reconstruction::ReconstructionInput WithFrames(const Card& card, int frames)
{
    kestrova::reconstruction::ReconstructionInput in = card.input;
    in.frameCount = frames;
    return in;
}

// The table of ordinary cards: 20 to 80 uneven clicks, a pixel of jitter, the two
// tracings ending a few pixels apart, traced from either end.
inline std::vector<CardRecipe> OrdinaryCards()
{
    std::vector<CardRecipe> cards;
    const int clicks[][2] = {{20, 24}, {31, 28}, {45, 52}, {60, 41}, {80, 75}, {25, 66}, {38, 38}, {72, 22}};
    const double gaps[][4] = {{0, 3, 4, 0}, {5, 0, 0, 2}, {2, 2, 0, 5}, {0, 0, 6, 1},
                              {3, 5, 1, 0}, {0, 4, 3, 3}, {6, 1, 0, 0}, {1, 0, 2, 6}};
    for (int i = 0; i < 8; ++i) {
        CardRecipe c;
        c.name = "coronary" + std::to_string(i + 1);
        c.laoPoints = clicks[i][0];
        c.raoPoints = clicks[i][1];
        c.laoTopGap = gaps[i][0];
        c.laoBottomGap = gaps[i][1];
        c.raoTopGap = gaps[i][2];
        c.raoBottomGap = gaps[i][3];
        c.fromBottom = i % 3 == 2;
        c.seed = 101 + i;
        cards.push_back(c);
    }
    return cards;
}

// Few clicks: 5 or 6 per view.
inline std::vector<CardRecipe> FewClickCards()
{
    std::vector<CardRecipe> cards;
    const int clicks[][2] = {{5, 6}, {6, 5}, {6, 6}, {5, 5}};
    for (int i = 0; i < 4; ++i) {
        CardRecipe c;
        c.name = "fewclicks" + std::to_string(i + 1);
        c.laoPoints = clicks[i][0];
        c.raoPoints = clicks[i][1];
        c.laoBottomGap = i;
        c.raoTopGap = 3 - i;
        c.fromBottom = i == 3;
        c.seed = 301 + i;
        cards.push_back(c);
    }
    return cards;
}

// A dense tracing of `points` points per view (a point every pixel or less), with
// sub-pixel jitter before rounding.
inline CardRecipe DenseCard(int points, std::uint32_t seed = 7)
{
    CardRecipe c;
    c.name = "dense" + std::to_string(points);
    c.dense = true;
    c.laoPoints = points;
    c.raoPoints = points;
    c.jitter = 0.3;
    c.raoTopGap = 2;
    c.laoBottomGap = 1;
    c.seed = seed;
    return c;
}

inline CardRecipe ShapedCard(Shape shape, std::uint32_t seed, int laoClicks = 50, int raoClicks = 46)
{
    CardRecipe c;
    c.name = shape == Shape::LevelStretch ? "level" : shape == Shape::TurnsBack ? "turnsback" : "coronary";
    c.name += std::to_string(seed);
    c.shape = shape;
    c.laoPoints = laoClicks;
    c.raoPoints = raoClicks;
    c.raoTopGap = 3;
    c.laoBottomGap = 2;
    c.seed = seed;
    return c;
}

} // namespace realistic_cards
