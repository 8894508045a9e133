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

std::filesystem::path ExportSurfaceFile(const spline_surface* surface, Wall wall, int patientCode,
                                        const std::filesystem::path& folder)
{
    const std::filesystem::path path = folder / SurfaceFileName(wall, patientCode);
    if (!surface)
        throw SurfaceExportError(std::string("There is no ") + (wall == Wall::Outer ? "outer" : "inner") +
                                 " wall surface to export: the reconstruction fitted none.");
    // The text is composed first, so a failure never leaves a half-written file behind.
    std::ostringstream text;
    writeVashSurface(surface, text);
    const std::string bytes = text.str();

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        throw SurfaceExportError("Unable to open output file.\n" + path.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw SurfaceExportError("Unable to write the output file.\n" + path.string());
    }
    return path;
}

} // namespace kestrova::reconstruction
