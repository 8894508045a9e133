// libFuzzer target: the JPEG decoder alone on arbitrary bytes. The stream is
// decoded as a frame (signed and unsigned) and parsed as a bare JPEG file, and
// every decoded sample is read, so the sanitizers see each byte the decoder
// writes. Frames larger than 4 million samples are skipped, to bound memory.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/jpegCodec.h"

#include <cstdint>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace
{

// True when some frame header declares more samples than the cap.
bool tooLarge(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 10 < size; ++i)
    {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF || data[i + 1] == 0xC4 ||
            data[i + 1] == 0xC8 || data[i + 1] == 0xCC)
            continue;
        const std::uint64_t height = (data[i + 5] << 8) | data[i + 6];
        const std::uint64_t width = (data[i + 7] << 8) | data[i + 8];
        const std::uint64_t components = data[i + 9];
        if (width * height * (components == 0 ? 1 : components) * 16 > (1u << 26))
            return true;
    }
    return false;
}

ptr<streamReader> readerOf(const ptr<memory>& block)
{
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(block))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 20 || tooLarge(data, size))
        return 0;
    ptr<memory> block(new memory);
    block->assign(data, static_cast<std::uint32_t>(size));
    for (const bool b2Complement : {false, true})
    {
        try
        {
            ptr<streamReader> reader = readerOf(block);
            ptr<codecs::jpegCodec> codec(new codecs::jpegCodec);
            const codecs::jpegSamples samples = codec->decodeSamples(reader, b2Complement);
            std::uint64_t sum = samples.m_damaged ? 1 : 0;
            for (const std::int32_t v : samples.m_values)
                sum += static_cast<std::uint32_t>(v);
            if (sum == 0xFFFFFFFFFFFFFFFFull)
                __builtin_trap(); // keeps the reads
        }
        catch (const std::runtime_error&)
        {
        }
        exceptionsManager::getTrailText();
    }
    try
    {
        ptr<dataSet> set(new dataSet(ptr<baseObject>(new baseObject)));
        ptr<codecs::jpegCodec> codec(new codecs::jpegCodec);
        codec->readStream(readerOf(block), set, 0xFFFFFFFFu);
    }
    catch (const std::runtime_error&)
    {
    }
    exceptionsManager::getTrailText();
    return 0;
}
