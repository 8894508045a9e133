// One tag of a data set: its value buffers and, for a sequence, its items.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/buffer.h"
#include "dicom/core/charsetsList.h"

#include <map>
#include <string>
#include <vector>

namespace Halvoran::Varnix
{

class dataSet;

namespace handlers
{
class dataHandler;
class dataHandlerRaw;
} // namespace handlers

// One tag: numbered value buffers (0 is the value; encapsulated pixel data
// adds its fragments as 1, 2, ...) and, for a sequence, numbered items.
class data : public baseObject
{
public:
    explicit data(const ptr<baseObject>& externalLock);

    void setBuffer(std::uint32_t bufferId, const ptr<buffer>& newBuffer);
    // VR of buffer 0; empty when there is none.
    std::string getDataType();
    bool bufferExists(std::uint32_t bufferId);
    std::uint32_t getBufferSize(std::uint32_t bufferId);
    // Number of buffers and of item slots.
    std::uint32_t getBuffersCount();
    std::uint32_t getDataSetsCount();

    ptr<handlers::dataHandler> getDataHandler(std::uint32_t bufferId, bool bWrite, const std::string& defaultType);
    ptr<handlers::dataHandlerRaw> getDataHandlerRaw(std::uint32_t bufferId, bool bWrite,
                                                    const std::string& defaultType);
    ptr<streamReader> getStreamReader(std::uint32_t bufferId);

    ptr<dataSet> getDataSet(std::uint32_t dataSetId);
    void setDataSet(std::uint32_t dataSetId, const ptr<dataSet>& pDataSet);

    virtual void setCharsetsList(const charsetsList::tCharsetsList* pCharsetsList);
    virtual void getCharsetsList(charsetsList::tCharsetsList* pCharsetsList);

protected:
    ptr<buffer> bufferForHandler(std::uint32_t bufferId, bool bWrite, std::string defaultType);

    std::map<std::uint32_t, ptr<buffer>> m_buffers;
    std::vector<ptr<dataSet>> m_embeddedDataSets;
    charsetsList::tCharsetsList m_charsetsList;
};

} // namespace Halvoran::Varnix
