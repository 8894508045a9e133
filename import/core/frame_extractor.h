#pragma once
// Extraction of a DICOM recording's frames into numbered JPEG frame files, free of any
// window: the wizard runs it on a worker thread, the command-line driver and the tests
// run it directly.
//
// The road of one frame: a FrameSource gives frame i as samples of any depth, the
// samples are brought to 8 bits (MapToEightBits), and a FrameFileWriter stores them as a
// JPEG baseline file "<folder><series>.<i>.jpg".
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace studyimport {

// A failure of the import that the user is told about (the text is shown as it is).
class DicomImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The header values that the wizard shows before it extracts.
struct DicomSummary {
    std::string patientName;            // (0010,0010)
    std::string numberOfFramesText;     // (0028,0008) as stored
    std::int32_t frameCount = 1;        // a missing (0028,0008) means one frame
    // Said to the user before the question when the frame count is not the one the file
    // states (an empty (0028,0008): the frames its pixel data hold); empty otherwise.
    std::string frameCountWarning;
    std::string birthDate;              // (0010,0030) as stored
    std::string pixelSpacingText;       // (0028,0030), first value
    double pixelSpacing = 0.0;          // that value in mm, 0 when missing or not positive
    std::string positionerPrimaryAngle; // (0018,1510)
    std::string transferSyntax;         // (0002,0010)
};

// Reads the header of a DICOM file (values longer than 65,535 bytes stay in the file).
// Throws DicomImportError when the file cannot be read, its frame count is not a number
// or more than its pixel data hold, its pixel spacing is not a number, or no frame
// reader handles its transfer syntax.
DicomSummary ReadDicomSummary(const std::string& path);

// (0028,0008) as text: the empty text is one frame; anything but a positive whole number
// throws DicomImportError.
std::int32_t ParseFrameCount(const std::string& text);
// The first value of a decimal-string text, read with "." as the decimal point whatever
// the user's locale; the empty text gives 0. Throws DicomImportError for a non-number.
double ParseDecimal(const std::string& text);

// True when frames of this transfer syntax can be extracted here.
bool TransferSyntaxSupported(const std::string& transferSyntax);

// One frame as read from the recording: samples as signed 32-bit values, the channels of
// a pixel next to each other, rows top to bottom.
struct RawFrame {
    int width = 0;
    int height = 0;
    int channels = 1;
    int highBit = 7; // of the stored samples (after the modality transform)
    // Decoded from a damaged stream (cut off or with lost data): stored as far as it could
    // be decoded, the rest grey.
    bool damaged = false;
    std::vector<std::int32_t> samples;
};

// VOI window of the data set: (0028,1050) centre and (0028,1051) width.
struct VoiWindow {
    double centre = 0.0;
    double width = 0.0;
};

// One frame of 8-bit samples, ready for the JPEG encoder.
struct Frame8 {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::vector<std::uint8_t> samples;
};

// Brings a frame to 8 bits. A frame whose high bit is at most 7 is clipped to 0..255
// (unchanged for 8-bit data). A deeper frame goes through the VOI window when one with a
// positive width is given (linear, as DICOM defines it), else it is shifted right by
// (high bit - 7) and clipped.
Frame8 MapToEightBits(const RawFrame& frame, const std::optional<VoiWindow>& window);

// Gives the frames of one recording in order.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Frame i (from 0); nullopt when the recording has no frame i. Throws
    // DicomImportError when the frame cannot be read.
    virtual std::optional<RawFrame> ReadFrame(std::int32_t index) = 0;
    // The VOI window of the recording, when it states one.
    virtual std::optional<VoiWindow> Window() const { return std::nullopt; }
    // Another source of the same frames that another thread can read at the same time
    // (empty when the source cannot be shared out so).
    virtual std::unique_ptr<FrameSource> Clone() const { return nullptr; }
};

// Writes one frame file. Throws DicomImportError when the file cannot be written. The
// extractor hands it a temporary beside the frame file and puts it in place itself.
class FrameFileWriter {
public:
    virtual ~FrameFileWriter() = default;
    virtual void Write(const Frame8& frame, const std::string& path) = 0;
    // Another writer of the same kind for another thread, whose Encode gives the bytes
    // that Write stores (empty when the writer cannot work so).
    virtual std::unique_ptr<FrameFileWriter> Clone() const { return nullptr; }
    virtual std::string Encode(const Frame8& frame);
};

// Writes bytes as the file path, replacing it whole (study/replace_file.h, not synced: the
// extraction syncs once at its end). Throws DicomImportError naming the path and the
// system's reason when it cannot; an existing file is then left as it was.
void WriteFrameFile(const std::string& path, const std::string& bytes);

// The frames of a DICOM file, decoded by the DICOM toolkit (native, RLE or JPEG pixel
// data; monochrome frames through its modality transform). Values longer than 2,048
// bytes stay in the file until they are used; frames past (0028,0008) do not exist (an
// empty (0028,0008): past the frames the pixel data hold). Throws DicomImportError when
// the file cannot be read, its transfer syntax is not handled or it states more frames
// than its pixel data hold.
std::unique_ptr<FrameSource> OpenDicomFrameSource(const std::string& path);

// The JPEG baseline writer of the frame files: the DICOM toolkit's JPEG codec at quality
// 100, grey for one channel, RGB (labelled by an Adobe marker, no chroma subsampling)
// for three.
std::unique_ptr<FrameFileWriter> NewBaselineJpegWriter();

// The frame file of frame i: "<folder><series>.<i>.jpg". A "." in the series name starts
// the extension (the import's series names have none); a "." in the folder never counts.
std::string ExtractedFramePath(const std::string& outputFolder, const std::string& seriesName, std::int32_t index);

class FrameExtractor {
public:
    struct Callbacks {
        // Before each frame, with its index (from 0).
        std::function<void(std::int32_t index)> progress;
    };

    FrameExtractor(std::unique_ptr<FrameSource> source, std::unique_ptr<FrameFileWriter> writer,
                   std::string outputFolder, std::string seriesName);

    // Threads that read and encode frames at the same time (default: one per core, at
    // most 8); the files are written in frame order all the same, and stopping ends after
    // the frame being written. A source or writer that cannot be cloned runs on one.
    void SetThreads(int threads) { threads_ = threads; }

    // Asks the extraction to stop before its next frame (any thread). A frame being
    // written is completed.
    void RequestStop() { stop_.store(true); }
    bool StopRequested() const { return stop_.load(); }

    // Writes frame after frame until the recording ends or a stop is asked; returns the
    // number of frame files written. Throws DicomImportError on a failure; the files
    // written before it stay.
    std::int32_t Run(const Callbacks& callbacks = {});

    // The frames of the last run that were decoded from damaged data, in order.
    const std::vector<std::int32_t>& DamagedFrames() const { return damaged_; }

private:
    std::unique_ptr<FrameSource> source_;
    std::unique_ptr<FrameFileWriter> writer_;
    std::string outputFolder_;
    std::string seriesName_;
    std::int32_t RunInParallel(const Callbacks& callbacks, int threads);

    std::atomic<bool> stop_{false};
    std::vector<std::int32_t> damaged_;
    int threads_ = 0;
};

// The warning for frames decoded from damaged data (empty when there are none), e.g.
// "Frames 3 and 7 of the recording are damaged: they were stored as far as they could
// be decoded."
std::string DamagedFramesWarning(const std::vector<std::int32_t>& frames);

} // namespace studyimport
