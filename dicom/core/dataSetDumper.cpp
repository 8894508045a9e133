#include "dicom/core/dataSetDumper.h"

#include "dicom/core/dataHandler.h"
#include "dicom/core/dataHandlerRaw.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace Halvoran::Varnix
{

namespace
{
std::string toUtf8(const std::wstring& text)
{
    std::string result;
    for (wchar_t wc : text)
    {
        const std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (c < 0x80)
            result.push_back(static_cast<char>(c));
        else if (c < 0x800)
        {
            result.push_back(static_cast<char>(0xC0 | (c >> 6)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            result.push_back(static_cast<char>(0xE0 | (c >> 12)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            result.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
            result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return result;
}

std::string tagText(std::uint16_t groupId, std::uint16_t tagId)
{
    char text[16];
    std::snprintf(text, sizeof(text), "(%04x,%04x)", groupId, tagId);
    return text;
}

bool isOneOf(const std::string& dataType, const char* list)
{
    return dataType.size() == 2 && std::string(list).find(dataType) != std::string::npos;
}

std::string hexValue(const ptr<handlers::dataHandlerRaw>& raw, std::uint32_t wordSize, std::uint32_t maxBinaryBytes)
{
    const std::uint32_t size = raw->getSize();
    const std::uint8_t* bytes = raw->getMemoryBuffer();
    std::string text;
    char piece[8];
    std::uint32_t shown = 0;
    for (std::uint32_t at = 0; at + wordSize <= size; at += wordSize)
    {
        if (shown + wordSize > maxBinaryBytes)
        {
            text += "...";
            return text;
        }
        if (at != 0)
            text += "\\";
        if (wordSize == 2)
        {
            std::uint16_t word;
            std::memcpy(&word, bytes + at, 2);
            std::snprintf(piece, sizeof(piece), "%04x", word);
        }
        else
            std::snprintf(piece, sizeof(piece), "%02x", bytes[at]);
        text += piece;
        shown += wordSize;
    }
    return text;
}

// The stored text of a plain string value, without its padding.
std::string storedText(const ptr<handlers::dataHandlerRaw>& raw)
{
    std::string text(reinterpret_cast<const char*>(raw->getMemoryBuffer()), raw->getSize());
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string valueText(const ptr<data>& pData, std::uint32_t bufferId, std::uint32_t maxBinaryBytes)
{
    const std::string dataType = pData->getDataType();
    if (isOneOf(dataType, "DA DT TM"))
        return storedText(pData->getDataHandlerRaw(bufferId, false, ""));
    if (isOneOf(dataType, "AE AS CS DS IS LO LT PN SH ST UI UT"))
    {
        ptr<handlers::dataHandler> handler = pData->getDataHandler(bufferId, false, "");
        const char* separator = dataType == "PN" ? "=" : "\\";
        std::string text;
        for (std::uint32_t i = 0; i < handler->getSize(); ++i)
        {
            handler->setPointer(i);
            if (i != 0)
                text += separator;
            text += toUtf8(handler->getUnicodeString());
        }
        return text;
    }
    if (isOneOf(dataType, "US UL SS SL FL FD AT"))
    {
        ptr<handlers::dataHandler> handler = pData->getDataHandler(bufferId, false, "");
        std::string text;
        char piece[40];
        handler->setPointer(0);
        for (std::uint32_t i = 0; handler->pointerIsValid(); ++i)
        {
            if (i != 0)
                text += "\\";
            if (dataType == "US" || dataType == "UL")
                std::snprintf(piece, sizeof(piece), "%u", handler->getUnsignedLongIncPointer());
            else if (dataType == "SS" || dataType == "SL")
                std::snprintf(piece, sizeof(piece), "%d", handler->getSignedLongIncPointer());
            else if (dataType == "FL")
                std::snprintf(piece, sizeof(piece), "%.9g", handler->getDoubleIncPointer());
            else if (dataType == "FD")
                std::snprintf(piece, sizeof(piece), "%.17g", handler->getDoubleIncPointer());
            else
            {
                const std::uint32_t group = handler->getUnsignedLongIncPointer();
                const std::uint32_t element = handler->pointerIsValid() ? handler->getUnsignedLongIncPointer() : 0;
                std::snprintf(piece, sizeof(piece), "(%04x,%04x)", group, element);
            }
            text += piece;
        }
        return text;
    }
    return hexValue(pData->getDataHandlerRaw(bufferId, false, ""), dataType == "OW" ? 2 : 1, maxBinaryBytes);
}
} // namespace

void dataSetDumper::dump(const ptr<dataSet>& pDataSet, std::ostream& out, std::uint32_t maxBinaryBytes)
{
    dumpDataSet(pDataSet, out, 0, maxBinaryBytes);
}

void dataSetDumper::dumpDataSet(const ptr<dataSet>& pDataSet, std::ostream& out, std::uint32_t indent,
                                std::uint32_t maxBinaryBytes)
{
    ptr<dataCollectionIterator<dataGroup>> groups = pDataSet->getDataIterator();
    for (; groups->isValid(); groups->incIterator())
    {
        ptr<dataCollectionIterator<data>> tags = groups->getData()->getDataIterator();
        for (; tags->isValid(); tags->incIterator())
            dumpTag(tags->getData(), groups->getId(), tags->getId(), out, indent, maxBinaryBytes);
    }
}

void dataSetDumper::dumpTag(const ptr<data>& pData, std::uint16_t groupId, std::uint16_t tagId, std::ostream& out,
                            std::uint32_t indent, std::uint32_t maxBinaryBytes)
{
    const std::string margin(indent, ' ');
    std::string dataType = pData->getDataType();
    const bool bSequence = pData->getDataSetsCount() != 0;
    if (bSequence && dataType.empty())
        dataType = "SQ";
    if (dataType.empty())
        dataType = "??";

    if (bSequence)
    {
        out << margin << tagText(groupId, tagId) << ' ' << dataType << '\n';
        for (std::uint32_t item = 0; item < pData->getDataSetsCount(); ++item)
        {
            out << margin << "  (fffe,e000) na\n";
            if (ptr<dataSet> itemDataSet = pData->getDataSet(item))
                dumpDataSet(itemDataSet, out, indent + 4, maxBinaryBytes);
        }
        return;
    }
    if (pData->getBuffersCount() > 1)
    {
        // Encapsulated pixel data: the offset table and the fragments.
        out << margin << tagText(groupId, tagId) << ' ' << dataType << '\n';
        for (std::uint32_t fragment = 0; pData->bufferExists(fragment); ++fragment)
        {
            const std::string value =
                hexValue(pData->getDataHandlerRaw(fragment, false, ""), dataType == "OW" ? 2 : 1, maxBinaryBytes);
            out << margin << "  (fffe,e000) pi" << (value.empty() ? "" : " ") << value << '\n';
        }
        return;
    }
    const std::string value = pData->bufferExists(0) ? valueText(pData, 0, maxBinaryBytes) : std::string();
    out << margin << tagText(groupId, tagId) << ' ' << dataType << (value.empty() ? "" : " ") << value << '\n';
}

} // namespace Halvoran::Varnix
