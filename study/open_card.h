// The open card: the patient under study as every window sees it (code, end-diastolic
// list, frame counts, calibration). The main window owns the one instance and hands the
// windows a read-only reference; they report changes back by signal.
#pragma once

#include "study/contour.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The IVUS frame file shown as analysed frame k: entry k of the end-diastolic list, or k
// itself past the end of the list (a card without a stored list analyses every file).
inline std::uint32_t AnalysedFrameFile(const std::vector<std::uint32_t>& endDiastolicFrames, std::size_t k)
{
    return k < endDiastolicFrames.size() ? endDiastolicFrames[k] : static_cast<std::uint32_t>(k);
}

struct OpenCard {
    int PatientCode = -1;                          // -1: no card open
    std::vector<std::uint32_t> EndDiastolicFrames; // analysed frame k is IVUS file EndDiastolicFrames[k]
    PixelPoint CalibrationPointA;                    // IVUS pixels, (0,0) at start
    PixelPoint CalibrationPointB;
    double CalibrationDistance = 1.0;              // millimetres between A and B
    int LAOFrameCount = 0;
    int RAOFrameCount = 0;
    // Number of analysed IVUS frames: the length of the end-diastolic list when the card
    // has one (a listed file that is missing is shown as an empty frame, it does not shift
    // the later ones), else the number of IVUS frame files. Use AnalysedFrameFile(k) for
    // the file of frame k, never EndDiastolicFrames[k] directly.
    int IVUSFrameCount = 0;

    int GetSelectedPatient() const { return PatientCode; }

    // The IVUS frame file number of analysed frame k (entry k of the list; k past its end).
    std::uint32_t AnalysedFrameFile(std::size_t k) const { return ::AnalysedFrameFile(EndDiastolicFrames, k); }

    // The analysed frames a window shows: IVUSFrameCount, never more than the list has
    // entries when there is a list.
    int AnalysedFrameCount() const
    {
        long long count = IVUSFrameCount;
        if (!EndDiastolicFrames.empty() && count > static_cast<long long>(EndDiastolicFrames.size()))
            count = static_cast<long long>(EndDiastolicFrames.size());
        return count < 0 ? 0 : static_cast<int>(count);
    }

    // The calibration back to its start values (no points, 1 mm).
    void ForgetCalibration()
    {
        CalibrationPointA = {};
        CalibrationPointB = {};
        CalibrationDistance = 1.0;
    }
};
