#include "reconstruction/core/reconstruction.h"

#include "reconstruction/core/catheter_path.h"
#include "reconstruction/core/step_timer.h"
#include "reconstruction/core/wall_placement.h"

#include <algorithm>

namespace kestrova::reconstruction {
namespace {

constexpr int kSteps = 3; // path, outer wall, inner wall

void Progress(const ReconstructionHooks& hooks, int done)
{
    if (hooks.progress)
        hooks.progress(done, kSteps);
}

} // namespace

Reconstruction ReconstructVessel(const ReconstructionInput& input, const ReconstructionHooks& hooks)
{
    if (hooks.times)
        *hooks.times = StepTimes{};
    Reconstruction r;
    CatheterPath path = BuildCatheterPath(input, r.warnings, hooks);
    r.catheterPath = std::move(path.points);
    r.pathTangents = std::move(path.frames.tangents);
    r.pathNormals = std::move(path.frames.normals);
    r.pathBinormals = std::move(path.frames.binormals);
    r.lines.push_back(SceneLine{"catheter", -1, 5, Rgb{127, 0, 255}, kReconstructionScale, r.catheterPath});
    Progress(hooks, 1);

    if (!input.skippedWallFrames.empty()) {
        std::vector<long long> frames;
        for (int k : input.skippedWallFrames)
            frames.push_back(static_cast<long long>(k) + 1);
        std::sort(frames.begin(), frames.end());
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        r.warnings.push_back("Stored wall contours of frame" + std::string(frames.size() > 1 ? "s " : " ") +
                             NumberRanges(frames) + " were left out: past the card's " +
                             std::to_string(input.frameCount) + " analysed frames.");
    }

    // No outer contour at all: neither wall is shown.
    const auto hasPoints = [](const WallContour& c) { return !c.empty(); };
    if (std::none_of(input.outerWalls.begin(), input.outerWalls.end(), hasPoints)) {
        Progress(hooks, kSteps);
        return r;
    }

    struct WallSource {
        const std::vector<WallContour>* contours;
        const char* name;
        const char* title;
        Rgb colour;
        SurfaceHandle* surface;
    };
    const WallSource walls[2] = {
        {&input.outerWalls, "outer", "Outer", Rgb{255, 255, 255}, &r.outerSurface},
        {&input.innerWalls, "inner", "Inner", Rgb{0, 0, 255}, &r.innerSurface},
    };
    int done = 1;
    for (const WallSource& w : walls) {
        PlacedWall placed;
        {
            StepTimer timer(Slot(hooks.times, &StepTimes::placement));
            placed = PlaceWall(*w.contours, input.catheterCentre, input.frameCount, r.catheterPath, r.pathTangents,
                               w.name, w.colour, r.warnings);
        }
        {
            StepTimer timer(Slot(hooks.times, &StepTimes::surfaces));
            *w.surface = FitWallSurface(placed, w.title, r.warnings);
        }
        for (SceneLine& line : placed.lines)
            r.lines.push_back(std::move(line));
        Progress(hooks, ++done);
    }
    return r;
}

} // namespace kestrova::reconstruction
