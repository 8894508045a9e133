// The toolkit's own JPEG codec (baseline, extended and lossless): decoding the
// frames of JPEG-compressed recordings and encoding frames.
#pragma once

#include "dicom/base/huffmanTable.h"
#include "dicom/core/codec.h"
#include "dicom/core/jpegEntropy.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Halvoran::Varnix::codecs
{

class jpegCodec;

class jpegCodecException : public codecException
{
public:
    explicit jpegCodecException(const std::string& message) : codecException(message) {}
};

// The stream uses a JPEG process that the codec cannot store or write.
class jpegCodecCannotHandleSyntax : public jpegCodecException
{
public:
    explicit jpegCodecCannotHandleSyntax(const std::string& message) : jpegCodecException(message) {}
};

// Interleaved samples of one frame, as the codec takes them for encoding and
// gives them after decoding: channel c of pixel (x, y) is
// m_values[(y * m_width + x) * m_channels + c].
struct jpegSamples
{
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_channels = 1;
    // "MONOCHROME2", "RGB", "YBR_FULL", ...
    std::string m_colorSpace = "MONOCHROME2";
    // Bits per sample of the stream (decoding) or of the source (informative).
    std::uint32_t m_precision = 8;
    bool m_b2Complement = false;
    // Set by the decoder when the stream was damaged (cut off inside a scan,
    // a scan ended early, restart intervals were lost, a component had no
    // scan, or a block coded a coefficient past its end): what could be
    // decoded is there, the rest is mid-grey.
    bool m_damaged = false;
    std::vector<std::int32_t> m_values;
};

namespace jpeg
{

// One component of a JPEG frame.
class jpegChannel : public channel
{
public:
    jpegChannel();

    // Turns the pending lossless differences into samples.
    void processUnprocessedAmplitudes();

    std::int32_t m_quantTable = 0;
    std::uint32_t m_blockMcuX = 0;
    std::uint32_t m_blockMcuY = 0;
    std::uint32_t m_blockMcuXY = 0;
    std::int32_t m_huffmanTableDC = 0;
    std::int32_t m_huffmanTableAC = 0;
    ptr<huffmanTable> m_pActiveHuffmanTableDC;
    ptr<huffmanTable> m_pActiveHuffmanTableAC;
    std::int32_t m_lastDCValue = 0;
    std::int32_t m_defaultDCValue = 0;
    std::uint32_t m_losslessPositionX = 0;
    std::uint32_t m_losslessPositionY = 0;
    // Row at which the current lossless restart interval began: its samples
    // are predicted from the left, as in the first row of the image.
    std::uint32_t m_losslessFirstRow = 0;
    std::int32_t m_unprocessedAmplitudesBuffer[1024];
    std::int32_t m_unprocessedAmplitudesCount = 0;
    std::int32_t m_unprocessedAmplitudesPredictor = 0;
    std::int32_t m_valuesMask = 0;
    // Set once a scan holding this component has been decoded to its end.
    bool m_scanComplete = false;
    // Decoding of 8-bit DCT streams: the component's samples, m_width by
    // m_height, row by row (in place of the 32-bit buffer).
    std::vector<std::uint8_t> m_plane;
    // Encoding of DCT streams: the quantised coefficients of each block in
    // zig-zag order, and per block a mask of the non-zero ones (bit k for
    // zig-zag position k).
    std::vector<std::int16_t> m_zigZagCoefficients;
    std::vector<std::uint64_t> m_nonZeroMasks;
};

// Reads and writes one kind of marker segment (the part after the marker).
class tag : public baseObject
{
public:
    virtual void writeTag(streamWriter* pStream, jpegCodec* pCodec) = 0;
    virtual void readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t tagEntry) = 0;

protected:
    void writeLength(streamWriter* pStream, std::uint16_t length);
    std::int32_t readLength(streamReader* pStream);
};

#define HALVORAN_JPEG_TAG(name)                                                                                        \
    class name : public tag                                                                                            \
    {                                                                                                                  \
    public:                                                                                                            \
        void writeTag(streamWriter* pStream, jpegCodec* pCodec) override;                                              \
        void readTag(streamReader* pStream, jpegCodec* pCodec, std::uint8_t tagEntry) override;                        \
    };

HALVORAN_JPEG_TAG(tagUnknown)
HALVORAN_JPEG_TAG(tagSOF)
HALVORAN_JPEG_TAG(tagDHT)
HALVORAN_JPEG_TAG(tagSOS)
HALVORAN_JPEG_TAG(tagDQT)
HALVORAN_JPEG_TAG(tagDRI)
HALVORAN_JPEG_TAG(tagRST)
HALVORAN_JPEG_TAG(tagEOI)
// APP14 (Adobe): carries the colour transform of three-component streams.
HALVORAN_JPEG_TAG(tagAPP14)

#undef HALVORAN_JPEG_TAG

} // namespace jpeg

