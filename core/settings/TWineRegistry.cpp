#include "settings/TWineRegistry.h"

#include <cctype>
#include <cstdlib>
#include <system_error>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "base/Utf8Text.h"
#include "settings/TIniDocument.h"

namespace {

// Reads the escaped text from `pos` up to the unescaped `end` character (or
// the end of the line). Wine writes non-ASCII characters as \xHHHH UTF-16
// units; a surrogate pair comes as two of them.
std::string Unescape(std::string_view line, std::size_t& pos, char end) {
    std::string out;
    char32_t pendingHigh = 0;
    auto put = [&](char32_t c) {
        if (pendingHigh != 0 && c >= 0xDC00 && c <= 0xDFFF) {
            utf8::Append(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (c - 0xDC00));
            pendingHigh = 0;
            return;
        }
        if (pendingHigh != 0) {
            utf8::Append(out, U'?');
            pendingHigh = 0;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            pendingHigh = c;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            utf8::Append(out, U'?');
        } else {
            utf8::Append(out, c);
        }
    };
    while (pos < line.size() && line[pos] != end) {
        char c = line[pos++];
        if (c != '\\' || pos >= line.size()) {
            if (pendingHigh != 0) {
                put(U'?');
            }
            out += c;
            continue;
        }
        c = line[pos++];
        switch (c) {
            case 'n':
                put(U'\n');
                break;
            case 'r':
                put(U'\r');
                break;
            case 't':
                put(U'\t');
                break;
            case '0':
                put(U'\0');
                break;
            case 'x': {
                char32_t code = 0;
                int digits = 0;
                while (digits < 4 && pos < line.size() && sjis::HexDigitValue(line[pos]) >= 0) {
                    code = code * 16 + static_cast<char32_t>(sjis::HexDigitValue(line[pos++]));
                    ++digits;
                }
                put(digits > 0 ? code : U'x');
                break;
            }
            default:
                put(static_cast<unsigned char>(c));
        }
    }
    if (pendingHigh != 0) {
        utf8::Append(out, U'?');
    }
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

// One component of a Windows path on the Linux side: the entry of that name,
// or the one that differs only in letter case.
std::filesystem::path Component(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    if (std::filesystem::exists(folder / name, ec)) {
        return folder / name;
    }
    const std::string wanted = sjis::AsciiToUpper(name);
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (sjis::AsciiToUpper(it->path().filename().string()) == wanted) {
            return it->path();
        }
    }
    return folder / name;
}

}  // namespace

TWineRegistry::TWineRegistry(std::filesystem::path prefix) : prefix_(std::move(prefix)) {
    // Only a regular file of sane size is read: a FIFO would wait for ever,
    // a device would be read until memory runs out. Anything else reads as
    // no registry at all.
    try {
        if (const std::optional<std::string> text =
                TIniDocument::ReadFileText(prefix_ / "user.reg")) {
            Parse(*text);
        }
    } catch (const TKestrifyError&) {
    }
}

std::optional<std::filesystem::path> TWineRegistry::DefaultPrefix() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') {
        return std::filesystem::path(prefix);
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".wine";
    }
    return std::nullopt;
}

void TWineRegistry::Parse(std::string_view text) {
    std::map<std::string, std::string>* current = nullptr;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            std::size_t pos = 1;
            const std::string key = Unescape(line, pos, ']');
            current = &keys_[sjis::AsciiToUpper(key)];
            continue;
        }
        if (current == nullptr || line.front() != '"') {
            continue;  // comments, default values, continuation lines
        }
        std::size_t pos = 1;
        const std::string name = Unescape(line, pos, '"');
        std::string_view rest = line.substr(std::min(pos + 1, line.size()));
        if (rest.empty() || rest.front() != '=') {
            continue;
        }
        rest.remove_prefix(1);
        for (std::string_view kind : {std::string_view("str(2):"), std::string_view("str:")}) {
            if (rest.starts_with(kind)) {
                rest.remove_prefix(kind.size());
            }
        }
        if (rest.empty() || rest.front() != '"') {
            continue;  // numbers and binary data
        }
        std::size_t valuePos = 1;
        (*current)[sjis::AsciiToUpper(name)] = Unescape(rest, valuePos, '"');
    }
}

std::optional<std::string> TWineRegistry::Value(std::string_view key, std::string_view name) const {
    const auto k = keys_.find(sjis::AsciiToUpper(key));
    if (k == keys_.end()) {
        return std::nullopt;
    }
    const auto v = k->second.find(sjis::AsciiToUpper(name));
    if (v == k->second.end()) {
        return std::nullopt;
    }
    return v->second;
}

std::string TWineRegistry::Expand(std::string_view text) const {
    std::string out;
    while (!text.empty()) {
        const std::size_t open = text.find('%');
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out += text;
            break;
        }
        out += text.substr(0, open);
        const std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value = Value("Environment", name);
        if (!value) {
            value = Value("Volatile Environment", name);
        }
        if (!value && sjis::AsciiToUpper(name) == "USERPROFILE") {
            // Wine names the profile folder after the Unix user.
            if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
                value = std::string("C:\\users\\") + user;
            }
        }
        out += value ? *value : std::string(text.substr(open, close - open + 1));
        text.remove_prefix(close + 1);
    }
    return out;
}

std::optional<std::filesystem::path> TWineRegistry::MapPath(std::string_view windowsPath) const {
    const std::string path = Expand(windowsPath);
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0]))) {
        return std::nullopt;
    }
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    std::filesystem::path out =
        drive == 'c' ? prefix_ / "drive_c" : prefix_ / "dosdevices" / std::string{drive, ':'};
    std::size_t pos = 2;
    while (pos < path.size()) {
        const std::size_t next = path.find_first_of("\\/", pos);
        const std::string part = path.substr(pos, next == std::string::npos ? next : next - pos);
        if (!part.empty() && part != ".") {
            out = Component(out, part);
        }
        pos = next == std::string::npos ? path.size() : next + 1;
    }
    return out;
}

std::optional<std::filesystem::path> TWineRegistry::OutlookExpressStoreRoot() const {
    const std::optional<std::string> id = Value("Identities", "Default User ID");
    if (!id) {
        return std::nullopt;
    }
    const std::optional<std::string> root =
        Value("Identities\\" + *id + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root");
    return root ? MapPath(*root) : std::nullopt;
}

std::optional<std::filesystem::path> TWineRegistry::EudoraFolder() const {
    const std::optional<std::string> current =
        Value("Software\\Qualcomm\\Eudora\\CommandLine", "Current");
    if (!current) {
        return std::nullopt;
    }
    const std::string program = current->substr(0, current->find(' '));
    const std::size_t slash = program.find_last_of("\\:");
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    return MapPath(program.substr(0, slash + 1));
}
