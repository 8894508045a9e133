// frame-extract FILE.dcm OUTDIR: writes the recording's frames as numbered JPEG frame
// files OUTDIR/frame.<n>.jpg as the wizard does, prints the number of frames written, and
// exits 1 with the reader's message when the file cannot be extracted.
#include "import/core/frame_extractor.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: frame-extract FILE.dcm OUTDIR\n";
        return 2;
    }
    try {
        std::string folder = argv[2];
        if (!folder.empty() && folder.back() != '/')
            folder += '/';
        studyimport::FrameExtractor extractor(studyimport::OpenDicomFrameSource(argv[1]),
                                              studyimport::NewBaselineJpegWriter(), folder, "frame");
        std::cout << extractor.Run() << "\n";
        if (!extractor.DamagedFrames().empty())
            std::cerr << studyimport::DamagedFramesWarning(extractor.DamagedFrames()) << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
