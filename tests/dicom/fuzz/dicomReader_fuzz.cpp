// libFuzzer target: the DICOM reader on arbitrary bytes. Every value is
// read (also those left on the stream) and every element printed, and the
// first frames of the pixel data decoded, so the sanitizers see each byte the
// toolkit touches.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataSetDumper.h"

#include <cstdint>
#include <sstream>

using namespace Halvoran;
using namespace Halvoran::Varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 20)
        return 0;
    ptr<memory> block(new memory);
    block->assign(data, static_cast<std::uint32_t>(size));
    for (std::uint32_t loadLimit : {0xFFFFFFFFu, 16u})
    {
        try
        {
            ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
            ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(reader, loadLimit);
            std::ostringstream out;
            dataSetDumper::dump(loaded, out, 1 << 20);
        }
        catch (const std::runtime_error&)
        {
        }
        try
        {
            ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
            ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(reader, loadLimit);
            // Frames in reverse order too, so that stored frame ends are used.
            for (const std::uint32_t frame : {2u, 0u, 1u, 3u})
            {
                try
                {
                    loaded->getImage(frame);
                }
                catch (const std::runtime_error&)
                {
                }
            }
        }
        catch (const std::runtime_error&)
        {
        }
        exceptionsManager::getTrailText();
    }
    return 0;
}
