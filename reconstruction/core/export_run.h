// One run of "Export to XML" or "Export to Rhino3D" over a card's stored rows: frame
// sizes from the recordings' frame files 0, the three file contents, the writes, and
// the texts of the closing message.
//
// Every file's content is composed before the first byte is written, so a card that
// cannot be exported (no usable millimetre scale) leaves the output folder untouched.
// Every write is checked; a file that could not be written keeps its old content, is
// reported as such and is never listed as exported.
#pragma once

#include "reconstruction/core/export_files.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace exports {

enum class ExportKind { Xml, CadScript };

// The stored rows of one card that the exports read.
struct CardRows {
    int patientCode = -1;
    double pixelSpacing = 0.0;  // the patient row's `pixelSpacing`, 0 when null
    Calibration calibration;    // the open card's calibration points and distance
    AngioTracing lao;           // the angio row's LAO and RAO lists (empty without a row)
    AngioTracing rao;
    IvusRows ivus;
    // One line per stored wall contour the reader left out (naming its wall, frame and
    // card); the files hold the other contours.
    std::vector<std::string> warnings;
};

struct FileResult {
    std::filesystem::path path;
    std::string error;  // empty when the file was written
    bool ok() const { return error.empty(); }
};

struct ExportOutcome {
    std::string refusal;            // when set, nothing was written
    std::vector<FileResult> files;  // LAO, RAO, IVUS, in that order
    bool allWritten() const;
};

// The width and height of an image file; empty when the file is missing or unreadable.
std::optional<FrameSize> ReadFrameSize(const std::filesystem::path& file);

// The sizes written for LAO, RAO and IVUS: a recording without a readable frame file 0
// takes the size of the recording before it (0 x 0 for LAO).
std::array<FrameSize, 3> CarriedFrameSizes(const std::optional<FrameSize>& lao,
                                           const std::optional<FrameSize>& rao,
                                           const std::optional<FrameSize>& ivus);

// The file name of a recording's export: the code, then "_LAO.xml", "_RAO.txt" and so on.
std::string ExportFileName(ExportKind kind, int patientCode, const std::string& recording);

// Composes and writes the three files of the card into the output folder.
ExportOutcome RunExport(ExportKind kind, const std::filesystem::path& programFolder,
                        const std::filesystem::path& outputFolder, const CardRows& card);

// The closing message: the heading followed by "1) <path>\n" for each written file
// (numbered by recording: LAO 1, RAO 2, IVUS 3).
std::string SummaryText(ExportKind kind, const ExportOutcome& outcome);

// The files that could not be written, one "<n>) <path>: <reason>\n" line each; empty
// when every file was written.
std::string FailureText(const ExportOutcome& outcome);

// Writes bytes as the file, replacing it whole (study/replace_file.h): a file that
// cannot be written keeps its old content. Returns the reason of a failure ("cannot be
// created (<system's reason>)" or "cannot be written (...)"), empty on success.
std::string WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace exports
