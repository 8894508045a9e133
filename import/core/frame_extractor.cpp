#include "import/core/frame_extractor.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/image.h"
#include "dicom/core/modalityVOILUT.h"
#include "dicom/core/jpegCodec.h"
#include "study/frame_files.h"
#include "study/replace_file.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <locale>
#include <sstream>

namespace studyimport {

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace {

constexpr std::uint32_t kInspectLoadLimit = 65535;
constexpr std::uint32_t kExtractLoadLimit = 2048;

// Runs a toolkit call; its exceptions become DicomImportError with the toolkit's message,
// holding the toolkit's exception nested so that the message seam can tell the user what
// it means (the calling thread's exception trail is emptied either way).
template <typename F>
auto Toolkit(F&& f) -> decltype(f())
{
    try {
        auto result = f();
        exceptionsManager::getTrailText();
        return result;
    } catch (const DicomImportError&) {
        exceptionsManager::getTrailText();
        throw;
    } catch (const std::exception& e) {
        exceptionsManager::getTrailText();
        std::throw_with_nested(DicomImportError(e.what()));
    }
}

ptr<dataSet> LoadDataSet(const std::string& path, std::uint32_t loadLimit)
{
    return Toolkit([&] {
        ptr<stream> file(new stream);
        file->openFile(path, std::ios::in);
        ptr<streamReader> reader(new streamReader(file, 0, 0));
        ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(reader, loadLimit);
        if (!loaded)
            throw DicomImportError("none of the codecs recognized the file format");
        return loaded;
    });
}

std::string Trim(std::string s)
{
    const auto notBlank = [](unsigned char c) { return c != ' ' && c != '\0' && c != '\t'; };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notBlank));
    s.erase(std::find_if(s.rbegin(), s.rend(), notBlank).base(), s.end());
    return s;
}

std::string Text(const ptr<dataSet>& ds, std::uint16_t group, std::uint16_t tag)
{
    return Toolkit([&] { return Trim(ds->getString(group, 0, tag, 0)); });
}

// The number of frames to extract, checked against what the pixel data hold before
// anything is sized by it: (0028,0008) when the file states it (missing: one frame),
// the frames of the pixel data when it is empty (with a warning for the user).
struct FrameCount {
    std::int32_t count = 1;
    std::string warning;
};

FrameCount CountFrames(const ptr<dataSet>& ds)
{
    const bool stated = Toolkit([&] { return !ds->getDataType(0x0028, 0, 0x0008).empty(); });
    const std::string text = Text(ds, 0x0028, 0x0008);
    const std::uint32_t held = Toolkit([&] { return ds->getPixelDataFrames(); });
    const bool encapsulated = Toolkit([&] {
        const ptr<data> pixels = ds->getTag(0x7FE0, 0, 0x0010, false);
        return pixels && pixels->getBufferSize(1) != 0;
    });
    const std::uint64_t pixelBytes = Toolkit([&] {
        const ptr<data> pixels = ds->getTag(0x7FE0, 0, 0x0010, false);
        return pixels ? std::uint64_t{pixels->getBufferSize(0)} : std::uint64_t{0};
    });
    const auto frames = [](std::uint64_t n) { return std::to_string(n) + (n == 1 ? " frame" : " frames"); };
    const std::string pixelData =
        encapsulated ? "its pixel data" : "its pixel data of " + std::to_string(pixelBytes) + " bytes";

    FrameCount result;
    if (stated && text.empty()) {
        if (held == 0)
            throw DicomImportError("The number of frames (0028,0008) of the file is empty, and no frame can be "
                                   "found in its pixel data");
        result.count = static_cast<std::int32_t>(std::min<std::uint32_t>(held, INT32_MAX));
        result.warning = "The number of frames (0028,0008) of the file is empty: the " + frames(held) + " that " +
                         pixelData + " hold " + (held == 1 ? "is" : "are") + " extracted.";
        return result;
    }
    result.count = ParseFrameCount(text);
    // Frames in pixel data groups of their own are not counted against the first group.
    const bool ownGroups = Toolkit([&] { return bool(ds->getTag(0x7FE0, 1, 0x0010, false)); });
    if (!ownGroups && static_cast<std::uint32_t>(result.count) > held && Toolkit([&] {
            return bool(ds->getTag(0x7FE0, 0, 0x0010, false));
        }))
        throw DicomImportError("The number of frames (0028,0008) of the file states " + frames(result.count) +
                               ", but " + pixelData + " hold " + (held == 0 ? "none" : frames(held)));
    return result;
}

} // namespace

