#include "reconstruction/core/surface_export.h"

#include "spline/vsf.h"
#include "study/replace_file.h"

#include <sstream>
#include <vector>

namespace kestrova::reconstruction {

std::string SurfaceFileName(Wall wall, int patientCode)
{
    return std::string(wall == Wall::Outer ? "outerSurface_" : "innerSurface_") + std::to_string(patientCode) + ".vsf";
}

SurfaceFile ComposeSurfaceFile(const spline_surface& surface, Wall wall, int patientCode,
                               const std::filesystem::path& folder)
{
    // The text is composed before any file is opened, so a failure never leaves a
    // half-written file behind.
    std::ostringstream text;
    writeVashSurface(&surface, text);
    return {folder / SurfaceFileName(wall, patientCode), text.str()};
}

void WriteSurfaceFiles(std::span<const SurfaceFile> files)
{
    std::vector<FileContent> contents;
    contents.reserve(files.size());
    for (const SurfaceFile& file : files)
        contents.push_back({file.path, file.text});
    try {
        ReplaceFiles(contents);
    } catch (const FileWriteError& e) {
        throw SurfaceExportError((e.step() == FileWriteError::Step::Create ? "Unable to open output file.\n"
                                                                           : "Unable to write the output file.\n") +
                                 std::string(e.what()));
    }
}

std::filesystem::path ExportSurfaceFile(const spline_surface* surface, Wall wall, int patientCode,
                                        const std::filesystem::path& folder)
{
    if (!surface)
        throw SurfaceExportError(std::string("There is no ") + (wall == Wall::Outer ? "outer" : "inner") +
                                 " wall surface to export: the reconstruction fitted none.");
    const SurfaceFile file = ComposeSurfaceFile(*surface, wall, patientCode, folder);
    WriteSurfaceFiles({&file, 1});
    return file.path;
}

} // namespace kestrova::reconstruction
