#pragma once

#include "dicom/base/baseObject.h"

namespace Halvoran::Varnix::handlers
{

// Base of the typed views on a tag value buffer.
class dataHandler : public baseObject
{
public:
    dataHandler() = default;
};

} // namespace Halvoran::Varnix::handlers
