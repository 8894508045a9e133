#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dataHandler.h"
#include "dicom/core/dataSet.h"

#include <gtest/gtest.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace
{
ptr<dataSet> newDataSet()
{
    return ptr<dataSet>(new dataSet(ptr<baseObject>(new baseObject)));
}
} // namespace

TEST(DataSet, GroupKeysAndIteration)
{
    ptr<dataSet> set = newDataSet();
    set->getGroup(0x0028, 0, true);
    set->getGroup(0x0008, 0, true);
    set->getGroup(0x0028, 1, true);
    ptr<dataCollectionIterator<dataGroup>> groups = set->getDataIterator();
    // A group made after the iterator is not seen by it.
    set->getGroup(0x0010, 0, true);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> seen;
    for (; groups->isValid(); groups->incIterator())
        seen.emplace_back(groups->getId(), groups->getOrder());
    EXPECT_EQ((std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0x0008, 0}, {0x0028, 0}, {0x0028, 1}}), seen);
    EXPECT_EQ(0u, groups->getId());
    EXPECT_FALSE(groups->getData());
    EXPECT_FALSE(groups->incIterator());
    EXPECT_EQ(0x00280001u, dataSet::key(0x0028, 1));
}

TEST(DataSet, GettersNeverCreate)
{
    ptr<dataSet> set = newDataSet();
    EXPECT_EQ("", set->getString(0x0010, 0, 0x0010, 0));
    EXPECT_EQ(0u, set->getUnsignedLong(0x0028, 0, 0x0008, 0));
    EXPECT_EQ(0.0, set->getDouble(0x0028, 0, 0x0030, 1));
    EXPECT_FALSE(set->getDataHandler(0x0028, 0, 0x0010, 0, false, "US"));
    EXPECT_FALSE(set->getGroup(0x0010, 0, false));
    EXPECT_FALSE(set->getGroup(0x0028, 0, false));
    EXPECT_EQ("", set->getDataType(0x0028, 0, 0x0010));

    set->setUnicodeString(0x0028, 0, 0x0030, 0, L"0.25");
    EXPECT_EQ(0.0, set->getDouble(0x0028, 0, 0x0030, 1));
    set->setUnicodeString(0x0028, 0, 0x0030, 1, L"0.5");
    EXPECT_EQ(0.5, set->getDouble(0x0028, 0, 0x0030, 1));
    // Another order finds nothing.
    EXPECT_EQ(0.0, set->getDouble(0x0028, 1, 0x0030, 0));
}

TEST(DataSet, VrOfNewValues)
{
    ptr<dataSet> set = newDataSet();
    set->setUnsignedLong(0x0028, 0, 0x0010, 0, 512);
    EXPECT_EQ("US", set->getDataType(0x0028, 0, 0x0010));
    EXPECT_EQ(512u, set->getUnsignedLong(0x0028, 0, 0x0010, 0));

    // One- and three-letter defaults give way to the dictionary, or "OB".
    set->setUnsignedLong(0x0028, 0, 0x0011, 0, 5, "U");
    EXPECT_EQ("US", set->getDataType(0x0028, 0, 0x0011));
    set->setUnsignedLong(0x0009, 0, 0x1001, 0, 5, "USS");
    EXPECT_EQ("OB", set->getDataType(0x0009, 0, 0x1001));

    // An existing buffer keeps its VR.
    set->setUnsignedLong(0x0009, 0, 0x1002, 0, 7, "OW");
    set->setUnsignedLong(0x0009, 0, 0x1002, 0, 8, "US");
    EXPECT_EQ("OW", set->getDataType(0x0009, 0, 0x1002));
    // A new buffer of a tag takes the VR of the tag's first buffer.
    ptr<data> tag = set->getTag(0x0009, 0, 0x1002, false);
    {
        ptr<handlers::dataHandler> handler = tag->getDataHandler(1, true, "SL");
        EXPECT_EQ("OW", handler->getDataType());
    }
    EXPECT_TRUE(tag->bufferExists(1));
    EXPECT_FALSE(tag->getDataHandler(3, false, "US"));
    EXPECT_FALSE(tag->bufferExists(3));
    EXPECT_EQ(0u, tag->getBufferSize(3));

    // Writing element 2 of a one-value tag makes three values.
    set->setUnicodeString(0x0008, 0, 0x1030, 0, L"first", "LO");
    set->setUnicodeString(0x0008, 0, 0x1030, 2, L"third", "LO");
    EXPECT_EQ(L"", set->getUnicodeString(0x0008, 0, 0x1030, 1));
    EXPECT_EQ(L"third", set->getUnicodeString(0x0008, 0, 0x1030, 2));
}

TEST(DataSet, ItemsAndCharsets)
{
    ptr<dataSet> set = newDataSet();
    ptr<data> sequence = set->getTag(0x0008, 0, 0x1115, true);
    ptr<dataSet> item = newDataSet();
    item->setUnicodeString(0x0008, 0, 0x1155, 0, L"1.2.3");
    sequence->setDataSet(3, item);
    EXPECT_EQ(4u, sequence->getDataSetsCount());
    EXPECT_FALSE(sequence->getDataSet(0));
    EXPECT_FALSE(sequence->getDataSet(5));
    EXPECT_EQ(item.get(), set->getSequenceItem(0x0008, 0, 0x1115, 3).get());

    // (0008,0005) reaches every group, tag, buffer and item; empty slots are passed over.
    set->setUnicodeString(0x0008, 0, 0x0005, 0, L"ISO_IR 100");
    set->setUnicodeString(0x0008, 0, 0x0005, 1, L"ISO 2022 IR 87");
    {
        ptr<handlers::dataHandler> name = set->getDataHandler(0x0010, 0, 0x0010, 0, true, "");
        name->setSize(1);
    }
    set->refreshCharsetsList();
    charsetsList::tCharsetsList itemList;
    item->getCharsetsList(&itemList);
    EXPECT_EQ((charsetsList::tCharsetsList{L"ISO_IR 100", L"ISO 2022 IR 87"}), itemList);

    // A tag made later takes its group's list at once, and so does its buffer.
    ptr<data> later = set->getTag(0x0010, 0, 0x0020, true);
    charsetsList::tCharsetsList laterList;
    {
        ptr<handlers::dataHandler> handler = later->getDataHandler(0, true, "LO");
        handler->setSize(1);
        handler->setUnicodeString(L"Caf\u00E9");
    }
    later->getCharsetsList(&laterList);
    EXPECT_EQ((charsetsList::tCharsetsList{L"ISO_IR 100", L"ISO 2022 IR 87"}), laterList);
    EXPECT_EQ("Caf\xE9", set->getString(0x0010, 0, 0x0020, 0));

    ptr<dataSet> noCharset = newDataSet();
    noCharset->refreshCharsetsList();
    charsetsList::tCharsetsList emptyList;
    noCharset->getCharsetsList(&emptyList);
    EXPECT_TRUE(emptyList.empty());
}

TEST(DataSet, OneLockForTheWholeDataSet)
{
    ptr<baseObject> lock(new baseObject);
    ptr<dataSet> set(new dataSet(lock));
    set->setUnsignedLong(0x0028, 0, 0x0010, 0, 1);
    EXPECT_EQ(lock.get(), set->getGroup(0x0028, 0, false)->getLockRoot());
    EXPECT_EQ(lock.get(), set->getTag(0x0028, 0, 0x0010, false)->getLockRoot());
}
