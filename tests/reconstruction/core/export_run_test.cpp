// A whole export run over the fixture card: golden files, xmllint, an ElementTree reading,
// frame sizes, overwriting, refusals and failed writes.
#include "reconstruction/core/export_run.h"
#include "reconstruction/core/export_testutil.h"
#include "study/frame_files.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace exports;
using namespace export_test;
namespace fs = std::filesystem;

namespace {

const char* kRecordings[] = {"LAO", "RAO", "IVUS"};

class ExportRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFixtureFrames(program.path());
        output = program.path() / "out";
        fs::create_directories(output);
    }

    fs::path OutputFile(ExportKind kind, const char* recording) const
    {
        return output / ExportFileName(kind, 7, recording);
    }

    TempFolder program;
    fs::path output;
};

// Debian's interpreter when present: it starts much faster than a version-manager shim.
std::string Python()
{
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

std::string EtreeDump(const fs::path& xml)
{
    const auto [status, out] =
        RunCommand(Python() + " " + Quote(GoldenFolder() / "etree_dump.py") + " " + Quote(xml));
    EXPECT_EQ(status, 0) << xml;
    return out;
}

std::string PointsText(const WallContour& points)
{
    std::string text;
    for (const PixelPoint& p : points)
        text += " " + std::to_string(p.x) + "," + std::to_string(p.y);
    return text;
}

std::string ListDump(const char* name, const WallContour& points)
{
    const std::string n = std::to_string(points.size());
    return std::string(name) + " " + n + " " + n + PointsText(points) + "\n";
}

}  // namespace

TEST_F(ExportRun, FixtureCardMatchesTheGoldenFiles)
{
    for (ExportKind kind : {ExportKind::Xml, ExportKind::CadScript}) {
        const ExportOutcome outcome = RunExport(kind, program.path(), output, FixtureCard());
        ASSERT_TRUE(outcome.refusal.empty()) << outcome.refusal;
        ASSERT_EQ(outcome.files.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const fs::path file = OutputFile(kind, kRecordings[i]);
            SCOPED_TRACE(file.string());
            EXPECT_TRUE(outcome.files[i].ok()) << outcome.files[i].error;
            EXPECT_EQ(outcome.files[i].path, file);
            const std::string bytes = ReadBytes(file);
            EXPECT_EQ(bytes, ReadBytes(GoldenFolder() / file.filename()));
            // every line break is CR LF
            for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
                ASSERT_TRUE(at > 0 && bytes[at - 1] == '\r') << "bare LF at byte " << at;
        }
        EXPECT_TRUE(outcome.allWritten());
        EXPECT_EQ(FailureText(outcome), "");
    }

    const ExportOutcome xml = RunExport(ExportKind::Xml, program.path(), output, FixtureCard());
    EXPECT_EQ(SummaryText(ExportKind::Xml, xml),
              "The following XML files exported successfully:\n\n"
              "1) " + (output / "7_LAO.xml").string() + "\n"
              "2) " + (output / "7_RAO.xml").string() + "\n"
              "3) " + (output / "7_IVUS.xml").string() + "\n");
    const ExportOutcome cad = RunExport(ExportKind::CadScript, program.path(), output, FixtureCard());
    EXPECT_EQ(SummaryText(ExportKind::CadScript, cad),
              "The following Rhino3D files exported successfully:\n\n"
              "1) " + (output / "7_LAO.txt").string() + "\n"
              "2) " + (output / "7_RAO.txt").string() + "\n"
              "3) " + (output / "7_IVUS.txt").string() + "\n");
}

TEST_F(ExportRun, XmlFilesAreWellFormed)
{
    CardRows empty;  // no angio row, no ivus row, no wall rows
    empty.patientCode = 8;
    empty.pixelSpacing = 0.05;
    for (const CardRows& card : {FixtureCard(), empty}) {
        const ExportOutcome outcome = RunExport(ExportKind::Xml, program.path(), output, card);
        ASSERT_TRUE(outcome.allWritten());
        for (const FileResult& file : outcome.files) {
            const auto [status, out] = RunCommand("xmllint --noout " + Quote(file.path) + " 2>&1");
            EXPECT_EQ(status, 0) << file.path << "\n" << out;
        }
    }
}