// Reads and writes JPEG streams (T.81): baseline, extended and lossless, as
// bare files and as the encapsulated pixel data of data sets.
class jpegCodec : public codec
{
public:
    jpegCodec();

    // Decodes the frame at the reader's position. The colour space comes
    // from the data set; "RGB" in a DCT syntax becomes "YBR_FULL" unless the
    // stream itself says its components are R, G, B.
    ptr<image> getImage(const ptr<dataSet>& pSourceDataSet, const ptr<streamReader>& pSourceStream,
                        std::string dataType) override;
    // Writes the image as one complete JPEG stream (see encodeSamples).
    void setImage(const ptr<streamWriter>& pDestStream, const ptr<image>& pImage, std::wstring transferSyntax,
                  int imageQuality, std::string dataType, int allocatedBits, bool bSubSampledX, bool bSubSampledY,
                  bool bInterleaved, bool b2Complement) override;
    ptr<codec> createCodec() override;
    bool canHandleTransferSyntax(const std::wstring& transferSyntax) override;
    bool hasEncapsulatedPixelData(const std::wstring& transferSyntax) override;
    std::uint32_t getMaxHighBit(std::string transferSyntax) override;
    std::uint32_t suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit) override;
    // Parses a bare JPEG stream into a data set: the image attributes and the
    // stream itself as encapsulated pixel data.
    void readStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                    std::uint32_t maxSizeBufferLoad) override;
    void writeStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet) override;

    // Decodes the stream at the reader's position into interleaved samples.
    // The colour space is "MONOCHROME2" for one component, "RGB" when the
    // stream says its components are R, G, B, otherwise "YBR_FULL"; the
    // samples are not converted.
    jpegSamples decodeSamples(const ptr<streamReader>& pSourceStream, bool b2Complement);

    // Writes one complete stream of the samples. transferSyntax ".57"/".70"
    // selects lossless coding, anything else DCT coding; quality 300 uses
    // the standard quantisation tables, 100 a third of them (each entry
    // rounded to the nearest step).
    void encodeSamples(const ptr<streamWriter>& pDestStream, const jpegSamples& source,
                       const std::wstring& transferSyntax, int quality, std::uint8_t allocatedBits, bool subSampledX,
                       bool subSampledY, bool interleaved, bool b2Complement);

    // Stages, public for the tests.
    void resetInternal(bool bCompression, int quality);
    void prepareQuantizationTables(int table);
    void eraseChannels();
    void allocChannels();
    void findMcuSize();
    void registerTag(std::uint8_t tagId, const ptr<jpeg::tag>& pTag);
    void writeTag(streamWriter* pStream, std::uint8_t tagId);
    // Transforms 64 level-shifted samples and quantises them with the
    // reciprocals of 8 times the quantisation entries (halves away from 0).
    void forwardDct(std::int32_t* pBlock, const float* pFactors);
    void inverseDct(std::int32_t* pBlock, const std::int64_t* pFactors);
    // True when the stream signalled RGB components (Adobe transform 0, or
    // component identifiers 'R', 'G', 'B').
    bool streamSignalsRgb() const;
    // The message for a frame process (SOF code - 0xC0) that the codec does
    // not decode, or nullptr for the processes it handles (baseline,
    // extended, lossless).
    static const char* unsupportedProcessMessage(std::uint8_t process);

    // Frame state.
    std::uint32_t m_imageSizeX = 0;
    std::uint32_t m_imageSizeY = 0;
    std::uint8_t m_process = 0;
    std::int32_t m_precision = 8;
    std::int32_t m_maxValue = 255;
    bool m_endOfImage = false;
    std::map<std::uint8_t, ptr<jpeg::jpegChannel>> m_channelsMap;
    // Component identifiers in the order of the frame header: the order of
    // the decoded channels (identifiers 'R', 'G', 'B' do not sort as R, G, B).
    std::vector<std::uint8_t> m_channelsOrder;
    jpeg::jpegChannel* m_channelsList[257];
    ptr<huffmanTable> m_pHuffmanTableDC[16];
    ptr<huffmanTable> m_pHuffmanTableAC[16];
    std::uint32_t m_quantizationTable[16][64];
    std::uint16_t m_mcuPerRestartInterval = 0;
    std::uint32_t m_mcuProcessed = 0;
    std::uint32_t m_mcuProcessedX = 0;
    std::uint32_t m_mcuProcessedY = 0;
    std::uint32_t m_eobRun = 0;
    std::uint32_t m_mcuLastRestart = 0;
    std::uint32_t m_spectralIndexStart = 0;
    std::uint32_t m_spectralIndexEnd = 63;
    std::uint32_t m_bitHigh = 0;
    std::uint32_t m_bitLow = 0;
    bool m_bLossless = false;
    std::uint8_t m_markerFound = 0;
    std::uint32_t m_maxSamplingFactorX = 0;
    std::uint32_t m_maxSamplingFactorY = 0;
    std::uint32_t m_mcuNumberX = 0;
    std::uint32_t m_mcuNumberY = 0;
    std::uint32_t m_mcuNumberTotal = 0;
    std::uint32_t m_jpegImageSizeX = 0;
    std::uint32_t m_jpegImageSizeY = 0;
    std::int64_t m_decodingFactors[16][64];
    // 1 / (8 q) per quantisation entry q: the encoder's quantisation.
    float m_encodingFactors[16][64];
    // Adobe colour transform of the stream (-1: no APP14 segment); written
    // as 0 for RGB output.
    std::int32_t m_adobeTransform = -1;
    // True once a scan of two or more components has been read.
    bool m_lastScanInterleaved = false;
    // Decoding: a scan is open (its SOS read, its end not yet judged); at
    // least one MCU was decoded; some entropy-coded data was lost.
    bool m_scanOpen = false;
    bool m_anyScanData = false;
    bool m_dataLost = false;
    // Decoding: a coefficient was coded past the end of its block (corrupt
    // data; it is dropped).
    bool m_coefficientPastBlock = false;

    std::map<std::uint8_t, ptr<jpeg::tag>> m_tagsMap;

