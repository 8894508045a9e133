// A byte stream over a file: how the toolkit reads and writes DICOM files on disk.
#pragma once

#include "dicom/base/baseStream.h"
#include "dicom/base/streamException.h"

#include <ios>
#include <string>

namespace Halvoran
{

// A stream over a file.
class stream : public baseStream
{
public:
    stream();
    ~stream() override;

    // Opens a file (closing the one already open). The narrow name is passed
    // to the system unchanged (UTF-8 on this platform); the wide one is
    // turned into UTF-8.
    void openFile(const std::string& fileName, std::ios_base::openmode mode);
    void openFile(const std::wstring& fileName, std::ios_base::openmode mode);

    void write(std::uint32_t position, const std::uint8_t* pSource, std::uint32_t length) override;
    std::uint32_t read(std::uint32_t position, std::uint8_t* pDestination, std::uint32_t length) override;
    std::uint64_t getSize() override;

    // The C library mode text for a set of flags ("rb", "wb", ... or "b"
    // alone when the flags match no supported combination).
    static std::string modeText(std::ios_base::openmode mode);

private:
    // Closes the open file and opens the named one; failures are recorded
    // under the calling overload's trace name.
    void openNarrow(const std::string& fileName, std::ios_base::openmode mode, const wchar_t* halvoranMethodName_);

    int m_file;
};

} // namespace Halvoran
