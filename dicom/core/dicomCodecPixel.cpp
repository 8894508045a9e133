// Pixel data of the DICOM stream codec: native and RLE frames.
#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dicomCodec.h"

namespace Halvoran::Varnix::codecs
{

std::uint32_t dicomCodec::getMaxHighBit(std::string /* transferSyntax */)
{
    return 15;
}

std::uint32_t dicomCodec::suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit)
{
    if (transferSyntax == L"1.2.840.10008.1.2.5")
        return (highBit + 8) & ~7u;
    return highBit + 1;
}

ptr<image> dicomCodec::getImage(const ptr<dataSet>&, const ptr<streamReader>&, std::string)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::getImage")
    HALVORAN_THROW(codecExceptionCorruptedFile, "Not available yet");
    HALVORAN_FUNCTION_END()
}

void dicomCodec::setImage(const ptr<streamWriter>&, const ptr<image>&, std::wstring, int, std::string, int, bool,
                          bool, bool, bool)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::setImage")
    HALVORAN_THROW(codecExceptionCorruptedFile, "Not available yet");
    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