TEST_F(ExportRun, ElementTreeReadsBackTheRows)
{
    const CardRows card = FixtureCard();
    ASSERT_TRUE(RunExport(ExportKind::Xml, program.path(), output, card).allWritten());

    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "LAO")),
              "root LAO 512 512\n" + ListDump("catheter", card.lao.catheter) +
                  ListDump("lumenA", card.lao.lumenA) + ListDump("lumenB", card.lao.lumenB) +
                  ListDump("catheterWidth", card.lao.width));
    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "RAO")),
              "root RAO 640 480\n" + ListDump("catheter", card.rao.catheter) +
                  ListDump("lumenA", card.rao.lumenA) + ListDump("lumenB", card.rao.lumenB) +
                  ListDump("catheterWidth", card.rao.width));

    // The wall rows restated as coordinates, independent of the point-list reader.
    const std::vector<Coords> outer = {{{100, 100}, {130, 100}, {100, 140}, {100, 100}},
                                       {{1, 3}, {2, 4}},
                                       {{5, 6}}};
    const std::vector<Coords> inner = {{{110, 110}, {120, 110}, {110, 120}, {110, 110}},
                                       {{-3, 7}, {8, -9}}};
    std::string expected = "root IVUS 400 300\n";
    for (const auto& [name, rows] : {std::pair{"outerWall", outer}, std::pair{"innerWall", inner}}) {
        const std::string f = std::to_string(rows.size());
        expected += std::string(name) + " " + f + " " + f + "\n";
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string n = std::to_string(rows[i].size());
            expected += "points " + n + " " + std::to_string(5 * (i + 1)) + " " + n +
                        PointsText(PointsOf(rows[i])) + "\n";
        }
    }
    expected += "catheterCenter 200 150\n";
    const std::string dump = EtreeDump(OutputFile(ExportKind::Xml, "IVUS"));
    ASSERT_EQ(dump.substr(0, expected.size()), expected);

    // arcLength: 30 + 50 + 40 pixels at 0.0123 mm; pixelSpacing: the patient row's value.
    double arcLength = 0, pixelSpacing = 0;
    std::istringstream tail(dump.substr(expected.size()));
    std::string word;
    tail >> word >> arcLength;
    EXPECT_EQ(word, "arcLength");
    tail >> word >> pixelSpacing;
    EXPECT_EQ(word, "pixelSpacing");
    EXPECT_DOUBLE_EQ(arcLength, 120 * 0.0123);
    EXPECT_DOUBLE_EQ(pixelSpacing, 0.0123);
}

TEST_F(ExportRun, SecondExportOverwritesTheFiles)
{
    for (const char* recording : kRecordings)
        std::ofstream(OutputFile(ExportKind::CadScript, recording))
            << std::string(100000, 'x');  // longer than any of the files
    for (int run = 0; run < 2; ++run)
        ASSERT_TRUE(RunExport(ExportKind::CadScript, program.path(), output, FixtureCard()).allWritten());
    for (const char* recording : kRecordings) {
        const fs::path file = OutputFile(ExportKind::CadScript, recording);
        EXPECT_EQ(ReadBytes(file), ReadBytes(GoldenFolder() / file.filename())) << file;
    }
}

TEST(ExportPaths, OutputNames)
{
    EXPECT_EQ(ExportFileName(ExportKind::Xml, 12, "RAO"), "12_RAO.xml");
    EXPECT_EQ(ExportFileName(ExportKind::CadScript, 12, "IVUS"), "12_IVUS.txt");
}

TEST_F(ExportRun, MissingFrameFileZeroKeepsThePreviousSize)
{
    EXPECT_EQ(CarriedFrameSizes(std::nullopt, FrameSize{3, 4}, std::nullopt),
              (std::array<FrameSize, 3>{FrameSize{0, 0}, FrameSize{3, 4}, FrameSize{3, 4}}));

    CardRows card = FixtureCard();
    card.rao.catheter = PointsOf({{10, 20}});
    fs::remove(FrameFilePath(program.path(), 7, "RAO", 0));
    ASSERT_TRUE(RunExport(ExportKind::Xml, program.path(), output, card).allWritten());
    ASSERT_TRUE(RunExport(ExportKind::CadScript, program.path(), output, card).allWritten());
    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "RAO")).substr(0, 17), "root RAO 512 512\n");
    EXPECT_EQ(ReadBytes(OutputFile(ExportKind::CadScript, "RAO")).substr(0, 23),
              "_Interpcrv\r\n502,0,492\r\n");

    // A damaged LAO frame file counts as missing: 0 x 0 for LAO.
    std::ofstream(FrameFilePath(program.path(), 7, "LAO", 0), std::ios::trunc) << "not a JPEG";
    ASSERT_TRUE(RunExport(ExportKind::Xml, program.path(), output, card).allWritten());
    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "LAO")).substr(0, 13), "root LAO 0 0\n");
    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "RAO")).substr(0, 13), "root RAO 0 0\n");
    EXPECT_EQ(EtreeDump(OutputFile(ExportKind::Xml, "IVUS")).substr(0, 18), "root IVUS 400 300\n");
}

TEST_F(ExportRun, UnusableCardsAreRefusedBeforeAnythingIsWritten)
{
    CardRows uncalibrated = FixtureCard();
    uncalibrated.pixelSpacing = 0.0;
    uncalibrated.calibration = {{120, 80}, {120, 80}, 1.0};

    for (const CardRows& card : {uncalibrated})
        for (ExportKind kind : {ExportKind::Xml, ExportKind::CadScript}) {
            const ExportOutcome outcome = RunExport(kind, program.path(), output, card);
            EXPECT_FALSE(outcome.refusal.empty());
            EXPECT_TRUE(outcome.files.empty());
            EXPECT_FALSE(outcome.allWritten());
            EXPECT_TRUE(fs::is_empty(output));
        }

    // Calibrated without a pixel spacing: exported with the calibration's scale.
    uncalibrated.calibration = {{0, 0}, {30, 40}, 2.0};
    EXPECT_TRUE(RunExport(ExportKind::CadScript, program.path(), output, uncalibrated).allWritten());
    EXPECT_NE(ReadBytes(OutputFile(ExportKind::CadScript, "IVUS")).find("calibration_video = 25\r\n"),
              std::string::npos);
}

