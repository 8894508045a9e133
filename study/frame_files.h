// The names of a study's frame files. Every recording of a card ("LAO", "RAO", "IVUS")
// is a folder of JPEG images numbered from 0 under the program folder:
//     <program folder>/patientData/<code>/IVUS/IVUS.12.jpg
// A frame-file prefix is the recording's name and a dot ("IVUS."); the working folders
// of a new study in "cache" name their files the same way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The frame-file prefix of a recording: "IVUS" -> "IVUS.".
std::string FramePrefix(std::string_view recording);

// Frame file n of a prefix: ("IVUS.", 12) -> "IVUS.12.jpg". The prefix may start with a
// folder ("/cache/IVUS/IVUS." -> "/cache/IVUS/IVUS.12.jpg").
std::string FrameFileName(std::string_view prefix, long long n);

// <program folder>/patientData
std::filesystem::path PatientDataFolder(const std::filesystem::path& programFolder);
// <program folder>/patientData/<code>
std::filesystem::path PatientFolder(const std::filesystem::path& programFolder, int code);
// <program folder>/patientData/<code>/<recording>
std::filesystem::path RecordingFolder(const std::filesystem::path& programFolder, int code,
                                      std::string_view recording);
// <program folder>/patientData/<code>/<recording>/<recording>.<n>.jpg
std::filesystem::path FrameFilePath(const std::filesystem::path& programFolder, int code,
                                    std::string_view recording, long long n);
