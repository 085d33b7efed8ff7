#pragma once
// INI text held in memory (Shift_JIS bytes). Reading keeps every line it does
// not understand, so a file that is loaded, changed and written back keeps
// unknown sections, keys and comments in place. Section and key names are
// matched without regard to case; lines beginning with ";" are comments.
// Written text ends its lines with CR LF and puts one empty line after every
// section.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TIniDocument {
  public:
    enum class TValueMode {
        // The value is everything after the first "=", blanks included.
        Exact,
        // As the classic profile functions read: blanks and tabs around the
        // value are dropped, and so is one pair of enclosing quotes.
        Profile,
    };

    explicit TIniDocument(TValueMode mode = TValueMode::Exact) : mode_(mode) {}

    void Parse(std::string_view text);
    std::string Text() const;

    // False when the file does not exist (the document is then empty).
    // Throws TKestrifyError when it exists but cannot be read.
    bool LoadFile(const std::filesystem::path& path);
    // The file's bytes; nothing when it does not exist. Throws as LoadFile.
    static std::optional<std::string> ReadFileText(const std::filesystem::path& path);
    // Replaces the file in one step; throws TKestrifyError on failure.
    void SaveFile(const std::filesystem::path& path) const;

    bool HasSection(std::string_view section) const;
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // A missing value or one that is not a whole number gives `def`.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // Any whole number other than 0 is true.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // An existing key keeps its place; a new key goes to the end of its
    // section, a new section after the existing ones. A value is one line:
    // CR, LF and 0 bytes in it are written as blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view section);
    // Removes the key (the first of duplicates); false when it is not there.
    bool DeleteKey(std::string_view section, std::string_view key);

    // Decimal whole number with optional sign and surrounding blanks.
    static std::optional<int> ParseInteger(std::string_view text);

  private:
    struct TLine {
        bool isKey = false;
        std::string key;    // as written in the file
        std::string value;  // raw bytes after the first "="
        std::string raw;    // the whole line when it is not a key
    };
    struct TSection {
        bool hasHeader = true;
        std::string name;
        std::string upperName;
        std::vector<TLine> lines;
        std::unordered_map<std::string, std::size_t> keys;  // upper-cased key -> first line
    };

    // Where a key stands: the index of its section and of its line.
    std::optional<std::pair<std::size_t, std::size_t>> FindKey(std::string_view section,
                                                               std::string_view key) const;
    const TLine* FindLine(std::string_view section, std::string_view key) const;
    TSection& SectionForWrite(std::string_view section);
    void ParseLine(std::string_view line);
    static void AddLine(TSection& section, TLine line);
    static void IndexKeys(TSection& section);

    TValueMode mode_;
    std::vector<TSection> sections_;
};