TEST_F(ExportRun, FailedWritesAreReportedNotListed)
{
    // A folder in the place of the RAO file: that file cannot be created.
    fs::create_directories(OutputFile(ExportKind::Xml, "RAO"));
    const ExportOutcome outcome = RunExport(ExportKind::Xml, program.path(), output, FixtureCard());
    ASSERT_EQ(outcome.files.size(), 3u);
    EXPECT_TRUE(outcome.files[0].ok());
    EXPECT_FALSE(outcome.files[1].ok());
    EXPECT_TRUE(outcome.files[2].ok());
    EXPECT_FALSE(outcome.allWritten());

    const std::string summary = SummaryText(ExportKind::Xml, outcome);
    EXPECT_EQ(summary, "The following XML files exported successfully:\n\n"
                       "1) " + (output / "7_LAO.xml").string() + "\n"
                       "3) " + (output / "7_IVUS.xml").string() + "\n");
    const std::string failures = FailureText(outcome);
    EXPECT_EQ(failures.rfind("The following files could not be written:\n\n2) " +
                                 (output / "7_RAO.xml").string() + ": ",
                             0),
              0u)
        << failures;

    // An output folder that does not exist: nothing is written, every file is reported.
    const ExportOutcome nowhere =
        RunExport(ExportKind::CadScript, program.path(), output / "missing", FixtureCard());
    ASSERT_EQ(nowhere.files.size(), 3u);
    for (const FileResult& file : nowhere.files)
        EXPECT_FALSE(file.ok());
    EXPECT_EQ(SummaryText(ExportKind::CadScript, nowhere),
              "The following Rhino3D files exported successfully:\n\n");
}

TEST(ExportWrite, FullDeviceIsReported)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_NE(WriteFileBytes("/dev/full", std::string(1 << 16, 'x')), "");
}

// Replacing a good export when the disk fills up (a file-size limit in a child process
// stands for it): each file is its old self or its new self, whole, and the one that
// did not fit is reported with the system's reason.
TEST_F(ExportRun, AGoodExportSurvivesAFullDisk)
{
    for (ExportKind kind : {ExportKind::Xml, ExportKind::CadScript}) {
        SCOPED_TRACE(kind == ExportKind::Xml ? "XML" : "CAD");
        ASSERT_TRUE(RunExport(kind, program.path(), output, FixtureCard()).allWritten());
        std::string good[3];
        for (int i = 0; i < 3; ++i)
            good[i] = ReadBytes(OutputFile(kind, kRecordings[i]));

        // A card whose IVUS file grows past the limit, its LAO file changed but small.
        CardRows grown = FixtureCard();
        grown.lao.catheter.push_back({30, 50});
        Coords ring;
        for (int j = 0; j < 400; ++j)
            ring.push_back({100 + j % 37, 200 - j % 23});
        grown.ivus.outer.push_back(WallRowOf(ring));
        const std::string fresh[3] = {
            kind == ExportKind::Xml ? AngioXmlFile(Projection::LAO, {512, 512}, grown.lao)
                                    : AngioCadScript(Projection::LAO, {512, 512}, grown.lao),
            good[1], ""};
        ASSERT_LT(fresh[0].size(), 4096u);

        const child_process::Result r = child_process::Run([&]() -> std::string {
            if (!child_process::LimitFileSize(4096))
                return "cannot set up: setrlimit";
            return FailureText(RunExport(kind, program.path(), output, grown));
        });
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "The following files could not be written:\n\n3) " +
                                OutputFile(kind, "IVUS").string() + ": cannot be written (File too large)\n");
        const std::string expected[3] = {fresh[0], good[1], good[2]};
        for (int i = 0; i < 3; ++i) {
            const std::string now = ReadBytes(OutputFile(kind, kRecordings[i]));
            EXPECT_TRUE(now == expected[i]) << kRecordings[i] << ": " << now.size() << " bytes, not "
                                            << expected[i].size();
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(output), fs::directory_iterator()), 6);
}

TEST(ExportWrite, AFileThatCannotBeReplacedKeepsItsBytes)
{
    const TempFolder folder;
    const fs::path file = folder.path() / "7_IVUS.xml";
    ASSERT_EQ(WriteFileBytes(file, "<good/>\r\n"), "");
    const child_process::Result r = child_process::Run([&]() -> std::string {
        if (!child_process::LimitFileSize(4096))
            return "cannot set up: setrlimit";
        return WriteFileBytes(file, std::string(20000, 'x'));
    });
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "cannot be written (File too large)");
    EXPECT_EQ(ReadBytes(file).substr(0, 100), "<good/>\r\n");
    EXPECT_EQ(WriteFileBytes(folder.path() / "missing" / "7_LAO.xml", "x"),
              "cannot be created (No such file or directory)");
}
