// What the text VRs in the declared character sets share: decoding and encoding their
// bytes with ISO 2022 escapes, and the table of DICOM character sets.
#pragma once

#include "dicom/base/charsetConversion.h"
#include "dicom/core/dataHandlerString.h"

#include <stdexcept>

namespace Halvoran::Varnix::handlers
{

// One row of the Specific Character Set table: the DICOM defined term, the
// ISO 2022 escape that switches to it (empty when it is not reached by an
// escape) and the conversion table that holds its bytes.
struct dicomCharsetInformation
{
    const wchar_t* m_dicomName;
    const char* m_escapeSequence;
    const char* m_isoRegistration;
};

class dataHandlerStringUnicodeException : public std::runtime_error
{
public:
    explicit dataHandlerStringUnicodeException(const std::string& message) : std::runtime_error(message) {}
};

// The default character set of a value is not in the table.
class dataHandlerStringUnicodeExceptionUnknownCharset : public dataHandlerStringUnicodeException
{
public:
    explicit dataHandlerStringUnicodeExceptionUnknownCharset(const std::string& message)
        : dataHandlerStringUnicodeException(message)
    {
    }
};

// Some character of a value being written back cannot be represented in any
// character set of the table: the write-back is refused and the buffer keeps
// its previous value.
class dataHandlerStringUnicodeExceptionUnencodable : public dataHandlerStringUnicodeException
{
public:
    explicit dataHandlerStringUnicodeExceptionUnencodable(const std::string& message)
        : dataHandlerStringUnicodeException(message)
    {
    }
};

// Restores a converter's selection when the scope ends.
class saveCharsetConversionState
{
public:
    explicit saveCharsetConversionState(charsetConversion* pConversion)
        : m_pConversion(pConversion), m_savedState(pConversion->currentTableName())
    {
    }
    ~saveCharsetConversionState()
    {
        try
        {
            if (m_savedState.empty())
                m_pConversion->close();
            else
                m_pConversion->initialize(m_savedState);
        }
        catch (...)
        {
        }
    }
    saveCharsetConversionState(const saveCharsetConversionState&) = delete;
    saveCharsetConversionState& operator=(const saveCharsetConversionState&) = delete;

private:
    charsetConversion* m_pConversion;
    std::string m_savedState;
};

// Base of the handlers of LO, LT, PN, SH, ST and UT: values are stored in the
// value's Specific Character Sets, switched with ISO 2022 escapes.
class dataHandlerStringUnicode : public dataHandlerString
{
public:
    // The table, ended by a row with a null name.
    static const dicomCharsetInformation* getCharsetTable();
    // The first row named exactly name, or null.
    static const dicomCharsetInformation* getCharsetInfo(const std::wstring& name);

    void setCharsetInfo(const charsetsList::tCharsetsList* pCharsetsList) override;
    void getCharsetList(charsetsList::tCharsetsList* pCharsetsList) override;

    // Refuses (throws) when characters had to be left out of the bytes.
    void buildBuffer(const ptr<memory>& memoryBuffer) override;

    std::wstring convertToUnicode(const std::string& value) override;
    // Characters no set can represent are left out (see charactersDropped).
    std::string convertFromUnicode(const std::wstring& value) override;

    // Whether the last convertFromUnicode left characters out.
    bool charactersDropped() const { return m_bCharactersDropped; }

protected:
    charsetConversion m_charsetConversion;
    bool m_bCharactersDropped = false;
};

} // namespace Halvoran::Varnix::handlers