std::int32_t ParseFrameCount(const std::string& text)
{
    const std::string t = Trim(text);
    if (t.empty())
        return 1;
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (ec != std::errc() || end != t.data() + t.size() || n < 1)
        throw DicomImportError("The number of frames \"" + t + "\" is not a positive whole number");
    return n;
}

double ParseDecimal(const std::string& text)
{
    const std::string t = Trim(text);
    if (t.empty())
        return 0.0;
    std::istringstream in(t);
    in.imbue(std::locale::classic());
    double v = 0.0;
    in >> v;
    if (in.fail() || !std::isfinite(v))
        throw DicomImportError("\"" + t + "\" is not a number");
    return v;
}

bool TransferSyntaxSupported(const std::string& ts)
{
    // Native data, RLE, and the JPEG processes of the toolkit's codec (baseline, extended,
    // lossless).
    return ts.empty() || ts == "1.2.840.10008.1.2" || ts == "1.2.840.10008.1.2.1" || ts == "1.2.840.10008.1.2.2" ||
           ts == "1.2.840.10008.1.2.5" || ts == "1.2.840.10008.1.2.4.50" || ts == "1.2.840.10008.1.2.4.51" ||
           ts == "1.2.840.10008.1.2.4.57" || ts == "1.2.840.10008.1.2.4.70";
}

DicomSummary ReadDicomSummary(const std::string& path)
{
    const ptr<dataSet> ds = LoadDataSet(path, kInspectLoadLimit);
    DicomSummary s;
    s.patientName = Text(ds, 0x0010, 0x0010);
    s.numberOfFramesText = Text(ds, 0x0028, 0x0008);
    s.birthDate = Text(ds, 0x0010, 0x0030);
    s.pixelSpacingText = Text(ds, 0x0028, 0x0030);
    s.positionerPrimaryAngle = Text(ds, 0x0018, 0x1510);
    s.transferSyntax = Text(ds, 0x0002, 0x0010);
    if (!s.numberOfFramesText.empty())
        s.frameCount = ParseFrameCount(s.numberOfFramesText);
    const double spacing = ParseDecimal(s.pixelSpacingText);
    s.pixelSpacing = spacing > 0.0 ? spacing : 0.0;
    if (!TransferSyntaxSupported(s.transferSyntax))
        throw DicomImportError("The transfer syntax " + s.transferSyntax + " of the file is not supported");
    // Frames come only from (7FE0,0010); say so before the question rather than after it.
    const auto has = [&](std::uint16_t tag) { return Toolkit([&] { return bool(ds->getTag(0x7FE0, 0, tag, false)); }); };
    if (!has(0x0010)) {
        if (has(0x0008) || has(0x0009))
            throw DicomImportError("The file holds floating-point pixel data, which this workstation does not read");
        throw DicomImportError("The file holds no image");
    }
    const FrameCount frames = CountFrames(ds);
    s.frameCount = frames.count;
    s.frameCountWarning = frames.warning;
    return s;
}

