#include "dicom/base/huffmanTable.h"
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/core/jpegTables.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace Halvoran;

namespace
{

struct bitSink
{
    ptr<memory> block{new memory};
    ptr<memoryStream> stream{new memoryStream(block)};
    ptr<streamWriter> writer{new streamWriter(stream)};
    std::uint8_t marker = 0;

    bitSink() { writer->m_pTagByte = &marker; }
    std::string bytes()
    {
        writer->resetOutBitsBuffer();
        writer->flush();
        return std::string(reinterpret_cast<const char*>(block->data()), block->size());
    }
};

ptr<streamReader> readerOf(const std::string& bytes, std::uint8_t* pMarker)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
    reader->m_pTagByte = pMarker;
    return reader;
}

void buildFromCounts(huffmanTable& table)
{
    table.countValue(0x100);
    table.calcHuffmanCodesLength(16);
    table.removeLastCode();
    table.calcHuffmanTables();
}

} // namespace

TEST(HuffmanTable, CodesFromFrequencies)
{
    // Frequencies 5, 2 and the reserved value: value 0 gets "0", value 1 "10".
    huffmanTable table(9);
    for (int i = 0; i < 5; ++i)
        table.countValue(0);
    table.countValue(1);
    table.countValue(1);
    buildFromCounts(table);
    EXPECT_EQ(table.m_valuesPerLength[1], 1u);
    EXPECT_EQ(table.m_valuesPerLength[2], 1u);
    EXPECT_EQ(table.m_valuesToHuffman[0], 0u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[0], 1u);
    EXPECT_EQ(table.m_valuesToHuffman[1], 2u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[1], 2u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[0x100], 0u);

    // A single counted value is coded as the one bit 0.
    huffmanTable single(9);
    single.countValue(0);
    buildFromCounts(single);
    EXPECT_EQ(single.codesCount(), 1u);
    EXPECT_EQ(single.m_valuesToHuffmanLength[0], 1u);
    EXPECT_EQ(single.m_valuesToHuffman[0], 0u);

    // No counts, no codes: writing fails.
    huffmanTable empty(9);
    empty.calcHuffmanCodesLength(16);
    empty.calcHuffmanTables();
    EXPECT_EQ(empty.codesCount(), 0u);
    bitSink sink;
    const std::uint32_t value = 3;
    EXPECT_THROW(empty.writeHuffmanCode(value, sink.writer.get()), huffmanExceptionWrite);
}

TEST(HuffmanTable, StandardTableCodes)
{
    // Table K.3: 00 for 0, 010 for 1, ..., 111111110 for 11.
    huffmanTable table(9);
    std::uint32_t index = 0;
    for (std::uint32_t length = 1; length <= 16; ++length)
    {
        table.m_valuesPerLength[length] = Halvoran::Varnix::codecs::jpeg::dcLuminanceCounts[length - 1];
        for (std::uint32_t n = 0; n < table.m_valuesPerLength[length]; ++n, ++index)
            table.m_orderedValues[index] = Halvoran::Varnix::codecs::jpeg::dcLuminanceValues[index];
    }
    table.calcHuffmanTables();
    EXPECT_EQ(table.m_valuesToHuffman[0], 0b00u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[0], 2u);
    EXPECT_EQ(table.m_valuesToHuffman[1], 0b010u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[1], 3u);
    EXPECT_EQ(table.m_valuesToHuffman[11], 0b111111110u);
    EXPECT_EQ(table.m_valuesToHuffmanLength[11], 9u);

    // A bit pattern longer than every code is refused.
    std::uint8_t marker = 0;
    ptr<streamReader> reader = readerOf(std::string("\xFF\x00\xFF\x00\xFF\x00", 6), &marker);
    std::uint32_t value = 0;
    EXPECT_THROW(table.readHuffmanCode(value, reader.get()), huffmanExceptionRead);

    // A marker inside the data stops the read quietly.
    ptr<streamReader> markerReader = readerOf(std::string("\xFF\xD9", 2), &marker);
    EXPECT_FALSE(table.readHuffmanCode(value, markerReader.get()));
    EXPECT_EQ(marker, 0xD9);
}

TEST(HuffmanTable, LengthsFoldedToSixteenBits)
{
    // Frequencies doubling over 20 values give lengths up to 20 before the
    // folding; after it every code fits 16 bits and the codes stay a prefix code.
    huffmanTable table(9);
    for (std::uint32_t value = 0; value < 20; ++value)
        for (std::uint32_t n = 0; n < (1u << value); ++n)
            table.countValue(value);
    buildFromCounts(table);
    EXPECT_EQ(table.codesCount(), 20u);
    double kraft = 0;
    for (std::uint32_t length = 17; length < huffmanTable::maxLengths; ++length)
        EXPECT_EQ(table.m_valuesPerLength[length], 0u) << length;
    for (std::uint32_t length = 1; length <= 16; ++length)
        kraft += table.m_valuesPerLength[length] / double(1u << length);
    EXPECT_LT(kraft, 1.0);
}

TEST(HuffmanTable, RandomFrequenciesRoundTrip)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round)
    {
        huffmanTable table(9);
        std::vector<std::uint32_t> symbols;
        std::geometric_distribution<int> pick(0.02 + 0.02 * round);
        for (int n = 0; n < 3000; ++n)
        {
            const std::uint32_t symbol = static_cast<std::uint32_t>(std::min(pick(random), 255));
            symbols.push_back(symbol);
            table.countValue(symbol);
        }
        buildFromCounts(table);
        double kraft = 0;
        for (std::uint32_t length = 1; length <= 16; ++length)
            kraft += table.m_valuesPerLength[length] / double(1u << length);
        EXPECT_LT(kraft, 1.0);

        bitSink sink;
        for (std::uint32_t symbol : symbols)
            table.writeHuffmanCode(symbol, sink.writer.get());
        std::uint8_t marker = 0;
        ptr<streamReader> reader = readerOf(sink.bytes(), &marker);
        for (std::uint32_t expected : symbols)
        {
            std::uint32_t value = 0;
            ASSERT_TRUE(table.readHuffmanCode(value, reader.get()));
            ASSERT_EQ(value, expected);
        }
    }
}

TEST(StreamBits, WriteBitsStuffsAndPads)
{
    bitSink sink;
    sink.writer->writeBits(0xFF, 8);
    sink.writer->writeBits(0b101, 3);
    EXPECT_EQ(sink.bytes(), std::string("\xFF\x00\xA0", 3));

    std::uint8_t marker = 0;
    ptr<streamReader> reader = readerOf(std::string("\xFF\x00\xA5\x3C", 4), &marker);
    std::uint32_t bits = 0;
    ASSERT_TRUE(reader->readBits(bits, 4));
    EXPECT_EQ(bits, 0xFu);
    ASSERT_TRUE(reader->readBits(bits, 12));
    EXPECT_EQ(bits, 0xFA5u);
    ASSERT_TRUE(reader->addBit(bits));
    EXPECT_EQ(bits, 0x1F4Au);
    ASSERT_TRUE(reader->readBits(bits, 7));
    EXPECT_EQ(bits, 0x3Cu);
}
