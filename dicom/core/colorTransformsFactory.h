// What the toolkit knows of colour spaces (channels, subsampling) and the choice of a
// conversion between two of them.
#pragma once

#include "dicom/base/baseObject.h"

#include <cstdint>
#include <list>
#include <string>

namespace Halvoran::Varnix::transforms::colorTransforms
{

class colorTransform;

// Colour-space knowledge of the toolkit: the stored form of a colour-space
// name, its number of channels, whether its chroma is subsampled, and the
// list of registered colour transforms.
class colorTransformsFactory : public baseObject
{
public:
    ~colorTransformsFactory() override;

    static ptr<colorTransformsFactory> getColorTransformsFactory();

    void registerTransform(const ptr<colorTransform>& newColorTransform);
    // The registered transforms, in registration order.
    std::list<ptr<colorTransform>> getTransforms();

    // Upper case, cut before the first "_42" (YBR_FULL_422 -> YBR_FULL).
    static std::wstring normalizeColorSpace(const std::wstring& colorSpace);
    // Chroma halved horizontally: the name contains "_42".
    static bool isSubsampledX(const std::wstring& colorSpace);
    // Chroma halved vertically too: the name contains "_420".
    static bool isSubsampledY(const std::wstring& colorSpace);
    // Channels of a colour space, 0 for an unknown one.
    static std::uint32_t getNumberOfChannels(const std::wstring& colorSpace);

protected:
    std::list<ptr<colorTransform>> m_transforms;
};

// Registers one colour transform at start-up (one static object per class).
class registerColorTransform
{
public:
    explicit registerColorTransform(const ptr<colorTransform>& newColorTransform);
};

// Registers the toolkit's colour transforms with the factory when it is made
// (an explicit call: registration objects in a static library are dropped
// by the linker).
void registerStandardColorTransforms(colorTransformsFactory* pFactory);

} // namespace Halvoran::Varnix::transforms::colorTransforms