Frame8 MapToEightBits(const RawFrame& frame, const std::optional<VoiWindow>& window)
{
    Frame8 out;
    out.width = frame.width;
    out.height = frame.height;
    out.channels = frame.channels;
    out.samples.resize(frame.samples.size());
    const auto clip = [](double v) -> std::uint8_t { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
    if (frame.highBit <= 7) {
        std::transform(frame.samples.begin(), frame.samples.end(), out.samples.begin(),
                       [](std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); });
    } else if (window && window->width > 0.0) {
        // Linear VOI function: centre - 0.5 and width - 1 as DICOM defines it.
        const double c = window->centre - 0.5;
        const double w = window->width - 1.0;
        std::transform(frame.samples.begin(), frame.samples.end(), out.samples.begin(), [&](std::int32_t x) {
            if (w <= 0.0)
                return static_cast<std::uint8_t>(x <= c ? 0 : 255);
            if (x <= c - w / 2)
                return std::uint8_t{0};
            if (x > c + w / 2)
                return std::uint8_t{255};
            return clip(std::round(((x - c) / w + 0.5) * 255.0));
        });
    } else {
        const int shift = frame.highBit - 7;
        std::transform(frame.samples.begin(), frame.samples.end(), out.samples.begin(),
                       [&](std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v >> shift, 0, 255)); });
    }
    return out;
}

namespace {

// Full-range YCbCr to RGB (the JFIF equations) by tables of the chroma terms in 16-bit
// fixed point, for 8-bit samples; other values go through the same equations directly.
void YbrFullToRgb(std::vector<std::int32_t>& samples)
{
    struct Tables {
        std::int32_t crR[256], cbB[256], crG[256], cbG[256];
        Tables()
        {
            for (int i = 0; i < 256; ++i) {
                const double c = i - 128.0;
                crR[i] = static_cast<std::int32_t>(std::lround(1.402 * c * 65536.0));
                cbB[i] = static_cast<std::int32_t>(std::lround(1.772 * c * 65536.0));
                crG[i] = static_cast<std::int32_t>(std::lround(-0.714136 * c * 65536.0));
                cbG[i] = static_cast<std::int32_t>(std::lround(-0.344136 * c * 65536.0));
            }
        }
    };
    static const Tables t;
    constexpr std::int32_t half = 1 << 15;
    for (std::size_t i = 0; i + 2 < samples.size(); i += 3) {
        const std::int32_t y = samples[i], cb = samples[i + 1], cr = samples[i + 2];
        if ((y | cb | cr) & ~0xFF) {
            const double dcb = cb - 128.0, dcr = cr - 128.0;
            samples[i] = static_cast<std::int32_t>(std::lround(y + 1.402 * dcr));
            samples[i + 1] = static_cast<std::int32_t>(std::lround(y - 0.344136 * dcb - 0.714136 * dcr));
            samples[i + 2] = static_cast<std::int32_t>(std::lround(y + 1.772 * dcb));
            continue;
        }
        const std::int32_t base = y << 16;
        samples[i] = (base + t.crR[cr] + half) >> 16;
        samples[i + 1] = (base + t.cbG[cb] + t.crG[cr] + half) >> 16;
        samples[i + 2] = (base + t.cbB[cb] + half) >> 16;
    }
}

// The frames of a data set, decoded by the toolkit (native, RLE or JPEG pixel data) and
// brought through its modality transform when they are monochrome.
class DicomFrameSource : public FrameSource {
public:
    explicit DicomFrameSource(const std::string& path) : path_(path), ds_(LoadDataSet(path, kExtractLoadLimit))
    {
        const std::string ts = Text(ds_, 0x0002, 0x0010);
        if (!TransferSyntaxSupported(ts))
            throw DicomImportError("The transfer syntax " + ts + " of the file is not supported");
        frames_ = CountFrames(ds_).count;
        Toolkit([&] {
            const double width = ds_->getDouble(0x0028, 0, 0x1051, 0);
            if (width > 0.0)
                window_ = VoiWindow{ds_->getDouble(0x0028, 0, 0x1050, 0), width};
            return 0;
        });
    }

    std::optional<VoiWindow> Window() const override { return window_; }

    // A data set and file stream of its own: frames are read and decoded without
    // waiting for another thread's.
    std::unique_ptr<FrameSource> Clone() const override { return std::make_unique<DicomFrameSource>(path_); }

