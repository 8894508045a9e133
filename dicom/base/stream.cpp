#include "dicom/base/stream.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/utf8.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Halvoran
{

namespace
{
int openFlags(const std::string& mode)
{
    if (mode == "rb")
        return O_RDONLY;
    if (mode == "wb")
        return O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == "ab")
        return O_WRONLY | O_CREAT | O_APPEND;
    if (mode == "r+b")
        return O_RDWR;
    if (mode == "w+b")
        return O_RDWR | O_CREAT | O_TRUNC;
    if (mode == "a+b")
        return O_RDWR | O_CREAT | O_APPEND;
    return -1;
}
} // namespace

stream::stream() : m_file(-1) {}

stream::~stream()
{
    if (m_file >= 0)
        ::close(m_file);
}

std::string stream::modeText(std::ios_base::openmode mode)
{
    using std::ios_base;
    const ios_base::openmode flags = mode & ~ios_base::binary;
    const char* text = "";
    if (flags == ios_base::in)
        text = "rb";
    else if (flags == ios_base::out || flags == (ios_base::out | ios_base::trunc))
        text = "wb";
    else if (flags == (ios_base::out | ios_base::app))
        text = "ab";
    else if (flags == (ios_base::in | ios_base::out))
        text = "r+b";
    else if (flags == (ios_base::in | ios_base::out | ios_base::app))
        text = "a+b";
    else if (flags == (ios_base::in | ios_base::out | ios_base::trunc))
        text = "w+b";
    else
        text = "b";
    return text;
}

void stream::openFile(const std::string& fileName, std::ios_base::openmode mode)
{
    HALVORAN_FUNCTION_START(L"stream::openFile (ansi)")

    openNarrow(fileName, mode, halvoranMethodName_);

    HALVORAN_FUNCTION_END()
}

void stream::openFile(const std::wstring& fileName, std::ios_base::openmode mode)
{
    HALVORAN_FUNCTION_START(L"stream::openFile (unicode)")

    openNarrow(wideToUtf8(fileName), mode, halvoranMethodName_);

    HALVORAN_FUNCTION_END()
}

void stream::openNarrow(const std::string& fileName, std::ios_base::openmode mode,
                        const wchar_t* halvoranMethodName_)
{
    if (m_file >= 0)
    {
        const int result = ::close(m_file);
        m_file = -1;
        if (result != 0)
            HALVORAN_THROW(streamExceptionClose, "Error while closing the file");
    }

    const int flags = openFlags(modeText(mode));
    if (flags >= 0)
        m_file = ::open(fileName.c_str(), flags | O_CLOEXEC, 0666);
    if (m_file < 0)
        HALVORAN_THROW(streamExceptionOpen, "stream::openFile failure");
}

void stream::write(std::uint32_t position, const std::uint8_t* pSource, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"stream::write")

    lockObject lock(this);
    if (m_file < 0)
        HALVORAN_THROW(streamExceptionWrite, "stream::seek failure");
    std::uint32_t written = 0;
    while (written < length)
    {
        const ssize_t result = ::pwrite(m_file, pSource + written, length - written,
                                        static_cast<off_t>(position) + written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            HALVORAN_THROW(streamExceptionWrite, "stream::write failure");
        written += static_cast<std::uint32_t>(result);
    }

    HALVORAN_FUNCTION_END()
}

std::uint32_t stream::read(std::uint32_t position, std::uint8_t* pDestination, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"stream::read")

    lockObject lock(this);
    if (m_file < 0)
        return 0;
    std::uint32_t done = 0;
    while (done < length)
    {
        const ssize_t result = ::pread(m_file, pDestination + done, length - done, static_cast<off_t>(position) + done);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            HALVORAN_THROW(streamExceptionRead, "stream::read failure");
        if (result == 0)
            break;
        done += static_cast<std::uint32_t>(result);
    }
    return done;

    HALVORAN_FUNCTION_END()
}

std::uint64_t stream::getSize()
{
    lockObject lock(this);
    struct stat info;
    if (m_file < 0 || ::fstat(m_file, &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace Halvoran
