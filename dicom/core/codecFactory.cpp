#include "dicom/core/codecFactory.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/dicomCodec.h"
#include "dicom/core/jpegCodec.h"

namespace Halvoran::Varnix::codecs
{

void registerStandardCodecs(codecFactory* pFactory)
{
    pFactory->registerCodec(ptr<codec>(new dicomCodec));
    pFactory->registerCodec(ptr<codec>(new jpegCodec));
}

codecFactory::codecFactory() = default;

ptr<codecFactory> codecFactory::getCodecFactory()
{
    static ptr<codecFactory> factory = [] {
        ptr<codecFactory> created(new codecFactory);
        registerStandardCodecs(created.get());
        return created;
    }();
    return factory;
}

void codecFactory::registerCodec(const ptr<codec>& pCodec)
{
    HALVORAN_FUNCTION_START(L"codecFactory::registerCodec")

    if (!pCodec)
        return;
    lockObject lockAccess(this);
    m_codecsList.push_back(pCodec);

    HALVORAN_FUNCTION_END()
}

std::size_t codecFactory::codecsCount()
{
    lockObject lockAccess(this);
    return m_codecsList.size();
}

ptr<codec> codecFactory::getCodec(const std::wstring& transferSyntax)
{
    HALVORAN_FUNCTION_START(L"codecFactory::getCodec")

    ptr<codecFactory> factory = getCodecFactory();
    lockObject lockAccess(factory.get());
    for (ptr<codec>& prototype : factory->m_codecsList)
    {
        if (prototype->canHandleTransferSyntax(transferSyntax))
            return prototype->createCodec();
    }
    return ptr<codec>();

    HALVORAN_FUNCTION_END()
}

ptr<dataSet> codecFactory::load(const ptr<streamReader>& pStream, std::uint32_t maxSizeBufferLoad)
{
    HALVORAN_FUNCTION_START(L"codecFactory::load")

    ptr<codecFactory> factory = getCodecFactory();
    std::list<ptr<codec>> instances;
    {
        lockObject lockAccess(factory.get());
        for (ptr<codec>& prototype : factory->m_codecsList)
            instances.push_back(prototype->createCodec());
    }

    for (ptr<codec>& instance : instances)
    {
        try
        {
            return instance->read(pStream, maxSizeBufferLoad);
        }
        catch (const codecExceptionWrongFormat&)
        {
            // The refused attempt leaves nothing in the trail.
            exceptionsManager::getTrailText();
        }
    }
    HALVORAN_THROW(codecExceptionWrongFormat, "none of the codecs recognized the file format");

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
