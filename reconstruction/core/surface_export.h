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

// Writes every file (an existing file of that name is replaced), or none: when one cannot
// be opened ("Unable to open output file." with its path) or written ("Unable to write the
// output file." with its path), the files already written and the partial one are removed
// and SurfaceExportError says which.
void WriteSurfaceFiles(std::span<const SurfaceFile> files);

// Writes the surface into the folder (an existing file of that name is replaced) and
// returns the file's path. Without a surface nothing is created and the error names the
// wall; a file that cannot be opened gives "Unable to open output file." with the path; a
// failed write removes the partial file and says so.
std::filesystem::path ExportSurfaceFile(const spline_surface* surface, Wall wall, int patientCode,
                                       const std::filesystem::path& folder);

} // namespace kestrova::reconstruction
