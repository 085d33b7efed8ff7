#pragma once
// Helpers shared by the mail tests: mails from "\n"-joined texts, readers
// over in-memory stores, and temporary folders.

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "mail/TBasicMail.h"
#include "mail/TMappedFile.h"

inline TLines LinesOf(std::string_view text) {
    return TLineSplitter::Split(text);
}

inline std::unique_ptr<TMappedFile> Bytes(std::string text) {
    return TMappedFile::FromBytes(std::move(text));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TTempDir {
  public:
    TTempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("kestrify-mail-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::string CorpusFile(std::string_view name) {
    return std::string(KESTRIFY_SHARED_DIR) + "/corpus/" + std::string(name);
}
inline std::string DataFile(std::string_view name) {
    return std::string(KESTRIFY_TEST_DATA_DIR) + "/mail/" + std::string(name);
}
