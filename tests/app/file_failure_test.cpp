// The message seam's text for files that cannot be read: the exception's kind, nested or
// not, and the JPEG process named by the decoder's text.
#include "app/prompter.h"

#include "dicom/base/streamException.h"
#include "dicom/core/jpegCodec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

std::exception_ptr Nested(const std::exception_ptr& inner)
{
    try {
        try {
            std::rethrow_exception(inner);
        } catch (...) {
            std::throw_with_nested(std::runtime_error("wrapped"));
        }
    } catch (...) {
        return std::current_exception();
    }
    return {};
}

} // namespace

TEST(FileFailure, NamesTheFileAndWhatIsWrong)
{
    using Halvoran::Varnix::codecs::jpegCodecCannotHandleSyntax;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dicom = dir.filePath("run.dcm");
    {
        QFile f(dicom);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(128, '\0') + "DICM" + QByteArray("\x02\x00\x10\x00UI\x14\x00", 8) +
                "1.2.840.10008.1.2.1" + QByteArray(1, '\0'));
    }
    const QString j2k = dir.filePath("j2k.dcm");
    {
        QFile f(j2k);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(128, '\0') + "DICM" + QByteArray("\x02\x00\x10\x00UI\x16\x00", 8) +
                "1.2.840.10008.1.2.4.90");
    }
    struct Case {
        std::exception_ptr error;
        QString text;
        QString file = "run.dcm";
    };
    const auto progressive = std::make_exception_ptr(jpegCodecCannotHandleSyntax("Progressive JPEG is not supported"));
    const Case cases[] = {
        {progressive,
         "The file \"run.dcm\" uses a compression this workstation does not read (progressive JPEG).\n"
         "Detail: Progressive JPEG is not supported"},
        {Nested(std::make_exception_ptr(jpegCodecCannotHandleSyntax("arithmetic coding is not supported"))),
         "The file \"run.dcm\" uses a compression this workstation does not read (arithmetic-coded JPEG).\n"
         "Detail: arithmetic coding is not supported"},
        {Nested(std::make_exception_ptr(Halvoran::streamExceptionEOF("Attempt to read past the end of the file"))),
         "The file \"run.dcm\" is incomplete: it ends before its last value.\nDetail: Attempt to read past the end of the file"},
        {std::make_exception_ptr(std::runtime_error("The transfer syntax 1.2.840.10008.1.2.4.90 of the file is not supported")),
         "The file \"j2k.dcm\" uses a compression this workstation does not read (JPEG 2000).\n"
         "Detail: transfer syntax 1.2.840.10008.1.2.4.90", "j2k.dcm"},
        {std::make_exception_ptr(std::runtime_error("The number of frames \"x\" is not a positive whole number")),
         "The file \"run.dcm\" cannot be imported: The number of frames \"x\" is not a positive whole number"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileFailureText(dir.filePath(c.file), c.error), c.text);

    EXPECT_TRUE(IsDicomToolkitFailure(progressive));
    EXPECT_TRUE(IsDicomToolkitFailure(Nested(progressive)));
    EXPECT_FALSE(IsDicomToolkitFailure(std::make_exception_ptr(std::runtime_error("No space left on device"))));
    EXPECT_FALSE(IsDicomToolkitFailure({}));
}
