#include "dicom/core/codec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryPool.h"

#include <cstring>

namespace Halvoran::Varnix::codecs
{

ptr<dataSet> codec::read(const ptr<streamReader>& pSourceStream, std::uint32_t maxSizeBufferLoad)
{
    HALVORAN_FUNCTION_START(L"codec::read")

    pSourceStream->resetInBitsBuffer();
    const std::uint32_t position = pSourceStream->position();
    ptr<dataSet> pDataSet(new dataSet(ptr<baseObject>(new baseObject)));
    try
    {
        readStream(pSourceStream, pDataSet, maxSizeBufferLoad);
    }
    catch (const codecExceptionWrongFormat&)
    {
        pSourceStream->seek(position);
        exceptionsManager::addEntry(exceptionInfo(L"codec::read", __FILE_NAME__, __LINE__, "rethrowing",
                                                  "Detected a wrong format. Rewinding file"));
        throw;
    }
    pDataSet->refreshCharsetsList();
    return pDataSet;

    HALVORAN_FUNCTION_END()
}

void channel::allocate(std::uint32_t width, std::uint32_t height)
{
    HALVORAN_FUNCTION_START(L"channel::allocate")

    const std::uint64_t count = static_cast<std::uint64_t>(width) * height;
    if (count * 4 > 0xFFFFFFFFu)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The image is too large");
    m_width = width;
    m_height = height;
    m_bufferSize = static_cast<std::uint32_t>(count);
    m_memory = memoryPool::instance()->obtain(m_bufferSize * 4);
    m_pBuffer = m_memory->empty() ? nullptr : reinterpret_cast<std::int32_t*>(m_memory->data());
    if (m_pBuffer != nullptr)
        std::memset(m_pBuffer, 0, static_cast<std::size_t>(m_bufferSize) * 4);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
