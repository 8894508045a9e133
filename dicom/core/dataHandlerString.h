// What the string VR handlers share: splitting a value into its parts and converting
// them to and from numbers and text.
#pragma once

#include "dicom/core/dataHandler.h"

#include <string>
#include <vector>

namespace Halvoran::Varnix::handlers
{

// Common part of the handlers of the string VRs: the values as a list of
// wide strings and the index of the current one.
class dataHandlerString : public dataHandler
{
public:
    dataHandlerString();

    void setPointer(std::uint32_t elementNumber) override;
    void incPointer() override;
    bool pointerIsValid() override;
    void setSize(std::uint32_t elementsNumber) override;
    std::uint32_t getSize() override;
    void parseBuffer(const ptr<memory>& memoryBuffer) override;
    void buildBuffer(const ptr<memory>& memoryBuffer) override;

    std::int32_t getSignedLong() override;
    std::uint32_t getUnsignedLong() override;
    double getDouble() override;
    std::string getString() override;
    std::wstring getUnicodeString() override;
    void setSignedLong(std::int32_t value) override;
    void setUnsignedLong(std::uint32_t value) override;
    void setDouble(double value) override;
    void setString(const std::string& value) override;
    void setUnicodeString(const std::wstring& value) override;

    // Bytes to text and back. The plain VRs take each byte as one
    // character of ISO 8859-1 (0x80-0xFF give U+0080-U+00FF) and write the
    // low 8 bits of each character, so every byte string round-trips.
    virtual std::wstring convertToUnicode(const std::string& value);
    virtual std::string convertFromUnicode(const std::wstring& value);
    // Longest value setUnicodeString stores; 0 means no limit.
    virtual std::uint32_t maxSize();
    // Character between two values; 0 means the VR holds one value.
    virtual wchar_t getSeparator();

    // Number reading as a classic-locale wide stream extracts it: leading
    // blanks, an optional sign, digits; a text that does not start with a
    // number reads as 0.
    static std::int32_t readSigned(const std::wstring& text);
    static std::uint32_t readUnsigned(const std::wstring& text);
    static double readDouble(const std::wstring& text);

protected:
    std::uint32_t m_elementNumber;
    std::vector<std::wstring> m_strings;
};

} // namespace Halvoran::Varnix::handlers
