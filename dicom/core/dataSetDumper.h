// A text listing of a data set, one element per line (the dicom-dump tool and the
// tests' comparisons with other readers).
#pragma once

#include "dicom/core/dataSet.h"

#include <ostream>

namespace Halvoran::Varnix
{

// Writes a data set one element per line, "(gggg,eeee) VR value", as the
// toolkit reads it: numbers as the numeric handlers give them ("." as
// decimal point), several values joined as stored ("\", or "=" between the
// groups of a person name), text in UTF-8, dates and times in their stored
// form, binary values in hexadecimal. Sequence items and the fragments of
// encapsulated pixel data are "(fffe,e000)" lines indented two spaces, their
// elements two more.
class dataSetDumper
{
public:
    // Binary values longer than maxBinaryBytes are cut and end with "...".
    static void dump(const ptr<dataSet>& pDataSet, std::ostream& out, std::uint32_t maxBinaryBytes = 64);

private:
    static void dumpDataSet(const ptr<dataSet>& pDataSet, std::ostream& out, std::uint32_t indent,
                            std::uint32_t maxBinaryBytes);
    static void dumpTag(const ptr<data>& pData, std::uint16_t groupId, std::uint16_t tagId, std::ostream& out,
                        std::uint32_t indent, std::uint32_t maxBinaryBytes);
};

} // namespace Halvoran::Varnix
