// The JPEG codec's state, its marker segments and the reading of bare JPEG
// streams into data sets.
#include "dicom/core/jpegCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/streamException.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/jpegTables.h"

#include <algorithm>
#include <cstring>

namespace Halvoran::Varnix::codecs
{

using namespace jpeg;

namespace
{

// Largest frame the decoder accepts, in samples per component.
constexpr std::uint64_t maxSamplesPerChannel = 1ull << 28;

// Restores the reader's marker slot when parsing ends, normally or not.
class markerSlotGuard
{
public:
    markerSlotGuard(streamController* pStream, std::uint8_t* pSlot)
        : m_pStream(pStream), m_pSaved(pStream->m_pTagByte)
    {
        pStream->m_pTagByte = pSlot;
    }
    ~markerSlotGuard() { m_pStream->m_pTagByte = m_pSaved; }
    markerSlotGuard(const markerSlotGuard&) = delete;
    markerSlotGuard& operator=(const markerSlotGuard&) = delete;

private:
    streamController* m_pStream;
    std::uint8_t* m_pSaved;
};

std::uint8_t readUint8(streamReader* pStream)
{
    std::uint8_t value = 0;
    pStream->read(&value, 1);
    return value;
}

std::uint16_t readUint16(streamReader* pStream)
{
    std::uint8_t bytes[2];
    pStream->read(bytes, 2);
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

void writeUint8(streamWriter* pStream, std::uint32_t value)
{
    const std::uint8_t byte = static_cast<std::uint8_t>(value);
    pStream->write(&byte, 1);
}

void writeUint16(streamWriter* pStream, std::uint32_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    pStream->write(bytes, 2);
}

void skipBytes(streamReader* pStream, std::int32_t count)
{
    std::uint8_t scratch[256];
    while (count > 0)
    {
        const std::int32_t now = std::min<std::int32_t>(count, sizeof(scratch));
        pStream->read(scratch, static_cast<std::uint32_t>(now));
        count -= now;
    }
}

void loadStandardTable(huffmanTable* pTable, const std::uint8_t* pCounts, const std::uint8_t* pValues)
{
    pTable->reset();
    std::uint32_t index = 0;
    for (std::uint32_t length = 1; length <= 16; ++length)
    {
        pTable->m_valuesPerLength[length] = pCounts[length - 1];
        for (std::uint32_t n = 0; n < pCounts[length - 1]; ++n, ++index)
            pTable->m_orderedValues[index] = pValues[index];
    }
    pTable->calcHuffmanTables();
}

} // namespace

///////////////////////////////////////////////////////////////////////////////
// jpegChannel
///////////////////////////////////////////////////////////////////////////////

namespace jpeg
{

jpegChannel::jpegChannel()
{
    std::memset(m_unprocessedAmplitudesBuffer, 0, sizeof(m_unprocessedAmplitudesBuffer));
}

void jpegChannel::processUnprocessedAmplitudes()
{
    const std::int32_t count = m_unprocessedAmplitudesCount;
    m_unprocessedAmplitudesCount = 0;
    if (count == 0 || m_pBuffer == nullptr || m_width == 0)
        return;

    std::uint32_t x = m_losslessPositionX;
    std::uint32_t y = m_losslessPositionY;
    const std::int32_t* pDifferences = m_unprocessedAmplitudesBuffer;
    const std::int32_t predictorSelection = m_unprocessedAmplitudesPredictor;

    for (std::int32_t n = 0; n < count; ++n)
    {
        if (y >= m_height)
            break; // more differences than samples: the surplus is dropped
        std::int32_t* pSample = m_pBuffer + static_cast<std::size_t>(y) * m_width + x;
        const std::int32_t difference = pDifferences[n];
        if (predictorSelection == 0)
        {
            m_lastDCValue = difference & m_valuesMask;
        }
        else
        {
            const std::int32_t predictor = (y == m_losslessFirstRow) ? 1 : (x == 0 ? 2 : predictorSelection);
            const std::int32_t ra = m_lastDCValue;
            const std::int32_t rb = (y > 0) ? *(pSample - m_width) : 0;
            const std::int32_t rc = (y > 0 && x > 0) ? *(pSample - m_width - 1) : 0;
            std::int32_t prediction = ra;
            bool known = true;
            switch (predictor)
            {
            case 1: prediction = ra; break;
            case 2: prediction = rb; break;
            case 3: prediction = rc; break;
            case 4: prediction = ra + rb - rc; break;
            case 5: prediction = ra + ((rb - rc) >> 1); break;
            case 6: prediction = rb + ((ra - rc) >> 1); break;
            case 7: prediction = (ra + rb) >> 1; break;
            default: known = false; break;
            }
            if (known)
                m_lastDCValue = (prediction + difference) & m_valuesMask;
        }
        *pSample = m_lastDCValue;
        if (++x == m_width)
        {
            x = 0;
            ++y;
        }
    }
    m_losslessPositionX = x;
    m_losslessPositionY = y;
}

///////////////////////////////////////////////////////////////////////////////
// Marker segments
///////////////////////////////////////////////////////////////////////////////

void tag::writeLength(streamWriter* pStream, std::uint16_t length)
{
    HALVORAN_FUNCTION_START(L"jpeg::tag::writeLength")
    writeUint16(pStream, static_cast<std::uint32_t>(length) + 2u);
    HALVORAN_FUNCTION_END()
}

std::int32_t tag::readLength(streamReader* pStream)
{
    HALVORAN_FUNCTION_START(L"jpeg::tag::readLength")
    const std::int32_t length = readUint16(pStream);
    return length > 1 ? length - 2 : length;
    HALVORAN_FUNCTION_END()
}

void tagUnknown::writeTag(streamWriter* pStream, jpegCodec*)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagUnknown::writeTag")
    writeLength(pStream, 0);
    HALVORAN_FUNCTION_END()
}

void tagUnknown::readTag(streamReader* pStream, jpegCodec*, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagUnknown::readTag")
    skipBytes(pStream, readLength(pStream));
    HALVORAN_FUNCTION_END()
}

void tagSOF::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagSOF::writeTag")

