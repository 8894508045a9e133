// One group of a data set (its tags by element number).
#pragma once

#include "dicom/core/data.h"
#include "dicom/core/dataCollection.h"

namespace Halvoran::Varnix
{

// One group of a data set: its tags keyed by element number (order 0).
class dataGroup : public dataCollection<data>
{
public:
    explicit dataGroup(const ptr<baseObject>& externalLock);

    ptr<data> getTag(std::uint16_t tagId, bool bCreate);
    ptr<handlers::dataHandler> getDataHandler(std::uint16_t tagId, std::uint32_t bufferId, bool bWrite,
                                              const std::string& defaultType);
    ptr<handlers::dataHandlerRaw> getDataHandlerRaw(std::uint16_t tagId, std::uint32_t bufferId, bool bWrite,
                                                    const std::string& defaultType);
    ptr<streamReader> getStreamReader(std::uint16_t tagId, std::uint32_t bufferId);
};

} // namespace Halvoran::Varnix
