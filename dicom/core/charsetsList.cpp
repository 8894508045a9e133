#include "dicom/core/charsetsList.h"

#include "dicom/base/exceptionsManager.h"

#include <algorithm>

namespace Halvoran::Varnix::charsetsList
{

void updateCharsets(const tCharsetsList* pSource, tCharsetsList* pDestination)
{
    HALVORAN_FUNCTION_START(L"charsetsList::updateCharsets")

    if (!pSource->empty() && !pDestination->empty() && pSource->front() != pDestination->front())
        HALVORAN_THROW(charsetListExceptionDiffDefault, "Different default charsets");
    for (const std::wstring& name : *pSource)
    {
        if (std::find(pDestination->begin(), pDestination->end(), name) == pDestination->end())
            pDestination->push_back(name);
    }

    HALVORAN_FUNCTION_END()
}

void copyCharsets(const tCharsetsList* pSource, tCharsetsList* pDestination)
{
    HALVORAN_FUNCTION_START(L"charsetsList::copyCharsets")

    pDestination->insert(pDestination->end(), pSource->begin(), pSource->end());

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::charsetsList
