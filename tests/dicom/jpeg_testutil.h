#pragma once

#include "dicom/core/jpegCodec.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jpegtest
{

using Halvoran::Varnix::codecs::jpegSamples;

// A scratch folder of its own for one test.
std::string scratchDir(const std::string& name);
// Runs a shell command; true when it exits with 0.
bool run(const std::string& command);
// True when every named program is on the path.
bool haveTools(const std::vector<std::string>& tools);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// PGM (1 channel) or PPM (3 channels), 8 or 16 bits (maxval from precision).
void writePnm(const std::string& path, const jpegSamples& samples);
std::optional<jpegSamples> readPnm(const std::string& path);

// Encodes with a fresh codec into bytes.
std::string encode(const jpegSamples& samples, const std::wstring& transferSyntax, int quality = 100,
                   std::uint8_t bits = 8, bool subSampledX = false, bool subSampledY = false, bool interleaved = false,
                   bool b2Complement = false);
// Decodes bytes with a fresh codec.
jpegSamples decode(const std::string& bytes, bool b2Complement = false);

// Test frames: a smooth gradient, and speckle like an ultrasound frame.
jpegSamples smoothFrame(std::uint32_t width, std::uint32_t height, std::uint32_t channels, std::uint32_t bits = 8);
jpegSamples speckleFrame(std::uint32_t width, std::uint32_t height, std::uint32_t channels, std::uint32_t bits = 8,
                         std::uint32_t seed = 1);

// Decodes bytes with the given codec (fresh or reused).
jpegSamples decodeWith(Halvoran::Varnix::codecs::jpegCodec& codec, const std::string& bytes, bool b2Complement = false);

// The 8 x 8 blocks (of every channel) where a and b differ by more than
// tolerance, as "channel c block (x, y): largest difference d" lines; empty
// when every block agrees. A shape mismatch is reported as such.
std::string blocksBeyond(const jpegSamples& a, const jpegSamples& b, int tolerance);

// Largest absolute difference of two sample sets of the same shape.
int maxDifference(const jpegSamples& a, const jpegSamples& b);
double psnr(const jpegSamples& a, const jpegSamples& b, int maxValue = 255);

// YCbCr (full range, as in JFIF) to RGB, rounded and clamped to 8 bits.
jpegSamples ybrToRgb(const jpegSamples& ybr);

// The JPEG stream inside a DICOM file with encapsulated pixel data: from the
// first SOI to the last EOI.
std::string streamInDicom(const std::string& dicomBytes);
// Writes a native little-endian DICOM file of the samples (through dump2dcm).
bool writeNativeDicom(const std::string& path, const jpegSamples& samples, std::uint32_t bitsStored);

// The message of the exception that call throws ("no exception" when none);
// the thread's exception trail is emptied.
std::string messageOf(const std::function<void()>& call);
// Offset of the first marker of that code (npos when none).
std::size_t findMarker(const std::string& bytes, unsigned char code);

} // namespace jpegtest
