// The wall surfaces written as the toolkit's surface text files
// "<folder>/outerSurface_<code>.vsf" and "innerSurface_<code>.vsf", by the 3D view (one
// wall at a time) and by the `reconstruct` command (every fitted wall, all or none).
#pragma once

#include <filesystem>
#include <span>
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

// A surface file composed and not yet written: where it goes and its whole text.
struct SurfaceFile {
    std::filesystem::path path;
    std::string text;
};

// The file of one wall's surface in the folder.
SurfaceFile ComposeSurfaceFile(const spline_surface& surface, Wall wall, int patientCode,
                               const std::filesystem::path& folder);

// Replaces every file whole (study/replace_file.h): each is written beside its name first,
// and only when all are written does each take the place of the old one. When one cannot
// be created ("Unable to open output file.") or written ("Unable to write the output
// file."), followed by "<path>: <system's reason>", SurfaceExportError says so and every
// old file of the set is left as it was.
void WriteSurfaceFiles(std::span<const SurfaceFile> files);

// Writes the surface into the folder (an existing file of that name is replaced whole) and
// returns the file's path. Without a surface nothing is created and the error names the
// wall; a failure is reported as WriteSurfaceFiles reports it, the old file unchanged.
std::filesystem::path ExportSurfaceFile(const spline_surface* surface, Wall wall, int patientCode,
                                       const std::filesystem::path& folder);

} // namespace kestrova::reconstruction
