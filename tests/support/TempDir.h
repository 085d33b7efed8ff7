#pragma once
// A fresh folder per test under the system temporary folder, removed afterwards.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TTempDir {
  public:
    TTempDir() {
        static std::atomic<int> serial{0};
        path_ = std::filesystem::temp_directory_path() /
                ("kestrify-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    static std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Write(const std::filesystem::path& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    // Names in the folder, sorted, so stray temporary files show up.
    std::string Listing() const {
        std::string names;
        std::vector<std::string> all;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            all.push_back(e.path().filename().string());
        }
        std::sort(all.begin(), all.end());
        for (const auto& n : all) {
            names += n + " ";
        }
        return names;
    }

  private:
    std::filesystem::path path_;
};
