#include "reconstruction/core/export_testutil.h"

#include "study/frame_files.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace export_test {

WallContour WallRowOf(const Coords& points)
{
    return PointsOf(points);
}

WallContour PointsOf(const Coords& points)
{
    WallContour list;
    for (const auto& [x, y] : points)
        list.push_back({x, y});
    return list;
}

exports::CardRows FixtureCard()
{
    exports::CardRows card;
    card.patientCode = 7;
    card.pixelSpacing = 0.0123;
    card.calibration = {{0, 0}, {0, 0}, 1.0};
    card.lao.catheter = PointsOf({{10, 20}, {15, 30}, {22, 41}});
    card.lao.lumenA = PointsOf({{5, 6}, {7, 8}});
    card.lao.width = PointsOf({{100, 200}, {110, 190}});
    card.rao.catheter = PointsOf({{10, 20}, {600, 470}});
    card.rao.lumenA = PointsOf({{1, 1}});
    card.rao.lumenB = PointsOf({{2, 3}, {4, 5}});
    card.ivus.catheterCenter = {200, 150};
    card.ivus.outer = {WallRowOf({{100, 100}, {130, 100}, {100, 140}, {100, 100}}),
                       WallRowOf({{1, 3}, {2, 4}}), WallRowOf({{5, 6}})};
    card.ivus.inner = {WallRowOf({{110, 110}, {120, 110}, {110, 120}, {110, 110}}),
                       WallRowOf({{-3, 7}, {8, -9}})};
    return card;
}

std::filesystem::path GoldenFolder()
{
    return std::filesystem::path(KESTROVA_TEST_DATA) / "reconstruction" / "export";
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-export-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteFrame(const std::filesystem::path& file, int width, int height)
{
    std::filesystem::create_directories(file.parent_path());
    const cv::Mat image(height, width, CV_8UC1, cv::Scalar(90));
    if (!cv::imwrite(file.string(), image))
        throw std::runtime_error("cannot write " + file.string());
}

void WriteFixtureFrames(const std::filesystem::path& programFolder)
{
    WriteFrame(FrameFilePath(programFolder, 7, "LAO", 0), 512, 512);
    WriteFrame(FrameFilePath(programFolder, 7, "RAO", 0), 640, 480);
    WriteFrame(FrameFilePath(programFolder, 7, "IVUS", 0), 400, 300);
}

std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::pair<int, std::string> RunCommand(const std::string& command)
{
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {-1, {}};
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string Quote(const std::filesystem::path& path)
{
    std::string quoted = "'";
    for (char c : path.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

namespace {

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

}  // namespace

ScopedCommaDecimal::ScopedCommaDecimal()
{
    const std::string source = (folder_.path() / "comma").string();
    {
        std::ofstream out(source);
        out << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
    }
    RunCommand("localedef -c -i " + Quote(source) + " -f ANSI_X3.4-1968 " + Quote(folder_.path() / "xx_COMMA") +
               " >/dev/null 2>&1");
    const char* oldLocPath = std::getenv("LOCPATH");
    hadLocPath_ = oldLocPath != nullptr;
    savedLocPath_ = oldLocPath ? oldLocPath : "";
    setenv("LOCPATH", folder_.path().c_str(), 1);
    savedNumeric_ = std::setlocale(LC_NUMERIC, nullptr);
    cLocaleSet_ = std::setlocale(LC_NUMERIC, "xx_COMMA") != nullptr;
    savedGlobal_ = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
}

ScopedCommaDecimal::~ScopedCommaDecimal()
{
    std::locale::global(savedGlobal_);
    std::setlocale(LC_NUMERIC, savedNumeric_.c_str());
    if (hadLocPath_)
        setenv("LOCPATH", savedLocPath_.c_str(), 1);
    else
        unsetenv("LOCPATH");
}

}  // namespace export_test
