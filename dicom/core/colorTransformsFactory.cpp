#include "dicom/core/colorTransformsFactory.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/colorTransform.h"

namespace Halvoran::Varnix::transforms::colorTransforms
{

namespace
{
struct colorSpaceDefinition
{
    const wchar_t* name;
    std::uint32_t channels;
};

// Ends with the row without a name.
constexpr colorSpaceDefinition colorSpaces[] = {
    {L"RGB", 3},      {L"YBR_FULL", 3}, {L"YBR_PARTIAL", 3}, {L"YBR_RCT", 3},     {L"YBR_ICT", 3},
    {L"PALETTE COLOR", 1}, {L"CMYK", 4}, {L"CMY", 3},        {L"MONOCHROME2", 1}, {L"MONOCHROME1", 1},
    {L"", 0}};

ptr<colorTransformsFactory>& instance()
{
    static ptr<colorTransformsFactory> factory;
    return factory;
}

// Made during start-up even when no transform registers itself.
const bool factoryMadeAtStartUp = (colorTransformsFactory::getColorTransformsFactory(), true);
} // namespace

colorTransformsFactory::~colorTransformsFactory() = default;

ptr<colorTransformsFactory> colorTransformsFactory::getColorTransformsFactory()
{
    ptr<colorTransformsFactory>& factory = instance();
    if (!factory)
    {
        factory = new colorTransformsFactory;
        registerStandardColorTransforms(factory.get());
    }
    return factory;
}

void colorTransformsFactory::registerTransform(const ptr<colorTransform>& newColorTransform)
{
    HALVORAN_FUNCTION_START(L"colorTransformsFactory::registerTransform")

    lockObject lock(this);
    m_transforms.push_back(newColorTransform);

    HALVORAN_FUNCTION_END()
}

std::list<ptr<colorTransform>> colorTransformsFactory::getTransforms()
{
    lockObject lock(this);
    return m_transforms;
}

std::wstring colorTransformsFactory::normalizeColorSpace(const std::wstring& colorSpace)
{
    HALVORAN_FUNCTION_START(L"colorTransformsFactory::normalizeColorSpace")

    std::wstring normalized = colorSpace.substr(0, colorSpace.find(L"_42"));
    for (wchar_t& c : normalized)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return normalized;

    HALVORAN_FUNCTION_END()
}

bool colorTransformsFactory::isSubsampledX(const std::wstring& colorSpace)
{
    return colorSpace.find(L"_42") != std::wstring::npos;
}

bool colorTransformsFactory::isSubsampledY(const std::wstring& colorSpace)
{
    return colorSpace.find(L"_420") != std::wstring::npos;
}

std::uint32_t colorTransformsFactory::getNumberOfChannels(const std::wstring& colorSpace)
{
    HALVORAN_FUNCTION_START(L"colorTransformsFactory::getNumberOfChannels")

    const std::wstring normalized = normalizeColorSpace(colorSpace);
    for (const colorSpaceDefinition* pRow = colorSpaces; pRow->channels != 0; ++pRow)
        if (normalized == pRow->name)
            return pRow->channels;
    return 0;

    HALVORAN_FUNCTION_END()
}

registerColorTransform::registerColorTransform(const ptr<colorTransform>& newColorTransform)
{
    HALVORAN_FUNCTION_START(L"registerColorTransform::registerColorTransform")

    colorTransformsFactory::getColorTransformsFactory()->registerTransform(newColorTransform);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::transforms::colorTransforms
