// The decoder's state between blocks, scans, frames and codecs: every 8 x 8
// block of every frame must decode as libjpeg-turbo's djpeg decodes it, whether
// the codec is new (on memory that held other data, as a pool thread's heap
// gives it) or has already decoded other frames, including frames that failed
// half-way through a block.
#include "jpeg_testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

using namespace Halvoran;
using namespace Halvoran::Varnix::codecs;
using namespace jpegtest;

namespace
{

// A codec whose memory starts as leftovers of other data: every byte 0xA5.
class codecOnUsedMemory : public jpegCodec
{
public:
    static void* operator new(std::size_t size)
    {
        void* pMemory = ::operator new(size);
        std::memset(pMemory, 0xA5, size);
        return pMemory;
    }
    static void operator delete(void* pMemory) { ::operator delete(pMemory); }
};

struct independentStream
{
    std::string name;
    std::string bytes;
    jpegSamples reference; // djpeg's decode, RGB for colour
    int tolerance;         // per sample: the two inverse transforms and colour conversions
};

// Streams written by cjpeg from speckle frames, with djpeg's decode of each.
std::vector<independentStream> independentStreams()
{
    const std::string dir = scratchDir("decoder-state");
    writePnm(dir + "/grey.pgm", speckleFrame(64, 48, 1, 8, 11));
    writePnm(dir + "/odd.pgm", speckleFrame(37, 29, 1, 8, 12));
    writePnm(dir + "/colour.ppm", speckleFrame(40, 32, 3, 8, 13));
    struct recipe
    {
        const char* name;
        const char* input;
        const char* options;
        int tolerance;
    };
    std::vector<independentStream> streams;
    for (const recipe& r : {recipe{"grey", "grey.pgm", "-quality 83", 2}, recipe{"odd size", "odd.pgm", "-quality 95", 2},
                            recipe{"grey restarts", "grey.pgm", "-restart 2B -optimize", 2},
                            recipe{"colour 4:4:4", "colour.ppm", "-sample 1x1", 3},
                            recipe{"colour 4:2:0", "colour.ppm", "-sample 2x2 -restart 1", 3},
                            recipe{"RGB", "colour.ppm", "-rgb", 2}})
    {
        const std::string jpg = dir + "/" + std::to_string(streams.size()) + ".jpg";
        const std::string pnm = jpg + ".pnm";
        EXPECT_TRUE(run(std::string("cjpeg ") + r.options + " -outfile " + jpg + " " + dir + "/" + r.input)) << r.name;
        EXPECT_TRUE(run("djpeg -nosmooth -dct int -pnm -outfile " + pnm + " " + jpg)) << r.name;
        const auto reference = readPnm(pnm);
        EXPECT_TRUE(reference) << r.name;
        if (reference)
            streams.push_back({r.name, readFile(jpg), *reference, r.tolerance});
    }
    return streams;
}

// Our decode of the stream, in djpeg's colours, block by block against djpeg's.
std::string compareWithDjpeg(jpegCodec& codec, const independentStream& stream)
{
    jpegSamples ours = decodeWith(codec, stream.bytes);
    if (ours.m_damaged)
        return "decoded as damaged";
    if (ours.m_colorSpace == "YBR_FULL")
        ours = ybrToRgb(ours);
    return blocksBeyond(ours, stream.reference, stream.tolerance);
}

// The stream with 16 bytes of its scan data, from `offset` on, made into
// stuffed 0xFF bytes: all-one bits, which no Huffman table codes, so the
// decoder stops inside the scan with an error.
std::string withInvalidCodes(const std::string& bytes, std::size_t offset)
{
    const std::size_t sos = findMarker(bytes, 0xDA);
    const std::size_t length = (static_cast<unsigned char>(bytes[sos + 2]) << 8) | static_cast<unsigned char>(bytes[sos + 3]);
    std::string damaged = bytes;
    const std::size_t at = sos + 2 + length + offset;
    std::string ones;
    for (int i = 0; i < 8; ++i)
        ones += std::string("\xFF\x00", 2);
    damaged.replace(at, ones.size(), ones);
    return damaged;
}

} // namespace

TEST(JpegDecoderState, NewCodecsDecodeEveryBlockAsDjpeg)
{
    if (!haveTools({"cjpeg", "djpeg"}))
        GTEST_SKIP() << "oracle tools missing";
    const std::vector<independentStream> streams = independentStreams();
    ASSERT_EQ(streams.size(), 6u);
    for (const independentStream& stream : streams)
    {
        SCOPED_TRACE(stream.name);
        ptr<jpegCodec> onUsedMemory(new codecOnUsedMemory);
        EXPECT_EQ(compareWithDjpeg(*onUsedMemory, stream), "");
        ptr<jpegCodec> plain(new jpegCodec);
        EXPECT_EQ(compareWithDjpeg(*plain, stream), "");
    }
}

TEST(JpegDecoderState, AReusedCodecDecodesEveryBlockAsDjpeg)
{
    if (!haveTools({"cjpeg", "djpeg"}))
        GTEST_SKIP() << "oracle tools missing";
    const std::vector<independentStream> streams = independentStreams();
    ASSERT_EQ(streams.size(), 6u);
    // One codec for a run of frames of every kind, twice over, with frames
    // that fail inside a block in between: the next frame must not start
    // from what the failed one left.
    ptr<jpegCodec> codec(new codecOnUsedMemory);
    int failed = 0;
    for (int round = 0; round < 2; ++round)
    {
        for (std::size_t i = 0; i < streams.size(); ++i)
        {
            SCOPED_TRACE(streams[i].name + " in round " + std::to_string(round));
            EXPECT_EQ(compareWithDjpeg(*codec, streams[i]), "");
            const std::string damaged = withInvalidCodes(streams[i].bytes, 3 + 7 * i + 13 * round);
            if (messageOf([&] { decodeWith(*codec, damaged); }) != "no exception")
                ++failed;
        }
    }
    EXPECT_GE(failed, 6) << "the damaged frames must stop the decoder inside their scans";
    for (const independentStream& stream : streams)
    {
        SCOPED_TRACE(stream.name + " at the end");
        EXPECT_EQ(compareWithDjpeg(*codec, stream), "");
    }
}