    const std::uint32_t components = static_cast<std::uint32_t>(pCodec->m_channelsMap.size());
    writeLength(pStream, static_cast<std::uint16_t>(6 + 3 * components));
    writeUint8(pStream, static_cast<std::uint32_t>(pCodec->m_precision));
    writeUint16(pStream, pCodec->m_imageSizeY);
    writeUint16(pStream, pCodec->m_imageSizeX);
    writeUint8(pStream, components);
    for (const auto& [id, pChannel] : pCodec->m_channelsMap)
    {
        writeUint8(pStream, id);
        writeUint8(pStream, ((pChannel->m_samplingFactorX & 0x0F) << 4) | (pChannel->m_samplingFactorY & 0x0F));
        writeUint8(pStream, static_cast<std::uint32_t>(pChannel->m_quantTable));
    }

    HALVORAN_FUNCTION_END()
}

void tagSOF::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t tagEntry)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagSOF::readTag")

    std::int32_t n = readLength(pStream);
    pCodec->m_bLossless = (tagEntry == 0xC3 || tagEntry == 0xC7);
    pCodec->m_process = static_cast<std::uint8_t>(tagEntry - 0xC0);
    pCodec->m_precision = readUint8(pStream);
    pCodec->m_imageSizeY = readUint16(pStream);
    pCodec->m_imageSizeX = readUint16(pStream);
    const std::uint32_t components = readUint8(pStream);
    n -= 6;

    // Values the codec cannot work with are refused before anything is
    // allocated.
    if (pCodec->m_precision < 2 || pCodec->m_precision > 16 || pCodec->m_imageSizeX == 0 ||
        pCodec->m_imageSizeY == 0 || components == 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted SOF tag found");
    pCodec->eraseChannels();

    std::uint32_t read = 0;
    while (n > 0 && read < components)
    {
        const std::uint8_t id = readUint8(pStream);
        const std::uint8_t factors = readUint8(pStream);
        const std::uint8_t table = readUint8(pStream);
        n -= 3;
        ++read;
        const std::uint32_t factorX = factors >> 4;
        const std::uint32_t factorY = factors & 0x0F;
        if (factorX < 1 || factorX > 4 || factorY < 1 || factorY > 4 || table > 15)
            HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted SOF tag found");
        ptr<jpegChannel> pChannel(new jpegChannel);
        pChannel->m_quantTable = table;
        pChannel->m_samplingFactorX = factorX;
        pChannel->m_samplingFactorY = factorY;
        if (pCodec->m_channelsMap.count(id) == 0)
            pCodec->m_channelsOrder.push_back(id);
        pCodec->m_channelsMap[id] = pChannel;
    }
    if (n < 0 || read < components)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted SOF tag found");
    // Each component must cover a whole number of the largest factor's
    // samples (2 beside 4, not 3 beside 4 or 2 beside 3); other layouts would
    // give components of fractional size.
    std::uint32_t largestX = 1;
    std::uint32_t largestY = 1;
    for (const auto& entry : pCodec->m_channelsMap)
    {
        largestX = std::max(largestX, entry.second->m_samplingFactorX);
        largestY = std::max(largestY, entry.second->m_samplingFactorY);
    }
    for (const auto& entry : pCodec->m_channelsMap)
        if (largestX % entry.second->m_samplingFactorX != 0 || largestY % entry.second->m_samplingFactorY != 0)
            HALVORAN_THROW(jpegCodecCannotHandleSyntax,
                           "JPEG sampling factors that do not divide the largest one are not supported");
    skipBytes(pStream, n);
    pCodec->allocChannels();

    HALVORAN_FUNCTION_END()
}