    std::optional<RawFrame> ReadFrame(std::int32_t index) override
    {
        if (index < 0 || index >= frames_)
            return std::nullopt;
        try {
            return Decode(index);
        } catch (const DicomImportError& e) {
            // The toolkit's own failure stays nested inside, for the messages at the edge.
            std::throw_with_nested(DicomImportError("Frame " + std::to_string(index) + " cannot be read: " + e.what()));
        }
    }

private:
    std::optional<RawFrame> Decode(std::int32_t index)
    {
        return Toolkit([&] {
            ptr<image> frame = ds_->getImage(static_cast<std::uint32_t>(index));
            if (!frame)
                throw DicomImportError("The file holds no pixel data");
            const bool damaged = frame->isDamaged();
            std::wstring space = frame->getColorSpace();
            const bool monochrome = space == L"MONOCHROME1" || space == L"MONOCHROME2";
            if (monochrome) {
                ptr<transforms::modalityVOILUT> modality(new transforms::modalityVOILUT);
                modality->declareDataSet(ds_);
                modality->declareInputImage(0, frame);
                modality->doTransform();
                frame = modality->getOutputImage(0);
            }
            RawFrame f;
            f.damaged = damaged;
            std::uint32_t width = 0, height = 0, rowSize = 0, pixelSize = 0, channels = 0;
            frame->getSize(&width, &height);
            ptr<handlers::imageHandler> h = frame->getDataHandler(false, &rowSize, &pixelSize, &channels);
            if (!h || channels == 0 || channels > 4 || width == 0 || height == 0)
                throw DicomImportError("The image description of the file is not supported");
            f.width = static_cast<int>(width);
            f.height = static_cast<int>(height);
            f.channels = static_cast<int>(channels);
            const std::size_t n = std::size_t(width) * height * channels;
            if (h->getSize() < n)
                throw DicomImportError("The frame " + std::to_string(index) + " of the file is incomplete");
            f.samples.resize(n);
            std::memcpy(f.samples.data(), h->getMemoryBuffer(), n * sizeof(std::int32_t));
            h.release();
            f.highBit = std::max<int>(0, static_cast<int>(frame->getHighBit()));
            if (space == L"MONOCHROME1") {
                const std::int32_t top = (1 << (std::min(f.highBit, 30) + 1)) - 1;
                for (std::int32_t& v : f.samples)
                    v = top - v;
            }
            if ((space == L"YBR_FULL" || space == L"YBR_FULL_422") && channels == 3)
                YbrFullToRgb(f.samples);
            return std::optional<RawFrame>(std::move(f));
        });
    }

    std::string path_;
    ptr<dataSet> ds_;
    std::int32_t frames_ = 1;
    std::optional<VoiWindow> window_;
};

// The DICOM toolkit's JPEG codec writes each frame as one baseline stream (8-bit DCT,
// Huffman tables of the frame, no chroma subsampling) with its quality-100 tables.
class ToolkitJpegWriter : public FrameFileWriter {
public:
    void Write(const Frame8& frame, const std::string& path) override { WriteFrameFile(path, Encode(frame)); }

    std::unique_ptr<FrameFileWriter> Clone() const override { return std::make_unique<ToolkitJpegWriter>(); }

    std::string Encode(const Frame8& frame) override
    {
        if (frame.channels != 1 && frame.channels != 3)
            throw DicomImportError("Frames with " + std::to_string(frame.channels) + " channels cannot be written");
        codecs::jpegSamples samples;
        samples.m_width = static_cast<std::uint32_t>(frame.width);
        samples.m_height = static_cast<std::uint32_t>(frame.height);
        samples.m_channels = static_cast<std::uint32_t>(frame.channels);
        samples.m_colorSpace = frame.channels == 1 ? "MONOCHROME2" : "RGB";
        samples.m_precision = 8;
        samples.m_values.assign(frame.samples.begin(), frame.samples.end());

        ptr<memory> block(new memory);
        try {
            ptr<codecs::jpegCodec> codec(new codecs::jpegCodec);
            ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
            codec->encodeSamples(writer, samples, kBaselineSyntax, 100, 8, false, false, true, false);
            writer->flush();
            // The codec leaves its marker slot in the writer: the writer must not reach it
            // once the codec is gone.
            writer->m_pTagByte = nullptr;
            exceptionsManager::getTrailText();
        } catch (const std::exception& e) {
            exceptionsManager::getTrailText();
            throw DicomImportError(std::string("The frame cannot be encoded: ") + e.what());
        }
        return std::string(reinterpret_cast<const char*>(block->data()), block->size());
    }

private:
    static constexpr const wchar_t* kBaselineSyntax = L"1.2.840.10008.1.2.4.50";
};

} // namespace

