// Fixtures shared by the export tests: the fixture card (code 7) whose golden files live in
// tests/data/reconstruction/export/, temporary folders and small process helpers.
#pragma once

#include "reconstruction/core/export_run.h"

#include <filesystem>
#include <locale>
#include <string>
#include <utility>
#include <vector>

namespace export_test {

using Coords = std::vector<std::pair<int, int>>;

// The contour of one stored wall row with these coordinates.
WallContour WallRowOf(const Coords& points);
WallContour PointsOf(const Coords& points);

// The fixture card restated by goldens.py: LAO 512 x 512, RAO 640 x 480, IVUS 400 x 300.
exports::CardRows FixtureCard();

// Folder of the golden files.
std::filesystem::path GoldenFolder();

// A fresh folder removed when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes a grey JPEG frame file of the given size (its folders created).
void WriteFrame(const std::filesystem::path& file, int width, int height);

// The program folder of the fixture card with its three frame files 0.
void WriteFixtureFrames(const std::filesystem::path& programFolder);

std::string ReadBytes(const std::filesystem::path& file);

// Runs a shell command; returns its exit status and standard output.
std::pair<int, std::string> RunCommand(const std::string& command);

std::string Quote(const std::filesystem::path& path);

// For a scope, a comma decimal separator for C formatting (setlocale, from a locale built
// with localedef in a temporary folder) and for C++ streams (the global locale).
class ScopedCommaDecimal {
public:
    ScopedCommaDecimal();
    ~ScopedCommaDecimal();
    ScopedCommaDecimal(const ScopedCommaDecimal&) = delete;
    ScopedCommaDecimal& operator=(const ScopedCommaDecimal&) = delete;
    // Whether the C locale could be switched (localedef worked).
    bool CLocaleSet() const { return cLocaleSet_; }

private:
    TempFolder folder_;
    bool hadLocPath_ = false;
    std::string savedLocPath_;
    std::string savedNumeric_;
    bool cLocaleSet_ = false;
    std::locale savedGlobal_;
};

}  // namespace export_test
