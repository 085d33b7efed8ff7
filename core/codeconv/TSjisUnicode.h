#pragma once
// The program's one bridge between its Shift_JIS (CP932) text and Unicode:
// used at the Qt boundary, for terminal output, for UTF-8 CSV files and for
// file names (the file system names files in UTF-8).

#include <filesystem>
#include <string>
#include <string_view>

class TSjisUnicode {
  public:
    // Unreadable bytes become '?'.
    static std::string ToUtf8(std::string_view sjis);
    // The same, counting in `unmapped` the characters that became '?'.
    static std::string ToUtf8(std::string_view sjis, std::size_t& unmapped);
    // Characters that CP932 cannot hold become '?' (one per character).
    static std::string FromUtf8(std::string_view utf8);

    // File names: a Shift_JIS path as held in projects and the grid, and back.
    static std::filesystem::path ToPath(std::string_view sjisPath);
    static std::string FromPath(const std::filesystem::path& path);
};