void tagDHT::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDHT::writeTag")

    std::uint32_t length = 0;
    for (int pass = 0; pass < 2; ++pass)
    {
        if (pass == 1)
            writeLength(pStream, static_cast<std::uint16_t>(length));
        for (std::int32_t table = 0; table < 16; ++table)
        {
            for (std::uint32_t tableClass = 0; tableClass < 2; ++tableClass)
            {
                bool used = false;
                for (const auto& entry : pCodec->m_channelsMap)
                    used = used || (tableClass == 0 ? entry.second->m_huffmanTableDC : entry.second->m_huffmanTableAC) ==
                                       table;
                if (!used)
                    continue;
                huffmanTable* pTable = (tableClass == 0 ? pCodec->m_pHuffmanTableDC : pCodec->m_pHuffmanTableAC)[table].get();
                if (pass == 0)
                {
                    pTable->countValue(0x100);
                    pTable->calcHuffmanCodesLength(16);
                    pTable->removeLastCode();
                    pTable->calcHuffmanTables();
                    length += 17;
                    for (std::uint32_t len = 1; len <= 16; ++len)
                        length += pTable->m_valuesPerLength[len];
                    continue;
                }
                writeUint8(pStream, (tableClass << 4) | static_cast<std::uint32_t>(table));
                std::uint32_t values = 0;
                for (std::uint32_t len = 1; len <= 16; ++len)
                {
                    writeUint8(pStream, pTable->m_valuesPerLength[len]);
                    values += pTable->m_valuesPerLength[len];
                }
                for (std::uint32_t v = 0; v < values; ++v)
                    writeUint8(pStream, pTable->m_orderedValues[v]);
            }
        }
    }

    HALVORAN_FUNCTION_END()
}

void tagDHT::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDHT::readTag")

    std::int32_t n = readLength(pStream);
    while (n > 0)
    {
        const std::uint8_t classAndNumber = readUint8(pStream);
        --n;
        huffmanTable* pTable = ((classAndNumber & 0xF0) != 0 ? pCodec->m_pHuffmanTableAC
                                                            : pCodec->m_pHuffmanTableDC)[classAndNumber & 0x0F].get();
        pTable->reset();
        std::uint32_t total = 0;
        for (std::uint32_t length = 1; length <= 16; ++length)
        {
            pTable->m_valuesPerLength[length] = readUint8(pStream);
            total += pTable->m_valuesPerLength[length];
        }
        n -= 16;
        // At most 256 symbols of 8 bits; more would not fit the code space.
        if (total > 256)
        {
            pTable->reset();
            HALVORAN_THROW(codecExceptionCorruptedFile, "Corrputed tag DHT found");
        }
        for (std::uint32_t v = 0; v < total; ++v)
            pTable->m_orderedValues[v] = readUint8(pStream);
        n -= static_cast<std::int32_t>(total);
        pTable->calcHuffmanTables();
    }
    if (n < 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrputed tag DHT found");

    HALVORAN_FUNCTION_END()
}

void tagSOS::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagSOS::writeTag")

    std::uint32_t components = 0;
    while (pCodec->m_channelsList[components] != nullptr)
        ++components;
    writeLength(pStream, static_cast<std::uint16_t>(4 + 2 * components));
    writeUint8(pStream, components);
    for (std::uint32_t c = 0; c < components; ++c)
    {
        jpegChannel* pChannel = pCodec->m_channelsList[c];
        std::uint8_t id = 0;
        for (const auto& entry : pCodec->m_channelsMap)
            if (entry.second.get() == pChannel)
                id = entry.first;
        writeUint8(pStream, id);
        writeUint8(pStream, ((pChannel->m_huffmanTableDC & 0x0F) << 4) | (pChannel->m_huffmanTableAC & 0x0F));
        pChannel->m_lastDCValue = pChannel->m_defaultDCValue;
    }
    writeUint8(pStream, pCodec->m_spectralIndexStart);
    writeUint8(pStream, pCodec->m_spectralIndexEnd);
    writeUint8(pStream, ((pCodec->m_bitHigh & 0x0F) << 4) | (pCodec->m_bitLow & 0x0F));

    HALVORAN_FUNCTION_END()
}

