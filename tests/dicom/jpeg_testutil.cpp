#include "dicom/base/exceptionsManager.h"
#include "jpeg_testutil.h"

#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace Halvoran;
using namespace Halvoran::Varnix::codecs;

namespace jpegtest
{

namespace
{
// Removes the scratch folders when the test program ends.
struct scratchRegistry
{
    std::vector<std::filesystem::path> dirs;
    ~scratchRegistry()
    {
        std::error_code ignored;
        for (const auto& dir : dirs)
            std::filesystem::remove_all(dir, ignored);
    }
};
scratchRegistry& registry()
{
    static scratchRegistry instance;
    return instance;
}
} // namespace

std::string scratchDir(const std::string& name)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kestrova-jpeg-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    registry().dirs.push_back(dir);
    return dir.string();
}

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool haveTools(const std::vector<std::string>& tools)
{
    for (const auto& tool : tools)
        if (!run("command -v " + tool))
            return false;
    return true;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writePnm(const std::string& path, const jpegSamples& samples)
{
    const int maxValue = (1 << samples.m_precision) - 1;
    std::ostringstream out;
    out << (samples.m_channels == 1 ? "P5" : "P6") << "\n"
        << samples.m_width << " " << samples.m_height << "\n"
        << maxValue << "\n";
    std::string bytes = out.str();
    for (std::int32_t v : samples.m_values)
    {
        if (maxValue > 255)
            bytes.push_back(static_cast<char>(v >> 8));
        bytes.push_back(static_cast<char>(v & 0xFF));
    }
    writeFile(path, bytes);
}

std::optional<jpegSamples> readPnm(const std::string& path)
{
    const std::string bytes = readFile(path);
    std::istringstream in(bytes);
    std::string magic;
    int width = 0;
    int height = 0;
    int maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    if ((magic != "P5" && magic != "P6") || width <= 0 || height <= 0 || maxValue <= 0)
        return std::nullopt;
    in.get();
    jpegSamples samples;
    samples.m_width = static_cast<std::uint32_t>(width);
    samples.m_height = static_cast<std::uint32_t>(height);
    samples.m_channels = magic == "P5" ? 1 : 3;
    samples.m_colorSpace = magic == "P5" ? "MONOCHROME2" : "RGB";
    samples.m_precision = maxValue > 255 ? 16 : 8;
    const std::size_t count = static_cast<std::size_t>(width) * height * samples.m_channels;
    std::size_t position = static_cast<std::size_t>(in.tellg());
    for (std::size_t i = 0; i < count; ++i)
    {
        if (position >= bytes.size())
            return std::nullopt;
        int v = static_cast<unsigned char>(bytes[position++]);
        if (maxValue > 255)
            v = (v << 8) | static_cast<unsigned char>(bytes[position++]);
        samples.m_values.push_back(v);
    }
    return samples;
}

std::string encode(const jpegSamples& samples, const std::wstring& transferSyntax, int quality, std::uint8_t bits,
                   bool subSampledX, bool subSampledY, bool interleaved, bool b2Complement)
{
    ptr<memory> block(new memory);
    ptr<memoryStream> stream(new memoryStream(block));
    {
        ptr<streamWriter> writer(new streamWriter(stream));
        ptr<jpegCodec> codec(new jpegCodec);
        codec->encodeSamples(writer, samples, transferSyntax, quality, bits, subSampledX, subSampledY, interleaved,
                             b2Complement);
        writer->m_pTagByte = nullptr;
    }
    return std::string(reinterpret_cast<const char*>(block->data()), block->size());
}

jpegSamples decode(const std::string& bytes, bool b2Complement)
{
    ptr<jpegCodec> codec(new jpegCodec);
    return decodeWith(*codec, bytes, b2Complement);
}

jpegSamples decodeWith(jpegCodec& codec, const std::string& bytes, bool b2Complement)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    ptr<memoryStream> stream(new memoryStream(block));
    ptr<streamReader> reader(new streamReader(stream));
    jpegSamples result = codec.decodeSamples(reader, b2Complement);
    reader->m_pTagByte = nullptr;
    return result;
}

std::string blocksBeyond(const jpegSamples& a, const jpegSamples& b, int tolerance)
{
    if (a.m_width != b.m_width || a.m_height != b.m_height || a.m_channels != b.m_channels ||
        a.m_values.size() != b.m_values.size())
        return "the shapes differ";
    std::string report;
    for (std::uint32_t c = 0; c < a.m_channels; ++c)
        for (std::uint32_t by = 0; by < a.m_height; by += 8)
            for (std::uint32_t bx = 0; bx < a.m_width; bx += 8)
            {
                int largest = 0;
                for (std::uint32_t y = by; y < std::min(by + 8, a.m_height); ++y)
                    for (std::uint32_t x = bx; x < std::min(bx + 8, a.m_width); ++x)
                    {
                        const std::size_t i = (static_cast<std::size_t>(y) * a.m_width + x) * a.m_channels + c;
                        largest = std::max(largest, std::abs(a.m_values[i] - b.m_values[i]));
                    }
                if (largest > tolerance)
                    report += "channel " + std::to_string(c) + " block (" + std::to_string(bx / 8) + ", " +
                              std::to_string(by / 8) + "): largest difference " + std::to_string(largest) + "\n";
            }
    return report;
}

