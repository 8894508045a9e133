// Files that cannot be read: the DICOM toolkit's exceptions turned into what a user can act
// on. The toolkit names the failure (its exception class and English text); the file's
// first bytes tell what kind of file it is when the failure alone does not.
#include "app/prompter.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/codec.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/jpegCodec.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <typeinfo>

namespace {

using namespace Halvoran;
using namespace Halvoran::Varnix;

// The innermost exception of a chain of nested ones.
std::exception_ptr Innermost(std::exception_ptr e)
{
    for (;;) {
        try {
            std::rethrow_exception(e);
        } catch (const std::nested_exception& nested) {
            if (!nested.nested_ptr())
                return e;
            e = nested.nested_ptr();
        } catch (...) {
            return e;
        }
    }
}

bool IsToolkitException(const std::exception& e)
{
    return exceptionsManager::typeName(typeid(e)).rfind("Halvoran::", 0) == 0;
}

// What the start of a file says about it.
struct FileStart {
    bool dicom = false;          // "DICM" after the preamble, or an old NEMA start
    std::string transferSyntax;  // (0002,0010), empty when the file has no meta group
};

std::uint32_t Le(const QByteArray& b, qsizetype at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

FileStart ReadFileStart(const QString& path)
{
    FileStart start;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return start;
    const QByteArray head = file.read(64 * 1024);
    if (head.size() >= 132 && head.mid(128, 4) == "DICM") {
        start.dicom = true;
        // The meta group: explicit VR, low byte first.
        for (qsizetype at = 132; at + 8 <= head.size() && Le(head, at, 2) == 0x0002;) {
            const std::uint32_t element = Le(head, at + 2, 2);
            const QByteArray vr = head.mid(at + 4, 2);
            const bool longForm = vr == "OB" || vr == "OW" || vr == "OF" || vr == "SQ" || vr == "UT" || vr == "UN";
            if (longForm && at + 12 > head.size())
                break;
            const qsizetype header = longForm ? 12 : 8;
            const qsizetype length = longForm ? Le(head, at + 8, 4) : Le(head, at + 6, 2);
            if (length > head.size() - at - header)
                break;
            if (element == 0x0010) {
                QByteArray uid = head.mid(at + header, length);
                while (!uid.isEmpty() && (uid.back() == '\0' || uid.back() == ' '))
                    uid.chop(1);
                start.transferSyntax = uid.toStdString();
            }
            at += header + length;
        }
        return start;
    }
    // An old NEMA file: a group 0008 tag (short element, short length) at offset 0.
    start.dicom = head.size() >= 8 && head[0] == 0x08 && head[1] == 0 && head[3] == 0 && head[6] == 0 &&
                  head[7] == 0;
    return start;
}

// The name of a compression that no reader of this workstation handles, by transfer syntax.
std::optional<QString> UnreadCompression(const std::string& uid)
{
    const std::string jpeg = "1.2.840.10008.1.2.4.";
    if (uid == "1.2.840.10008.1.2.1.99")
        return QStringLiteral("deflate");
    if (uid.rfind(jpeg, 0) != 0)
        return std::nullopt;
    const std::string n = uid.substr(jpeg.size());
    if (n == "80" || n == "81")
        return QStringLiteral("JPEG-LS");
    if (n == "90" || n == "91" || n == "92" || n == "93" || n == "201" || n == "202" || n == "203")
        return QStringLiteral("JPEG 2000");
    if (n == "100" || n == "101" || n == "102" || n == "103" || n == "104" || n == "105" || n == "106")
        return QStringLiteral("MPEG video");
    if (n == "107" || n == "108")
        return QStringLiteral("HEVC video");
    if (n == "110" || n == "111" || n == "112")
        return QStringLiteral("JPEG XL");
    if (n == "50" || n == "51" || n == "57" || n == "70")
        return std::nullopt;
    return QStringLiteral("JPEG process ") + QString::fromStdString(uid);
}

// The start-of-frame marker of the first JPEG stream in the file's first bytes (0 when
// none is found): its marker segments are walked from the start-of-image marker on.
std::uint8_t FirstJpegFrameMarker(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(1024 * 1024);
    const qsizetype soi = head.indexOf(QByteArray("\xFF\xD8\xFF", 3));
    if (soi < 0)
        return 0;
    for (qsizetype at = soi + 2; at + 4 <= head.size();) {
        if (static_cast<std::uint8_t>(head[at]) != 0xFF)
            return 0;
        const std::uint8_t marker = static_cast<std::uint8_t>(head[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan: no frame header before
            return 0;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        at += 2 + ((static_cast<std::uint8_t>(head[at + 2]) << 8) | static_cast<std::uint8_t>(head[at + 3]));
    }
    return 0;
}

// Which JPEG process the decoder refused: from its text when it says so, else from the
// frame header of the file's JPEG stream.
QString JpegKind(const QString& path, const std::string& text)
{
    const QString t = QString::fromStdString(text);
    if (t.contains(QLatin1String("progressive"), Qt::CaseInsensitive))
        return QStringLiteral("progressive JPEG");
    if (t.contains(QLatin1String("arithmetic"), Qt::CaseInsensitive))
        return QStringLiteral("arithmetic-coded JPEG");
    const std::uint8_t marker = FirstJpegFrameMarker(path);
    if (marker >= 0xC9)
        return QStringLiteral("arithmetic-coded JPEG");
    if (marker == 0xC2 || marker == 0xC6)
        return QStringLiteral("progressive JPEG");
    if (marker == 0xC5 || marker == 0xC7)
        return QStringLiteral("hierarchical JPEG");
    return QStringLiteral("a JPEG process other than baseline, extended and lossless");
}

QString Compression(const QString& name)
{
    return QStringLiteral("uses a compression this workstation does not read (") + name + QLatin1Char(')');
}

// What is wrong with the file, from the innermost toolkit exception and the file itself.
QString ToolkitReason(const QString& path, const std::exception& e)
{
    const QFileInfo info(path);
    if (dynamic_cast<const streamExceptionOpen*>(&e) || dynamic_cast<const streamExceptionRead*>(&e)) {
        if (info.isDir())
            return QStringLiteral("is a folder, not a file");
        if (!info.exists())
            return QStringLiteral("cannot be found");
        return dynamic_cast<const streamExceptionOpen*>(&e)
                   ? QStringLiteral("cannot be opened: check that you may read it")
                   : QStringLiteral("cannot be read from the disk");
    }
    if (dynamic_cast<const codecs::jpegCodecCannotHandleSyntax*>(&e))
        return Compression(JpegKind(path, e.what()));

    const FileStart start = ReadFileStart(path);
    if (!start.dicom || dynamic_cast<const codecs::codecExceptionWrongFormat*>(&e))
        return QStringLiteral("is not a DICOM file");
    if (const auto compression = UnreadCompression(start.transferSyntax))
        return Compression(*compression);
    if (dynamic_cast<const streamExceptionEOF*>(&e))
        return QStringLiteral("is incomplete: it ends before its last value");
    if (dynamic_cast<const codecs::codecExceptionCorruptedFile*>(&e) ||
        dynamic_cast<const dataSetCorruptedOffsetTable*>(&e))
        return QStringLiteral("is damaged");
    if (dynamic_cast<const dataSetExceptionUnknownTransferSyntax*>(&e))
        return Compression(QString::fromStdString(start.transferSyntax));
    if (dynamic_cast<const dataSetImageDoesntExist*>(&e))
        return QStringLiteral("holds no image this workstation can read");
    return QStringLiteral("cannot be read");
}

} // namespace

bool IsDicomToolkitFailure(std::exception_ptr error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(Innermost(error));
    } catch (const std::exception& e) {
        return IsToolkitException(e);
    } catch (...) {
    }
    return false;
}

QString FileFailureText(const QString& path, std::exception_ptr error)
{
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = QDir::toNativeSeparators(path);
    const QString file = QStringLiteral("The file \"") + name + QStringLiteral("\" ");
    const QString outer = ExceptionText(error);
    try {
        if (error)
            std::rethrow_exception(Innermost(error));
    } catch (const std::exception& e) {
        if (IsToolkitException(e))
            return file + ToolkitReason(path, e) + QStringLiteral(".\nDetail: ") + QString::fromStdString(e.what());
    } catch (...) {
    }
    // The importer's own texts are meant for the user; a file that is not DICOM at all, or
    // uses a compression no reader here handles, is said so first.
    const FileStart start = ReadFileStart(path);
    QString reason;
    if (QFileInfo(path).isDir())
        reason = QStringLiteral("is a folder, not a file");
    else if (!start.dicom && QFileInfo::exists(path))
        reason = QStringLiteral("is not a DICOM file");
    else if (const auto compression = UnreadCompression(start.transferSyntax))
        reason = Compression(*compression);
    if (!reason.isEmpty())
        return file + reason + (outer.isEmpty() ? QString() : QStringLiteral(".\nDetail: ") + outer);
    return file + QStringLiteral("cannot be imported") +
           (outer.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + outer);
}