void tagSOS::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagSOS::readTag")

    std::int32_t n = readLength(pStream);
    pCodec->m_eobRun = 0;
    pCodec->m_channelsList[0] = nullptr;
    const std::uint32_t components = readUint8(pStream);
    --n;
    if (components == 0 || pCodec->m_channelsMap.empty())
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag SOS found");
    std::uint32_t read = 0;
    while (n > 4 && read < components)
    {
        const std::uint8_t id = readUint8(pStream);
        const std::uint8_t tables = readUint8(pStream);
        n -= 2;
        const auto found = pCodec->m_channelsMap.find(id);
        if (found == pCodec->m_channelsMap.end())
            HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag SOS found");
        jpegChannel* pChannel = found->second.get();
        pChannel->processUnprocessedAmplitudes();
        pChannel->m_huffmanTableDC = tables >> 4;
        pChannel->m_huffmanTableAC = tables & 0x0F;
        pChannel->m_pActiveHuffmanTableDC = pCodec->m_pHuffmanTableDC[pChannel->m_huffmanTableDC];
        pChannel->m_pActiveHuffmanTableAC = pCodec->m_pHuffmanTableAC[pChannel->m_huffmanTableAC];
        pChannel->m_lastDCValue = pChannel->m_defaultDCValue;
        pCodec->m_channelsList[read++] = pChannel;
        pCodec->m_channelsList[read] = nullptr;
    }
    pCodec->m_spectralIndexStart = readUint8(pStream);
    pCodec->m_spectralIndexEnd = readUint8(pStream);
    const std::uint8_t approximation = readUint8(pStream);
    pCodec->m_bitHigh = approximation >> 4;
    pCodec->m_bitLow = approximation & 0x0F;
    n -= 3;
    if (n < 0 || read < components)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag SOS found");
    if (!pCodec->m_bLossless && (pCodec->m_spectralIndexEnd > 63 || pCodec->m_bitLow > 13))
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag SOS found");
    if (pCodec->m_process == 0 || pCodec->m_process == 1)
    {
        // Sequential DCT scans always carry the whole band; some writers put
        // other values in these bytes (zeros, for instance), which are
        // ignored as other decoders do.
        pCodec->m_spectralIndexStart = 0;
        pCodec->m_spectralIndexEnd = 63;
        pCodec->m_bitHigh = 0;
        pCodec->m_bitLow = 0;
    }
    skipBytes(pStream, n);
    pCodec->m_lastScanInterleaved = read > 1;
    pCodec->findMcuSize();

    HALVORAN_FUNCTION_END()
}

void tagDQT::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDQT::writeTag")

    std::uint32_t length = 0;
    for (int pass = 0; pass < 2; ++pass)
    {
        if (pass == 1)
            writeLength(pStream, static_cast<std::uint16_t>(length));
        for (std::int32_t table = 0; table < 16; ++table)
        {
            bool used = false;
            for (const auto& entry : pCodec->m_channelsMap)
                used = used || entry.second->m_quantTable == table;
            if (!used)
                continue;
            std::uint32_t precision = pCodec->m_precision > 8 ? 1 : 0;
            for (std::uint32_t k = 0; k < 64; ++k)
                if (pCodec->m_quantizationTable[table][k] >= 256)
                    precision = 1;
            if (pass == 0)
            {
                length += precision == 0 ? 65 : 129;
                continue;
            }
            writeUint8(pStream, (precision << 4) | static_cast<std::uint32_t>(table));
            for (std::uint32_t k = 0; k < 64; ++k)
            {
                const std::uint32_t value = pCodec->m_quantizationTable[table][zigZag[k]];
                if (precision == 0)
                    writeUint8(pStream, value);
                else
                    writeUint16(pStream, value);
            }
            pCodec->prepareQuantizationTables(table);
        }
    }

    HALVORAN_FUNCTION_END()
}

void tagDQT::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDQT::readTag")

    std::int32_t n = readLength(pStream);
    while (n > 0)
    {
        const std::uint8_t precisionAndTable = readUint8(pStream);
        --n;
        const int table = precisionAndTable & 0x0F;
        const bool wide = (precisionAndTable & 0xF0) != 0;
        for (std::uint32_t k = 0; k < 64; ++k)
            pCodec->m_quantizationTable[table][zigZag[k]] = wide ? readUint16(pStream) : readUint8(pStream);
        n -= wide ? 128 : 64;
        pCodec->prepareQuantizationTables(table);
    }
    if (n < 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag DQT found");

    HALVORAN_FUNCTION_END()
}

void tagDRI::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDRI::writeTag")
    writeLength(pStream, 2);
    writeUint16(pStream, pCodec->m_mcuPerRestartInterval);
    HALVORAN_FUNCTION_END()
}

void tagDRI::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagDRI::readTag")

    std::int32_t n = readLength(pStream);
    if (n < 2)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted tag DRI found");
    pCodec->m_mcuPerRestartInterval = readUint16(pStream);
    n -= 2;
    skipBytes(pStream, n);

    HALVORAN_FUNCTION_END()
}

void tagRST::writeTag(streamWriter*, jpegCodec*)
{
}

