#pragma once
// Naming of a recording's frame files: prefix ("LAO.", "RAO.", "IVUS."), the frame
// number counted from 0, then ".jpg", in the recording's folder.
#include <filesystem>
#include <string>

namespace studyimport {

inline std::string FrameFileName(const std::string& prefix, long long frame)
{
    return prefix + std::to_string(frame) + ".jpg";
}

inline std::filesystem::path FrameFilePath(const std::filesystem::path& folder,
                                           const std::string& prefix, long long frame)
{
    return folder / FrameFileName(prefix, frame);
}

} // namespace studyimport