void WriteFrameFile(const std::string& path, const std::string& bytes)
{
    // Frame after frame into the working folder: each file appears whole or not at all;
    // the extraction syncs the folder's file system once when it is done.
    try {
        ReplaceFile(path, bytes, Durability::Deferred);
    } catch (const FileWriteError& e) {
        throw DicomImportError("The frame file " + path + " cannot be written: " + e.reason());
    }
}

namespace {

// Any writer writes the frame beside its file first, so a failure (a full disk) never
// leaves a frame file cut short, nor removes one that was there.
void WriteFrameWith(FrameFileWriter& writer, const Frame8& frame, const std::string& path)
{
    try {
        StagedFile::Produce(
            path,
            [&](const std::filesystem::path& temporary) {
                writer.Write(frame, temporary.string());
                return std::string();
            },
            Durability::Deferred)
            .Commit();
    } catch (const FileWriteError& e) {
        throw DicomImportError("The frame file " + path + " cannot be written: " + e.reason());
    }
}

// Makes the frame files of a finished extraction last: one sync for all of them.
void SyncFrameFiles(const std::string& folder)
{
    try {
        SyncFileSystem(folder.empty() ? std::string(".") : folder);
    } catch (const FileWriteError& e) {
        throw DicomImportError("The frame files in " + folder + " cannot be written: " + e.reason());
    }
}

} // namespace

std::string FrameFileWriter::Encode(const Frame8&) { return {}; }

std::unique_ptr<FrameSource> OpenDicomFrameSource(const std::string& path)
{
    return std::make_unique<DicomFrameSource>(path);
}

std::unique_ptr<FrameFileWriter> NewBaselineJpegWriter() { return std::make_unique<ToolkitJpegWriter>(); }

std::string ExtractedFramePath(const std::string& outputFolder, const std::string& seriesName, std::int32_t index)
{
    const auto dot = seriesName.rfind('.');
    if (dot == std::string::npos)
        return outputFolder + FrameFileName(FramePrefix(seriesName), index);
    // A series named with an extension keeps it: "frame.jpeg" -> "frame.0.jpeg".
    return outputFolder + seriesName.substr(0, dot) + "." + std::to_string(index) + seriesName.substr(dot);
}

FrameExtractor::FrameExtractor(std::unique_ptr<FrameSource> source, std::unique_ptr<FrameFileWriter> writer,
                               std::string outputFolder, std::string seriesName)
    : source_(std::move(source)), writer_(std::move(writer)), outputFolder_(std::move(outputFolder)),
      seriesName_(std::move(seriesName))
{
}

std::string DamagedFramesWarning(const std::vector<std::int32_t>& frames)
{
    if (frames.empty())
        return {};
    std::string list;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        if (k > 0)
            list += k + 1 == frames.size() ? " and " : ", ";
        list += std::to_string(frames[k]);
    }
    return frames.size() == 1
               ? "Frame " + list + " of the recording is damaged: it was stored as far as it could be decoded."
               : "Frames " + list + " of the recording are damaged: they were stored as far as they could be decoded.";
}

namespace {

// The cores this process may run on (its affinity, as taskset sets it).
int UsableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
}

} // namespace