void tagRST::readTag(streamReader*, jpegCodec* pCodec, std::uint8_t tagEntry)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagRST::readTag")

    for (std::uint32_t c = 0; pCodec->m_channelsList[c] != nullptr; ++c)
    {
        jpegChannel* pChannel = pCodec->m_channelsList[c];
        pChannel->processUnprocessedAmplitudes();
        pChannel->m_lastDCValue = pChannel->m_defaultDCValue;
    }
    const std::uint32_t interval = pCodec->m_mcuPerRestartInterval;
    if (interval != 0 && pCodec->m_mcuNumberX != 0)
    {
        const std::uint32_t reached = pCodec->m_mcuProcessed;
        const std::uint32_t m = tagEntry & 7u;
        std::uint32_t k = (pCodec->m_mcuProcessed + interval - 1) / interval - 1;
        if ((k & 7u) > m)
            k += 8;
        k = k - (k & 7u) + m;
        pCodec->m_mcuProcessed = (k + 1) * interval;
        // An interval cut short, or intervals skipped with their markers.
        if (pCodec->m_mcuProcessed != reached && pCodec->m_scanOpen)
            pCodec->m_dataLost = true;
        pCodec->m_mcuProcessedY = pCodec->m_mcuProcessed / pCodec->m_mcuNumberX;
        pCodec->m_mcuProcessedX = pCodec->m_mcuProcessed % pCodec->m_mcuNumberX;
        pCodec->m_mcuLastRestart = pCodec->m_mcuProcessed;
        for (std::uint32_t c = 0; pCodec->m_channelsList[c] != nullptr; ++c)
        {
            jpegChannel* pChannel = pCodec->m_channelsList[c];
            // A lossless MCU holds blockMcuXY successive samples of a row.
            const std::uint64_t sample = static_cast<std::uint64_t>(pCodec->m_mcuProcessed) * pChannel->m_blockMcuXY;
            if (pChannel->m_width != 0)
            {
                pChannel->m_losslessPositionX = static_cast<std::uint32_t>(sample % pChannel->m_width);
                pChannel->m_losslessPositionY = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(sample / pChannel->m_width, pChannel->m_height));
                pChannel->m_losslessFirstRow = pChannel->m_losslessPositionY;
            }
        }
    }
    pCodec->m_eobRun = 0;

    HALVORAN_FUNCTION_END()
}

void tagEOI::writeTag(streamWriter*, jpegCodec*)
{
}

void tagEOI::readTag(streamReader*, jpegCodec* pCodec, std::uint8_t)
{
    pCodec->m_endOfImage = true;
}

void tagAPP14::writeTag(streamWriter* pStream, jpegCodec* pCodec)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagAPP14::writeTag")

    static const std::uint8_t adobe[5] = {'A', 'd', 'o', 'b', 'e'};
    writeLength(pStream, 12);
    pStream->write(adobe, 5);
    writeUint16(pStream, 100); // version
    writeUint16(pStream, 0);   // flags 0
    writeUint16(pStream, 0);   // flags 1
    writeUint8(pStream, static_cast<std::uint32_t>(std::max(pCodec->m_adobeTransform, 0)));

    HALVORAN_FUNCTION_END()
}

void tagAPP14::readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t)
{
    HALVORAN_FUNCTION_START(L"jpeg::tagAPP14::readTag")

    std::int32_t n = readLength(pStream);
    if (n >= 12)
    {
        std::uint8_t content[12];
        pStream->read(content, 12);
        n -= 12;
        if (std::memcmp(content, "Adobe", 5) == 0)
            pCodec->m_adobeTransform = content[11];
    }
    skipBytes(pStream, n);

    HALVORAN_FUNCTION_END()
}

} // namespace jpeg

///////////////////////////////////////////////////////////////////////////////
// jpegCodec
///////////////////////////////////////////////////////////////////////////////

jpegCodec::jpegCodec()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::jpegCodec")

    for (int table = 0; table < 16; ++table)
    {
        m_pHuffmanTableDC[table] = ptr<huffmanTable>(new huffmanTable(9));
        m_pHuffmanTableAC[table] = ptr<huffmanTable>(new huffmanTable(9));
    }
    m_channelsList[0] = nullptr;

    registerTag(0xFF, ptr<tag>(new tagUnknown));
    ptr<tag> sof(new tagSOF);
    for (std::uint8_t code : {0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        registerTag(code, sof);
    registerTag(jpegMarker::DHT, ptr<tag>(new tagDHT));
    registerTag(jpegMarker::DQT, ptr<tag>(new tagDQT));
    registerTag(jpegMarker::SOS, ptr<tag>(new tagSOS));
    registerTag(jpegMarker::EOI, ptr<tag>(new tagEOI));
    ptr<tag> rst(new tagRST);
    for (std::uint8_t code = 0xD0; code <= 0xD7; ++code)
        registerTag(code, rst);
    registerTag(jpegMarker::DRI, ptr<tag>(new tagDRI));
    registerTag(jpegMarker::APP14, ptr<tag>(new tagAPP14));

    resetInternal(false, 300);

    HALVORAN_FUNCTION_END()
}

ptr<codec> jpegCodec::createCodec()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::createCodec")
    return ptr<codec>(new jpegCodec);
    HALVORAN_FUNCTION_END()
}

void jpegCodec::registerTag(std::uint8_t tagId, const ptr<jpeg::tag>& pTag)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::registerTag")
    m_tagsMap[tagId] = pTag;
    HALVORAN_FUNCTION_END()
}

bool jpegCodec::canHandleTransferSyntax(const std::wstring& transferSyntax)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::canHandleTransferSyntax")
    return transferSyntax == L"1.2.840.10008.1.2.4.50" || transferSyntax == L"1.2.840.10008.1.2.4.51" ||
           transferSyntax == L"1.2.840.10008.1.2.4.57" || transferSyntax == L"1.2.840.10008.1.2.4.70";
    HALVORAN_FUNCTION_END()
}

bool jpegCodec::hasEncapsulatedPixelData(const std::wstring& transferSyntax)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::canHandleTransferSyntax")
    if (!canHandleTransferSyntax(transferSyntax))
        HALVORAN_THROW(codecExceptionWrongTransferSyntax, "Cannot handle the transfer syntax");
    return true;
    HALVORAN_FUNCTION_END()
}

