#include "reconstruction/core/surface_export.h"

#include "spline/vsf.h"

#include <fstream>
#include <sstream>
#include <system_error>

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
    const auto removeUpTo = [&](std::size_t last) {
        std::error_code ignored;
        for (std::size_t j = 0; j <= last; ++j)
            std::filesystem::remove(files[j].path, ignored);
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::ofstream out(files[i].path, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            if (i > 0)
                removeUpTo(i - 1);
            throw SurfaceExportError("Unable to open output file.\n" + files[i].path.string());
        }
        out.write(files[i].text.data(), static_cast<std::streamsize>(files[i].text.size()));
        out.close();
        if (!out) {
            removeUpTo(i);
            throw SurfaceExportError("Unable to write the output file.\n" + files[i].path.string());
        }
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
