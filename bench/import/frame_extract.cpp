// frame-extract FILE.dcm OUTDIR: writes the recording's frames as numbered JPEG frame
// files OUTDIR/frame.<n>.jpg as the wizard does, prints the number of frames written, and
// exits 1 when the file cannot be extracted. The failure and the warnings are the texts
// the wizard shows: a file that cannot be read is named with what is wrong with it and
// the reader's own text on a detail line.
#include "import/core/file_failure.h"
#include "import/core/frame_extractor.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: frame-extract FILE.dcm OUTDIR\n";
        return 2;
    }
    const std::string path = argv[1];
    std::string folder = argv[2];
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    std::unique_ptr<studyimport::FrameSource> source;
    try {
        // The wizard's checks before its question, then the recording for the frames.
        const studyimport::DicomSummary summary = studyimport::ReadDicomSummary(path);
        if (!summary.frameCountWarning.empty())
            std::cerr << summary.frameCountWarning << "\n";
        source = studyimport::OpenDicomFrameSource(path);
    } catch (const std::exception&) {
        std::cerr << studyimport::FileFailureText(path, std::current_exception()) << "\n";
        return 1;
    }
    try {
        studyimport::FrameExtractor extractor(std::move(source), studyimport::NewBaselineJpegWriter(), folder, "frame");
        std::cout << extractor.Run() << "\n";
        if (!extractor.DamagedFrames().empty())
            std::cerr << studyimport::DamagedFramesWarning(extractor.DamagedFrames()) << "\n";
        return 0;
    } catch (const std::exception& e) {
        // A frame that cannot be read is the file's failure; one that cannot be written
        // says so itself.
        std::cerr << (studyimport::IsDicomToolkitFailure(std::current_exception())
                          ? studyimport::FileFailureText(path, std::current_exception())
                          : std::string(e.what()))
                  << "\n";
        return 1;
    }
}