std::uint32_t jpegCodec::getMaxHighBit(std::string transferSyntax)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::getMaxHighBit")
    if (transferSyntax == "1.2.840.10008.1.2.4.50")
        return 7;
    if (transferSyntax == "1.2.840.10008.1.2.4.51")
        return 11;
    return 15;
    HALVORAN_FUNCTION_END()
}

std::uint32_t jpegCodec::suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::suggestAllocatedBits")
    if (transferSyntax == L"1.2.840.10008.1.2.4.50")
        return 8;
    if (transferSyntax == L"1.2.840.10008.1.2.4.51")
        return 12;
    return ((highBit + 8) / 8) * 8;
    HALVORAN_FUNCTION_END()
}

void jpegCodec::eraseChannels()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::eraseChannels")
    m_channelsMap.clear();
    m_channelsOrder.clear();
    m_channelsList[0] = nullptr;
    HALVORAN_FUNCTION_END()
}

void jpegCodec::resetInternal(bool bCompression, int quality)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::resetInternal")

    eraseChannels();
    m_imageSizeX = m_imageSizeY = 0;
    m_precision = 8;
    m_maxValue = 255;
    m_process = 0;
    m_mcuPerRestartInterval = 0;
    m_mcuProcessed = m_mcuProcessedX = m_mcuProcessedY = 0;
    m_eobRun = 0;
    m_mcuLastRestart = 0;
    m_spectralIndexStart = 0;
    m_spectralIndexEnd = 63;
    m_bitHigh = m_bitLow = 0;
    m_bLossless = false;
    m_markerFound = 0;
    m_maxSamplingFactorX = m_maxSamplingFactorY = 0;
    m_mcuNumberX = m_mcuNumberY = m_mcuNumberTotal = 0;
    m_jpegImageSizeX = m_jpegImageSizeY = 0;
    m_adobeTransform = -1;
    m_lastScanInterleaved = false;
    m_scanOpen = false;
    m_anyScanData = false;
    m_dataLost = false;
    m_coefficientPastBlock = false;
    m_samplePlanes = false;
    m_coefficientBlocks = false;
    std::memset(m_coefficients, 0, sizeof(m_coefficients));

    // The standard tables scaled by quality / 300 and rounded to the nearest
    // step (halves up), in integers: quality 3 s gives the tables that libjpeg
    // writes for its scale factor s %. Entries are held to 1..255 (8-bit
    // tables); a negative quality gives the coarsest.
    const std::int64_t scale = static_cast<std::int16_t>(quality & 0xFFFF);
    for (int table = 0; table < 16; ++table)
    {
        const std::uint32_t* pStandard = table == 0 ? quantTableK1 : quantTableK2;
        for (std::uint32_t k = 0; k < 64; ++k)
        {
            if (!bCompression)
            {
                m_quantizationTable[table][k] = pStandard[k];
                continue;
            }
            const std::int64_t product = static_cast<std::int64_t>(pStandard[k]) * scale;
            const std::int64_t rounded = product < 0 ? 255 : (product + 150) / 300;
            m_quantizationTable[table][k] = static_cast<std::uint32_t>(std::clamp<std::int64_t>(rounded, 1, 255));
        }
        prepareQuantizationTables(table);
    }

    for (int table = 0; table < 16; ++table)
    {
        m_pHuffmanTableDC[table]->reset();
        m_pHuffmanTableAC[table]->reset();
        if (!bCompression)
        {
            loadStandardTable(m_pHuffmanTableDC[table].get(), table == 0 ? dcLuminanceCounts : dcChrominanceCounts,
                              table == 0 ? dcLuminanceValues : dcChrominanceValues);
            loadStandardTable(m_pHuffmanTableAC[table].get(), table == 0 ? acLuminanceCounts : acChrominanceCounts,
                              table == 0 ? acLuminanceValues : acChrominanceValues);
        }
    }

    HALVORAN_FUNCTION_END()
}

void jpegCodec::prepareQuantizationTables(int table)
{
    for (std::uint32_t i = 0; i < 8; ++i)
    {
        for (std::uint32_t j = 0; j < 8; ++j)
        {
            const std::uint32_t k = i * 8 + j;
            const std::uint32_t q = m_quantizationTable[table][k];
            const long double decoding = static_cast<long double>(q) * 16384.0L * static_cast<long double>(aanScale[j]) *
                                         static_cast<long double>(aanScale[i]);
            m_decodingFactors[table][k] = static_cast<std::int64_t>(decoding);
            m_decodingQuant[table][k] = static_cast<std::int32_t>(std::min<std::uint32_t>(q, 0xFFFF));
            // The encoder's integer transform gives 8 times the coefficients.
            m_encodingFactors[table][k] = q == 0 ? 0.0f : 1.0f / static_cast<float>(q * 8);
        }
    }
}

