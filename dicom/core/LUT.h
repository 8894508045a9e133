// Lookup tables of a data set's LUT sequences (the modality LUT), applied by the
// transforms to pixel values.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/core/dataHandler.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Halvoran::Varnix
{

class lutException : public std::runtime_error
{
public:
    explicit lutException(const std::string& message) : std::runtime_error(message) {}
};

class lutExceptionCorrupted : public lutException
{
public:
    explicit lutExceptionCorrupted(const std::string& message) : lutException(message) {}
};

// One lookup table of a DICOM LUT sequence item: the number of entries, the
// input value mapped to the first entry, the bits per entry and the entries.
class lut : public baseObject
{
public:
    // Loads the table from the LUT Descriptor and LUT Data handlers.
    void setLut(const ptr<handlers::dataHandler>& pDescriptor, const ptr<handlers::dataHandler>& pData,
                const std::wstring& description);
    // Discards the entries and allocates new ones, not filled.
    void create(std::uint32_t size, std::int32_t firstMapped, std::uint8_t bits, const std::wstring& description);

    std::uint32_t getSize() const { return m_size; }
    std::int32_t getFirstMapped() const { return m_firstMapped; }
    std::uint8_t getBits() const { return m_bits; }
    std::wstring getDescription() const { return m_description; }
    // Entry access for tables made with create.
    std::int32_t* getEntries() { return m_entries.empty() ? nullptr : m_entries.data(); }

    // Whether every entry fits the table's bits.
    bool checkValidDataRange();
    // The entry for an input value; inputs before the table take the first
    // entry, inputs past it the last.
    std::int32_t mappedValue(std::int32_t input) const;

protected:
    std::uint32_t m_size = 0;
    std::int32_t m_firstMapped = 0;
    std::uint8_t m_bits = 0;
    bool m_bRangeChecked = false;
    bool m_bRangeValid = false;
    std::wstring m_description;
    std::vector<std::int32_t> m_entries;
};

} // namespace Halvoran::Varnix
