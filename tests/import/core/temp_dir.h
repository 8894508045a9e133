#pragma once
// A fresh temporary folder per test, removed with everything in it at the end.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace studyimport::testing {

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = std::filesystem::temp_directory_path() /
                    ("kestrova-import-" + std::to_string(rd()) + std::to_string(attempt));
            if (std::filesystem::create_directory(path_))
                return;
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& p, const std::string& content)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

inline std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace studyimport::testing
