#pragma once
// Helpers shared by the mail tests: mails from "\n"-joined texts, readers
// over in-memory stores, and temporary folders.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "Corpus.h"
#include "TempDir.h"
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

inline std::string DataFile(std::string_view name) {
    return std::string(KESTRIFY_TEST_DATA_DIR) + "/mail/" + std::string(name);
}
