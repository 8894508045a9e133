// Chooses the codec for a transfer syntax or a stream: the entry point for loading a
// DICOM file.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/criticalSection.h"
#include "dicom/core/codec.h"

#include <list>

namespace Halvoran::Varnix::codecs
{

// Holds one prototype of every codec and hands out new instances.
class codecFactory : public baseObject
{
public:
    // The factory, made on the first call; the toolkit's codecs are
    // registered then by registerStandardCodecs.
    static ptr<codecFactory> getCodecFactory();

    void registerCodec(const ptr<codec>& pCodec);

    // A new codec for the transfer syntax, or an empty pointer.
    static ptr<codec> getCodec(const std::wstring& transferSyntax);

    // Reads a data set with the first codec that accepts the stream.
    ptr<dataSet> load(const ptr<streamReader>& pStream, std::uint32_t maxSizeBufferLoad = 0xFFFFFFFFu);

    std::size_t codecsCount();

private:
    codecFactory();

    std::list<ptr<codec>> m_codecsList;
};

// Registers the toolkit's codecs (the DICOM stream codec first) with the
// factory. Called once when the factory is made; an explicit call, because
// registration objects in a static library are dropped by the linker.
void registerStandardCodecs(codecFactory* pFactory);

} // namespace Halvoran::Varnix::codecs
