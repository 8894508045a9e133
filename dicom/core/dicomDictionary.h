// The DICOM dictionary: each standard tag's value representation, and each VR's rules.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace Halvoran::Varnix
{

// The value representations and the standard attributes with their VR.
// One instance per process, built on first use and read-only afterwards.
class dicomDictionary
{
public:
    struct validDataTypesStruct
    {
        // The explicit-VR header carries 2 reserved bytes and a 32-bit length.
        bool m_longLength;
        // Size of the units whose byte order follows the stream's.
        std::uint32_t m_wordLength;
        std::uint32_t m_maxLength;
    };

    struct imageDataDictionaryElement
    {
        std::wstring m_tagName;
        std::string m_tagType;
    };

    static dicomDictionary* instance();

    void registerVR(std::string dataType, bool bLongLength, std::uint32_t wordSize, std::uint32_t maxLength);
    void registerTag(std::uint32_t tagId, const wchar_t* tagName, const char* tagType);

    // The VR of a standard tag; empty when the tag is unknown or has none.
    std::string getTagType(std::uint16_t groupId, std::uint16_t tagId) const;
    std::wstring getTagName(std::uint16_t groupId, std::uint16_t tagId) const;
    bool isDataTypeValid(std::string dataType) const;
    bool getLongLength(std::string dataType) const;
    std::uint32_t getWordSize(std::string dataType) const;
    std::uint32_t getMaxSize(std::string dataType) const;

    std::size_t tagsCount() const { return m_dicomDict.size(); }

private:
    dicomDictionary();

    std::map<std::uint32_t, imageDataDictionaryElement> m_dicomDict;
    std::map<std::string, validDataTypesStruct> m_vrDict;
};

} // namespace Halvoran::Varnix