std::int32_t FrameExtractor::Run(const Callbacks& callbacks)
{
    damaged_.clear();
    const int threads = threads_ > 0 ? threads_ : std::clamp(UsableCores(), 1, 8);
    if (threads > 1)
        return RunInParallel(callbacks, threads);
    std::int32_t i = 0;
    while (!StopRequested()) {
        if (callbacks.progress)
            callbacks.progress(i);
        std::optional<RawFrame> raw = source_->ReadFrame(i);
        if (!raw)
            break;
        if (raw->damaged)
            damaged_.push_back(i);
        const Frame8 frame = MapToEightBits(*raw, source_->Window());
        raw.reset();
        WriteFrameWith(*writer_, frame, ExtractedFramePath(outputFolder_, seriesName_, i));
        ++i;
    }
    if (i > 0)
        SyncFrameFiles(outputFolder_);
    return i;
}

} // namespace studyimport

namespace studyimport {

namespace {

// What a pool thread made of one frame.
struct EncodedFrame {
    bool end = false; // the recording has no such frame
    bool damaged = false;
    std::string bytes;
    std::exception_ptr error;
};

} // namespace

std::int32_t FrameExtractor::RunInParallel(const Callbacks& callbacks, int threads)
{
    // Each pool thread has a source and a writer of its own.
    std::vector<std::unique_ptr<FrameSource>> sources;
    std::vector<std::unique_ptr<FrameFileWriter>> writers;
    for (int t = 0; t < threads; ++t) {
        std::unique_ptr<FrameSource> source = t == 0 ? nullptr : source_->Clone();
        std::unique_ptr<FrameFileWriter> writer = writer_->Clone();
        if ((t > 0 && !source) || !writer) {
            threads_ = 1; // not shareable: one thread
            const std::int32_t written = Run(callbacks);
            threads_ = 0;
            return written;
        }
        sources.push_back(std::move(source));
        writers.push_back(std::move(writer));
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::int32_t, EncodedFrame> ready;
    std::int32_t next = 0;        // the next frame a pool thread takes
    std::int32_t writing = 0;     // the frame this thread writes next
    std::int32_t end = INT32_MAX; // the first frame found missing
    bool finished = false;        // the pool threads are to stop
    const std::int32_t ahead = 2 * threads; // frames made ahead of the writing at most

    auto work = [&](int t) {
        FrameSource& source = t == 0 ? *source_ : *sources[std::size_t(t)];
        FrameFileWriter& writer = *writers[std::size_t(t)];
        for (;;) {
            std::int32_t i = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return finished || (next < end && next < writing + ahead); });
                if (finished)
                    return;
                i = next++;
            }
            EncodedFrame result;
            try {
                std::optional<RawFrame> raw = source.ReadFrame(i);
                if (!raw) {
                    result.end = true;
                } else {
                    result.damaged = raw->damaged;
                    const Frame8 frame = MapToEightBits(*raw, source.Window());
                    raw.reset();
                    result.bytes = writer.Encode(frame);
                }
            } catch (...) {
                result.error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (result.end)
                end = std::min(end, i);
            ready[i] = std::move(result);
            changed.notify_all();
        }
    };

    std::vector<std::thread> pool;
    auto stopPool = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        changed.notify_all();
        for (std::thread& thread : pool)
            thread.join();
        pool.clear();
    };
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(work, t);

    // Frames are written here, in order, as the single-thread run does.
    std::int32_t i = 0;
    try {
        while (!StopRequested()) {
            if (callbacks.progress)
                callbacks.progress(i);
            EncodedFrame frame;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return ready.count(i) != 0; });
                frame = std::move(ready[i]);
                ready.erase(i);
            }
            if (frame.error)
                std::rethrow_exception(frame.error);
            if (frame.end)
                break;
            if (frame.damaged)
                damaged_.push_back(i);
            WriteFrameFile(ExtractedFramePath(outputFolder_, seriesName_, i), frame.bytes);
            ++i;
            {
                std::lock_guard<std::mutex> lock(mutex);
                writing = i;
            }
            changed.notify_all();
        }
    } catch (...) {
        stopPool();
        throw;
    }
    stopPool();
    if (i > 0)
        SyncFrameFiles(outputFolder_);
    return i;
}

} // namespace studyimport