void jpegCodec::allocChannels()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::allocChannels")

    m_maxSamplingFactorX = 1;
    m_maxSamplingFactorY = 1;
    for (const auto& entry : m_channelsMap)
    {
        m_maxSamplingFactorX = std::max(m_maxSamplingFactorX, entry.second->m_samplingFactorX);
        m_maxSamplingFactorY = std::max(m_maxSamplingFactorY, entry.second->m_samplingFactorY);
    }
    m_maxValue = static_cast<std::int32_t>((1u << m_precision) - 1u);

    const std::uint32_t mcuWidth = m_bLossless ? m_maxSamplingFactorX : 8 * m_maxSamplingFactorX;
    const std::uint32_t mcuHeight = m_bLossless ? m_maxSamplingFactorY : 8 * m_maxSamplingFactorY;
    m_jpegImageSizeX = ((m_imageSizeX + mcuWidth - 1) / mcuWidth) * mcuWidth;
    m_jpegImageSizeY = ((m_imageSizeY + mcuHeight - 1) / mcuHeight) * mcuHeight;

    for (const auto& entry : m_channelsMap)
    {
        jpegChannel* pChannel = entry.second.get();
        pChannel->m_defaultDCValue = m_bLossless ? (1 << (m_precision - 1)) : 0;
        pChannel->m_lastDCValue = pChannel->m_defaultDCValue;
        const std::uint32_t width = m_jpegImageSizeX * pChannel->m_samplingFactorX / m_maxSamplingFactorX;
        const std::uint32_t height = m_jpegImageSizeY * pChannel->m_samplingFactorY / m_maxSamplingFactorY;
        if (static_cast<std::uint64_t>(width) * height > maxSamplesPerChannel)
            HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted SOF tag found");
        pChannel->m_valuesMask = m_maxValue;
        if (m_coefficientBlocks && !m_bLossless)
        {
            // The encoder keeps quantised coefficients of its own.
            pChannel->m_width = width;
            pChannel->m_height = height;
            continue;
        }
        if (m_samplePlanes && !m_bLossless && m_precision == 8)
        {
            // Mid-grey where no block gets decoded.
            pChannel->m_width = width;
            pChannel->m_height = height;
            pChannel->m_plane.assign(static_cast<std::size_t>(width) * height, 128);
            continue;
        }
        pChannel->allocate(width, height);
    }

    HALVORAN_FUNCTION_END()
}

void jpegCodec::findMcuSize()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::findMcuSize")

    std::uint32_t maxX = 1;
    std::uint32_t maxY = 1;
    for (const auto& entry : m_channelsMap)
    {
        maxX = std::max(maxX, entry.second->m_samplingFactorX);
        maxY = std::max(maxY, entry.second->m_samplingFactorY);
    }
    std::uint32_t minX = 0xFFFFFFFFu;
    std::uint32_t minY = 0xFFFFFFFFu;
    for (std::uint32_t c = 0; m_channelsList[c] != nullptr; ++c)
    {
        minX = std::min(minX, m_channelsList[c]->m_samplingFactorX);
        minY = std::min(minY, m_channelsList[c]->m_samplingFactorY);
    }
    if (minX == 0xFFFFFFFFu)
        minX = minY = 1;

    for (std::uint32_t c = 0; m_channelsList[c] != nullptr; ++c)
    {
        jpegChannel* pChannel = m_channelsList[c];
        pChannel->m_blockMcuX = std::max(1u, pChannel->m_samplingFactorX / minX);
        pChannel->m_blockMcuY = std::max(1u, pChannel->m_samplingFactorY / minY);
        pChannel->m_blockMcuXY = pChannel->m_blockMcuX * pChannel->m_blockMcuY;
        pChannel->m_losslessPositionX = 0;
        pChannel->m_losslessPositionY = 0;
        pChannel->m_losslessFirstRow = 0;
        pChannel->m_unprocessedAmplitudesCount = 0;
        pChannel->m_unprocessedAmplitudesPredictor = 0;
        pChannel->m_lastDCValue = pChannel->m_defaultDCValue;
    }

    if (m_bLossless)
    {
        m_mcuNumberX = minX * m_jpegImageSizeX / maxX;
        m_mcuNumberY = m_jpegImageSizeY * minY / maxY;
    }
    else
    {
        const std::uint32_t w = maxX * 8 / minX;
        const std::uint32_t h = maxY * 8 / minY;
        m_mcuNumberX = (m_imageSizeX + w - 1) / w;
        m_mcuNumberY = (m_imageSizeY + h - 1) / h;
    }
    m_mcuNumberTotal = m_mcuNumberX * m_mcuNumberY;
    m_mcuProcessed = m_mcuProcessedX = m_mcuProcessedY = 0;
    m_mcuLastRestart = 0;

    HALVORAN_FUNCTION_END()
}

void jpegCodec::writeTag(streamWriter* pStream, std::uint8_t tagId)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::writeTag")

    const auto found = m_tagsMap.find(tagId);
    if (found == m_tagsMap.end())
        return;
    const std::uint8_t marker[2] = {0xFF, tagId};
    pStream->write(marker, 2);
    found->second->writeTag(pStream, this);

    HALVORAN_FUNCTION_END()
}