jpegSamples smoothFrame(std::uint32_t width, std::uint32_t height, std::uint32_t channels, std::uint32_t bits)
{
    jpegSamples samples;
    samples.m_width = width;
    samples.m_height = height;
    samples.m_channels = channels;
    samples.m_colorSpace = channels == 1 ? "MONOCHROME2" : "RGB";
    samples.m_precision = bits;
    const double top = (1 << bits) - 1;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            for (std::uint32_t c = 0; c < channels; ++c)
            {
                const double v = 0.5 + 0.35 * std::sin(0.05 * x + 0.9 * c) * std::cos(0.04 * y - 0.3 * c) +
                                 0.1 * std::sin(0.013 * (x + y));
                samples.m_values.push_back(static_cast<std::int32_t>(std::lround(v * top)));
            }
    return samples;
}

jpegSamples speckleFrame(std::uint32_t width, std::uint32_t height, std::uint32_t channels, std::uint32_t bits,
                         std::uint32_t seed)
{
    jpegSamples samples = smoothFrame(width, height, channels, bits);
    std::mt19937 random(seed);
    const int top = (1 << bits) - 1;
    std::normal_distribution<double> noise(0.0, top * 0.05);
    for (auto& v : samples.m_values)
        v = std::clamp(static_cast<int>(std::lround(v * 0.8 + noise(random))), 0, top);
    return samples;
}

int maxDifference(const jpegSamples& a, const jpegSamples& b)
{
    if (a.m_values.size() != b.m_values.size())
        return 1 << 30;
    int result = 0;
    for (std::size_t i = 0; i < a.m_values.size(); ++i)
        result = std::max(result, std::abs(a.m_values[i] - b.m_values[i]));
    return result;
}

double psnr(const jpegSamples& a, const jpegSamples& b, int maxValue)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.m_values.size(); ++i)
    {
        const double d = a.m_values[i] - b.m_values[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.m_values.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(double(maxValue) * maxValue / mse);
}

jpegSamples ybrToRgb(const jpegSamples& ybr)
{
    jpegSamples rgb = ybr;
    rgb.m_colorSpace = "RGB";
    for (std::size_t i = 0; i + 2 < rgb.m_values.size(); i += 3)
    {
        const double y = ybr.m_values[i];
        const double cb = ybr.m_values[i + 1] - 128.0;
        const double cr = ybr.m_values[i + 2] - 128.0;
        const double r = y + 1.402 * cr;
        const double g = y - 0.344136 * cb - 0.714136 * cr;
        const double b = y + 1.772 * cb;
        rgb.m_values[i] = std::clamp(static_cast<int>(std::lround(r)), 0, 255);
        rgb.m_values[i + 1] = std::clamp(static_cast<int>(std::lround(g)), 0, 255);
        rgb.m_values[i + 2] = std::clamp(static_cast<int>(std::lround(b)), 0, 255);
    }
    return rgb;
}

std::string streamInDicom(const std::string& dicomBytes)
{
    const std::size_t start = dicomBytes.find("\xFF\xD8\xFF");
    const std::size_t end = dicomBytes.rfind("\xFF\xD9");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return {};
    return dicomBytes.substr(start, end + 2 - start);
}

bool writeNativeDicom(const std::string& path, const jpegSamples& samples, std::uint32_t bitsStored)
{
    const std::uint32_t allocated = bitsStored > 8 ? 16 : 8;
    std::string raw;
    for (std::int32_t v : samples.m_values)
    {
        raw.push_back(static_cast<char>(v & 0xFF));
        if (allocated == 16)
            raw.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    writeFile(path + ".raw", raw);
    std::ostringstream dump;
    dump << "(0002,0010) UI =LittleEndianExplicit\n"
         << "(0008,0016) UI =SecondaryCaptureImageStorage\n"
         << "(0008,0018) UI 1.2.826.0.1.3680043.2.1125.1\n"
         << "(0028,0002) US " << samples.m_channels << "\n"
         << "(0028,0004) CS " << (samples.m_channels == 1 ? "MONOCHROME2" : "RGB") << "\n";
    if (samples.m_channels > 1)
        dump << "(0028,0006) US 0\n";
    dump << "(0028,0010) US " << samples.m_height << "\n"
         << "(0028,0011) US " << samples.m_width << "\n"
         << "(0028,0100) US " << allocated << "\n"
         << "(0028,0101) US " << bitsStored << "\n"
         << "(0028,0102) US " << bitsStored - 1 << "\n"
         << "(0028,0103) US 0\n"
         << "(7fe0,0010) " << (allocated == 16 ? "OW" : "OB") << " =" << path << ".raw\n";
    writeFile(path + ".txt", dump.str());
    return run("dump2dcm --write-xfer-little " + path + ".txt " + path);
}

std::string messageOf(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const std::exception& e)
    {
        Halvoran::exceptionsManager::getTrailText();
        return e.what();
    }
    return "no exception";
}

std::size_t findMarker(const std::string& bytes, unsigned char code)
{
    return bytes.find(std::string("\xFF", 1) + static_cast<char>(code));
}

} // namespace jpegtest
