#include "study/frame_files.h"

std::string FramePrefix(std::string_view recording) { return std::string(recording) + '.'; }

std::string FrameFileName(std::string_view prefix, long long n)
{
    return std::string(prefix) + std::to_string(n) + ".jpg";
}

std::filesystem::path PatientDataFolder(const std::filesystem::path& programFolder)
{
    return programFolder / "patientData";
}

std::filesystem::path PatientFolder(const std::filesystem::path& programFolder, int code)
{
    return PatientDataFolder(programFolder) / std::to_string(code);
}

std::filesystem::path RecordingFolder(const std::filesystem::path& programFolder, int code,
                                      std::string_view recording)
{
    return PatientFolder(programFolder, code) / recording;
}

std::filesystem::path FrameFilePath(const std::filesystem::path& programFolder, int code,
                                    std::string_view recording, long long n)
{
    return RecordingFolder(programFolder, code, recording) / FrameFileName(FramePrefix(recording), n);
}