const char* jpegCodec::unsupportedProcessMessage(std::uint8_t process)
{
    switch (process)
    {
    case 0:
    case 1:
    case 3:
    case 7: return nullptr;
    case 2: return "Progressive JPEG is not supported";
    case 6: return "Progressive hierarchical JPEG is not supported";
    case 5: return "Hierarchical JPEG is not supported";
    case 9:
    case 10:
    case 11:
    case 13:
    case 14:
    case 15: return "Arithmetic-coded JPEG is not supported";
    default: return "Jpeg SOF not supported";
    }
}

bool jpegCodec::streamSignalsRgb() const
{
    if (m_channelsMap.size() != 3)
        return false;
    if (m_adobeTransform >= 0)
        return m_adobeTransform == 0;
    return m_channelsOrder.size() == 3 && m_channelsOrder[0] == 'R' && m_channelsOrder[1] == 'G' &&
           m_channelsOrder[2] == 'B';
}

void jpegCodec::readStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet, std::uint32_t)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::readStream")

    streamReader* pStream = pSourceStream.get();
    resetInternal(false, 300);
    const std::uint32_t startPosition = pStream->position();

    std::uint8_t signature[2] = {0, 0};
    try
    {
        pStream->read(signature, 2);
    }
    catch (const streamExceptionEOF&)
    {
        HALVORAN_THROW(codecExceptionWrongFormat, "readStream detected a wrong format");
    }
    if (signature[0] != 0xFF || signature[1] != jpegMarker::SOI)
        HALVORAN_THROW(codecExceptionWrongFormat, "detected a wrong format");

    std::uint32_t endPosition = 0;
    {
        markerSlotGuard guard(pStream, &m_markerFound);
        m_endOfImage = false;
        while (!m_endOfImage && !pStream->atEnd())
        {
            m_markerFound = 0;
            std::uint8_t byte = 0;
            if (pStream->readByte(&byte))
                continue;
            const auto found = m_tagsMap.find(m_markerFound);
            tag* pTag = found == m_tagsMap.end() ? m_tagsMap[0xFF].get() : found->second.get();
            if (dynamic_cast<tagRST*>(pTag) != nullptr)
                continue; // restart markers are only stepped over here
            pTag->readTag(pStream, this, m_markerFound);
        }
        endPosition = pStream->position();
    }

    const std::wstring defaultType;
    std::wstring colorSpace = L"MONOCHROME2";
    if (m_channelsMap.size() > 1)
        colorSpace = streamSignalsRgb() ? L"RGB" : L"YBR_FULL";
    pDataSet->setUnicodeString(0x0028, 0, 0x0004, 0, colorSpace);
    std::wstring transferSyntax;
    switch (m_process)
    {
    case 0: transferSyntax = L"1.2.840.10008.1.2.4.50"; break;
    case 1: transferSyntax = L"1.2.840.10008.1.2.4.51"; break;
    case 3:
    case 7: transferSyntax = L"1.2.840.10008.1.2.4.57"; break;
    default:
    {
        const char* message = unsupportedProcessMessage(m_process);
        HALVORAN_THROW(jpegCodecCannotHandleSyntax, message != nullptr ? message : "Jpeg SOF not supported");
    }
    }
    pDataSet->setUnicodeString(0x0002, 0, 0x0010, 0, transferSyntax);
    pDataSet->setUnsignedLong(0x0028, 0, 0x0002, 0, static_cast<std::uint32_t>(m_channelsMap.size()));
    pDataSet->setUnsignedLong(0x0028, 0, 0x0011, 0, m_imageSizeX);
    pDataSet->setUnsignedLong(0x0028, 0, 0x0010, 0, m_imageSizeY);
    pDataSet->setUnsignedLong(0x0028, 0, 0x0008, 0, 1);
    pDataSet->setUnsignedLong(0x0028, 0, 0x0103, 0, 0);
    pDataSet->setUnsignedLong(0x0028, 0, 0x0100, 0, static_cast<std::uint32_t>(m_precision));
    pDataSet->setUnsignedLong(0x0028, 0, 0x0101, 0, static_cast<std::uint32_t>(m_precision));
    pDataSet->setUnsignedLong(0x0028, 0, 0x0102, 0, static_cast<std::uint32_t>(m_precision - 1));
    pDataSet->setUnsignedLong(0x0028, 0, 0x0006, 0, m_lastScanInterleaved ? 1 : 0);

    {
        ptr<handlers::dataHandlerRaw> offsets = pDataSet->getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, true, "OB");
        offsets->setSize(4);
        std::memset(offsets->getMemoryBuffer(), 0, 4);
    }
    pStream->seek(startPosition);
    const std::uint32_t length = endPosition - startPosition;
    if (length != 0)
    {
        ptr<handlers::dataHandlerRaw> image = pDataSet->getDataHandlerRaw(0x7FE0, 0, 0x0010, 1, true, "OB");
        image->setSize(length);
        pStream->read(image->getMemoryBuffer(), length);
    }

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