private:
    void decodeStreamInternal(streamReader* pStream);
    // Judges the scan that is open: decoded to its end or not.
    void closeScan();
    // Counts an MCU decoded and moves to the next.
    void mcuDecoded();
    // Decodes the coefficients of one block of a sequential scan into
    // pBlock (natural order, zero on entry); true when an AC coefficient was
    // present.
    bool readBlock(std::int32_t* pBlock, jpeg::jpegChannel* pChannel);
    // Decodes one MCU of a DCT scan.
    void readDctMcu();
    // Prepares the Huffman look-up tables of the scan's components.
    void prepareScanDecoding();
    void readLosslessMcu(streamReader* pStream, jpeg::jpegChannel* pChannel);
    jpegSamples copyJpegChannelsToSamples(bool b2Complement);
    void copyPlaneToSamples(const jpeg::jpegChannel& channel, std::uint32_t c, bool b2Complement,
                            jpegSamples& result) const;
    void copySamplesToJpegChannels(const jpegSamples& source, bool b2Complement, std::uint8_t allocatedBits,
                                   bool subSampledX, bool subSampledY);
    // DCT streams: transforms and quantises every block of every component.
    void transformSamples(const jpegSamples& source, bool b2Complement);
    void writeScan(streamWriter* pStream, bool bCalcHuffman);
    template <bool counting>
    void writeBlock(const std::int16_t* pCoefficients, std::uint64_t nonZero, jpeg::jpegChannel* pChannel);
    void writeLosslessSample(streamWriter* pStream, jpeg::jpegChannel* pChannel, bool bCalcHuffman);

    float m_fdctTempTable[64] = {};
    std::int64_t m_idctTempTable[64] = {};
    // Decoding: 8-bit DCT components go to sample planes; the scan's bit
    // reader, look-up tables and coefficients of the block being decoded.
    bool m_samplePlanes = false;
    // Encoding of DCT streams: components hold quantised coefficients.
    bool m_coefficientBlocks = false;
    jpeg::bitWriter m_bitWriter;
    jpeg::bitReader m_bits;
    jpeg::huffmanDecoder m_dcDecoders[16];
    jpeg::huffmanDecoder m_acDecoders[16];
    // Zero between blocks: cleared when the codec is made, when a stream or a
    // scan starts, and after each block is transformed.
    alignas(32) std::int32_t m_coefficients[64] = {};
    // Plain quantisation entries (natural order) of the 8-bit inverse DCT.
    std::int32_t m_decodingQuant[16][64] = {};
};

// Marker codes.
namespace jpegMarker
{
constexpr std::uint8_t SOI = 0xD8;
constexpr std::uint8_t EOI = 0xD9;
constexpr std::uint8_t SOS = 0xDA;
constexpr std::uint8_t DQT = 0xDB;
constexpr std::uint8_t DRI = 0xDD;
constexpr std::uint8_t DHT = 0xC4;
constexpr std::uint8_t APP14 = 0xEE;
} // namespace jpegMarker

} // namespace Halvoran::Varnix::codecs
