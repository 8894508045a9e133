// The user's text for recordings the import refuses, as the wizard and the command-line
// tools give it: the compression a user knows by name with the transfer syntax UID on
// the detail line, and the hostile recordings by what is wrong with them.
#include "import/core/file_failure.h"
#include "import/core/dicom_bytes.h"
#include "import/core/frame_extractor.h"
#include "import/core/temp_dir.h"

#include "dicom/core/dataSet.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::GreyFile;
using studyimport::testing::TempDir;
using studyimport::testing::WriteBytes;

namespace {

// What the wizard says when "Browse..." picks the file.
std::string RefusalOf(const std::string& path)
{
    try {
        ReadDicomSummary(path);
    } catch (...) {
        return FileFailureText(path, std::current_exception());
    }
    return "accepted";
}

} // namespace

TEST(FileFailureText, NamesTheCompressionWithTheTransferSyntaxAsTheDetail)
{
    TempDir tmp;
    struct Case {
        const char* uid;
        const char* name; // nullptr: not a compression
    };
    const Case cases[] = {
        {"1.2.840.10008.1.2.4.90", "JPEG 2000"},
        {"1.2.840.10008.1.2.4.91", "JPEG 2000"},
        {"1.2.840.10008.1.2.4.201", "High-Throughput JPEG 2000"},
        {"1.2.840.10008.1.2.4.80", "JPEG-LS"},
        {"1.2.840.10008.1.2.4.81", "JPEG-LS"},
        {"1.2.840.10008.1.2.1.99", "deflate"},
        {"1.2.840.10008.1.2.4.100", "MPEG-2 video"},
        {"1.2.840.10008.1.2.4.100.1", "MPEG-2 video"},
        {"1.2.840.10008.1.2.4.102", "MPEG-4 video"},
        {"1.2.840.10008.1.2.4.106", "MPEG-4 video"},
        {"1.2.840.10008.1.2.4.107", "HEVC video"},
        {"1.2.840.10008.1.2.4.110", "JPEG XL"},
        {"1.2.840.10008.1.2.4.55", "progressive JPEG"},
        {"1.2.840.10008.1.2.4.52", "arithmetic-coded JPEG"},
        {"1.2.840.10008.1.2.4.61", "hierarchical JPEG"},
        {"1.2.3.4.5", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uid);
        const std::string path = WriteBytes(tmp.path() / "run.dcm", GreyFile(8, 8, "1", std::string(64, '\0'), c.uid));
        const std::string expected =
            c.name ? std::string("The file \"run.dcm\" uses a compression this workstation does not read (") + c.name +
                         ").\nDetail: transfer syntax " + c.uid
                   : std::string("The file \"run.dcm\" uses a transfer syntax this workstation does not read.\n"
                                 "Detail: transfer syntax ") +
                         c.uid;
        EXPECT_EQ(RefusalOf(path), expected);
    }
    // The syntaxes read here name no compression.
    for (const char* read : {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2", "1.2.840.10008.1.2.5",
                             "1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51", "1.2.840.10008.1.2.4.57",
                             "1.2.840.10008.1.2.4.70"})
        EXPECT_FALSE(UnreadCompression(read)) << read;
}

// A toolkit failure in a file of an unread compression keeps the toolkit's text beside
// the UID; a hostile frame count is named with its numbers.
TEST(FileFailureText, ToolkitTextsAndFrameCountsStayOnTheDetailLine)
{
    TempDir tmp;
    const std::string deflated =
        WriteBytes(tmp.path() / "deflated.dcm",
              std::string(128, '\0') + "DICM" + studyimport::testing::Element(0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1.99") +
                  std::string("\x63\x60\x60\x60\xf8\xff\x9f\x81\xc1\xc8\xd8\xc4\xd2\xca\xde\xcd", 16));
    EXPECT_EQ(RefusalOf(deflated), "The file \"deflated.dcm\" uses a compression this workstation does not read "
                                   "(deflate).\nDetail: transfer syntax 1.2.840.10008.1.2.1.99 (dicomCodec::readTag "
                                   "detected a corrupted tag)");
    const std::string hostile =
        WriteBytes(tmp.path() / "hostile.dcm", GreyFile(8, 8, "2147483647", std::string(64, '\0')));
    EXPECT_EQ(RefusalOf(hostile), "The file \"hostile.dcm\" cannot be imported: The number of frames (0028,0008) of "
                                  "the file states 2147483647 frames, but its pixel data of 64 bytes hold 1 frame");
}

// The toolkit's texts reach the user on the detail line, under what they mean; a frame
// that the offset table does not find is a damaged file.
TEST(FileFailureText, ToolkitFailuresDuringTheExtractionAreToldByWhatTheyMean)
{
    TempDir tmp;
    const std::string path = WriteBytes(tmp.path() / "run.dcm", GreyFile(8, 8, "1", std::string(64, '\0')));
    const auto nested = [](std::exception_ptr inner) {
        try {
            try {
                std::rethrow_exception(inner);
            } catch (...) {
                std::throw_with_nested(DicomImportError("Frame 1 cannot be read"));
            }
        } catch (...) {
            return std::current_exception();
        }
        return std::exception_ptr();
    };
    using Halvoran::Varnix::dataSetImageDoesntExist;
    struct Case {
        std::exception_ptr error;
        const char* text;
    };
    const Case cases[] = {
        {nested(std::make_exception_ptr(dataSetImageDoesntExist("Image not in the table offset"))),
         "The file \"run.dcm\" is damaged.\nDetail: Image not in the table offset"},
        {nested(std::make_exception_ptr(dataSetImageDoesntExist("The requested image doesn't exist"))),
         "The file \"run.dcm\" holds no image this workstation can read.\nDetail: The requested image doesn't exist"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsDicomToolkitFailure(c.error));
        EXPECT_EQ(FileFailureText(path, c.error), c.text);
    }
}
