// The surface export of the 3D view: a wall surface written as the toolkit's surface text
// file "<folder>/outerSurface_<code>.vsf" (or innerSurface_...).
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

struct spline_surface;

namespace kestrova::reconstruction {

enum class Wall { Outer, Inner };

// The export could not be done; what() is the message for the user.
class SurfaceExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "outerSurface_<code>.vsf" or "innerSurface_<code>.vsf".
std::string SurfaceFileName(Wall wall, int patientCode);

// Writes the surface into the folder (an existing file of that name is replaced) and
// returns the file's path. Without a surface nothing is created and the error names the
// wall; a file that cannot be opened gives "Unable to open output file." with the path; a
// failed write removes the partial file and says so.
std::filesystem::path ExportSurfaceFile(const spline_surface* surface, Wall wall, int patientCode,
                                       const std::filesystem::path& folder);

} // namespace kestrova::reconstruction
