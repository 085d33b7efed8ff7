#include "settings/TIniDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <system_error>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "base/TFd.h"
#include "base/TOutputFile.h"
#include "settings/TFileErrors.h"

namespace {

// Larger than any real project or settings file: a device or a wrong file
// is not read into memory.
constexpr off_t kMaxFileSize = 16 << 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view ProfileValue(std::string_view value) {
    value = TrimBlanks(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// A value is one line: a line break (or a 0 byte, which ends the text when it
// is read) inside it would cut it short and turn its rest into lines of
// their own, so such bytes are written as blanks.
std::string SingleLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return out;
}

}  // namespace

void TIniDocument::Parse(std::string_view text) {
    sections_.clear();
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        ParseLine(line);
    }
}

void TIniDocument::ParseLine(std::string_view line) {
    const std::string_view lead = TrimBlanks(line);
    if (lead.empty()) {
        return;  // blank lines are not kept: the writer lays them out itself
    }
    if (lead.front() == '[') {
        std::string_view name = TrimBlanks(lead.substr(1));
        std::size_t close = sjis::Find(name, "]");
        if (close == std::string_view::npos && name.ends_with(']')) {
            // A name ending in a lone first byte of a double-byte character:
            // the bracket closes it (as written by Text()) rather than
            // completing the character.
            close = name.size() - 1;
        }
        if (close != std::string_view::npos) {
            name = name.substr(0, close);
        }
        TSection section;
        section.name = std::string(TrimBlanks(name));
        section.upperName = sjis::ToUpper(section.name);
        sections_.push_back(std::move(section));
        return;
    }
    if (sections_.empty()) {
        // Lines before the first section belong to a headerless block.
        TSection preamble;
        preamble.hasHeader = false;
        sections_.push_back(std::move(preamble));
    }
    TLine entry;
    const std::size_t eq = line.find('=');  // "=" is never the second byte of a character
    if (lead.front() != ';' && eq != std::string_view::npos &&
        !TrimBlanks(line.substr(0, eq)).empty()) {
        entry.isKey = true;
        entry.key = std::string(TrimBlanks(line.substr(0, eq)));
        entry.value = std::string(line.substr(eq + 1));
    } else {
        entry.raw = std::string(line);
    }
    AddLine(sections_.back(), std::move(entry));
}

void TIniDocument::AddLine(TSection& section, TLine line) {
    if (line.isKey) {
        section.keys.emplace(sjis::ToUpper(line.key), section.lines.size());
    }
    section.lines.push_back(std::move(line));
}

void TIniDocument::IndexKeys(TSection& section) {
    section.keys.clear();
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        if (section.lines[i].isKey) {
            section.keys.emplace(sjis::ToUpper(section.lines[i].key), i);
        }
    }
}

std::string TIniDocument::Text() const {
    std::string out;
    for (const TSection& section : sections_) {
        if (section.hasHeader) {
            out += '[';
            out += section.name;
            out += "]\r\n";
        } else if (section.lines.empty()) {
            continue;
        }
        for (const TLine& line : section.lines) {
            if (line.isKey) {
                out += line.key;
                out += '=';
                out += line.value;
            } else {
                out += line.raw;
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool TIniDocument::LoadFile(const std::filesystem::path& path) {
    sections_.clear();
    const std::optional<std::string> content = ReadFileText(path);
    if (!content) {
        return false;
    }
    Parse(*content);
    return true;
}

std::optional<std::string> TIniDocument::ReadFileText(const std::filesystem::path& path) {
    // Non-blocking, so a FIFO given as the file cannot stall the program.
    const TFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0 && errno == ENOENT) {
        return std::nullopt;
    }
    struct stat info {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0) {
        throw TFileErrors::CannotRead(path, ::strerrordesc_np(errno));
    }
    std::string content;
    const char* problem = nullptr;
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "a folder" : "not a regular file";
    } else if (info.st_size > kMaxFileSize) {
        problem = "larger than 16 MB";
    } else {
        content.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = ::read(fd.Get(), content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                problem = n < 0 ? ::strerrordesc_np(errno) : nullptr;
                break;  // a file that got shorter is read as it is now
            }
            done += static_cast<std::size_t>(n);
        }
        content.resize(done);
    }
    if (problem != nullptr) {
        throw TFileErrors::CannotRead(path, problem);
    }
    return content;
}

void TIniDocument::SaveFile(const std::filesystem::path& path) const {
    int error = 0;
    if (!TOutputFile::WriteWhole(path, Text(), &error)) {
        throw TFileErrors::CannotWrite(path, ::strerrordesc_np(error));
    }
}

bool TIniDocument::HasSection(std::string_view section) const {
    const std::string upper = sjis::ToUpper(section);
    for (const TSection& s : sections_) {
        if (s.hasHeader && s.upperName == upper) {
            return true;
        }
    }
    return false;
}

std::optional<std::pair<std::size_t, std::size_t>> TIniDocument::FindKey(
    std::string_view section, std::string_view key) const {
    const std::string upperSection = sjis::ToUpper(section);
    const std::string upperKey = sjis::ToUpper(key);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const TSection& s = sections_[i];
        if (!s.hasHeader || s.upperName != upperSection) {
            continue;
        }
        const auto it = s.keys.find(upperKey);
        if (it != s.keys.end()) {
            return std::pair(i, it->second);
        }
    }
    return std::nullopt;
}

const TIniDocument::TLine* TIniDocument::FindLine(std::string_view section,
                                                  std::string_view key) const {
    const auto at = FindKey(section, key);
    return at ? &sections_[at->first].lines[at->second] : nullptr;
}

std::optional<std::string> TIniDocument::Find(std::string_view section,
                                              std::string_view key) const {
    const TLine* line = FindLine(section, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    if (mode_ == TValueMode::Profile) {
        return std::string(ProfileValue(line->value));
    }
    return line->value;
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view key,
                                     std::string_view def) const {
    std::optional<std::string> value = Find(section, key);
    return value ? std::move(*value) : std::string(def);
}

std::optional<int> TIniDocument::ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int TIniDocument::ReadInteger(std::string_view section, std::string_view key, int def) const {
    const TLine* line = FindLine(section, key);
    if (line == nullptr) {
        return def;
    }
    return ParseInteger(line->value).value_or(def);
}

bool TIniDocument::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TIniDocument::TSection& TIniDocument::SectionForWrite(std::string_view section) {
    const std::string upper = sjis::ToUpper(section);
    for (TSection& s : sections_) {
        if (s.hasHeader && s.upperName == upper) {
            return s;
        }
    }
    TSection added;
    added.name = std::string(section);
    added.upperName = upper;
    sections_.push_back(std::move(added));
    return sections_.back();
}

void TIniDocument::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    if (const auto at = FindKey(section, key)) {
        sections_[at->first].lines[at->second].value = SingleLine(value);
        return;
    }
    TLine line;
    line.isKey = true;
    line.key = std::string(key);
    line.value = SingleLine(value);
    AddLine(SectionForWrite(section), std::move(line));
}

void TIniDocument::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniDocument::EraseSection(std::string_view section) {
    const std::string upper = sjis::ToUpper(section);
    std::erase_if(sections_,
                  [&](const TSection& s) { return s.hasHeader && s.upperName == upper; });
}

bool TIniDocument::DeleteKey(std::string_view section, std::string_view key) {
    const auto at = FindKey(section, key);
    if (!at) {
        return false;
    }
    TSection& s = sections_[at->first];
    s.lines.erase(s.lines.begin() + static_cast<std::ptrdiff_t>(at->second));
    IndexKeys(s);
    return true;
}
