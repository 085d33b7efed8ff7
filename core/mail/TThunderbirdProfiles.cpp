#include "mail/TThunderbirdProfiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <system_error>
#include <utility>

namespace {

// Deeper nesting is no real folder tree (or a loop of links).
constexpr int kMaxDepth = 32;
// Far more entries than the folders of any real profile; a tree beyond it
// is cut there rather than growing the folder dialog without end.
constexpr std::size_t kMaxEntries = 100000;
// profiles.ini and prefs.js are small; a larger file is not one of them.
constexpr std::uintmax_t kMaxTextSize = 16 << 20;

std::string ReadText(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) ||
        std::filesystem::file_size(path, ec) > kMaxTextSize || ec) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsDir(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool IsFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

struct TThunderbirdProfiles::TWalk {
    std::set<std::pair<dev_t, ino_t>> seen;  // the folders listed so far
    std::size_t entries = 0;                 // looked at so far

    // False when `folder` was listed before (or cannot be told apart).
    bool FirstVisit(const std::filesystem::path& folder) {
        struct stat st {};
        return ::stat(folder.c_str(), &st) == 0 && seen.emplace(st.st_dev, st.st_ino).second;
    }
    bool Full() const { return entries >= kMaxEntries; }
};

// user_pref("mail.server.serverN.KEY", "VALUE"); for the keys
// "directory-rel" ("[ProfD]ImapMail/host") and "name".
std::map<std::string, std::string> TThunderbirdProfiles::ParsePrefs(std::string_view prefs) {
    std::map<std::string, std::string> dirs;   // server -> folder below the profile
    std::map<std::string, std::string> names;  // server -> name
    constexpr std::string_view kPrefix = "user_pref(\"mail.server.";
    for (std::size_t at = prefs.find(kPrefix); at != std::string::npos;
         at = prefs.find(kPrefix, at + 1)) {
        const std::size_t keyStart = at + kPrefix.size();
        constexpr std::size_t kNone = std::string::npos;
        const std::size_t keyEnd = prefs.find('"', keyStart);
        const std::size_t valueStart = keyEnd == kNone ? kNone : prefs.find('"', keyEnd + 1);
        const std::size_t valueEnd = valueStart == kNone ? kNone : prefs.find('"', valueStart + 1);
        if (valueEnd == kNone) {
            break;  // no whole setting is left
        }
        if (prefs.find('\n', keyStart) < valueEnd) {
            continue;
        }
        const std::string key(prefs.substr(keyStart, keyEnd - keyStart));
        const std::string value(prefs.substr(valueStart + 1, valueEnd - valueStart - 1));
        const std::size_t dot = key.find('.');
        if (dot == std::string::npos) {
            continue;
        }
        const std::string server = key.substr(0, dot);
        const std::string_view field = std::string_view(key).substr(dot + 1);
        if (field == "directory-rel" && value.starts_with("[ProfD]")) {
            dirs[server] = value.substr(7);
        } else if (field == "name") {
            names[server] = value;
        }
    }
    std::map<std::string, std::string> byFolder;
    for (const auto& [server, dir] : dirs) {
        if (const auto name = names.find(server); name != names.end() && !name->second.empty()) {
            byFolder[dir] = name->second;
        }
    }
    return byFolder;
}

std::vector<std::filesystem::path> TThunderbirdProfiles::Places(const std::filesystem::path& home) {
    return {home / ".thunderbird", home / "snap/thunderbird/common/.thunderbird",
            home / ".var/app/org.mozilla.Thunderbird/.thunderbird",
            home / ".var/app/net.thunderbird.Thunderbird/.thunderbird"};
}

std::vector<TThunderbirdProfiles::TProfile> TThunderbirdProfiles::ParseIni(
    std::string_view text, const std::filesystem::path& place) {
    struct TEntry {
        std::string name;
        std::string path;
        bool relative = true;
    };
    std::vector<TEntry> entries;
    bool inProfile = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.starts_with('[')) {
            inProfile = line.starts_with("[Profile");
            if (inProfile) {
                entries.emplace_back();
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inProfile || eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key == "Name") {
            entries.back().name = value;
        } else if (key == "Path") {
            entries.back().path = value;
        } else if (key == "IsRelative") {
            entries.back().relative = value != "0";
        }
    }
    std::vector<TProfile> profiles;
    for (const TEntry& e : entries) {
        const std::filesystem::path path(e.path);
        // A relative path said to be absolute would be taken from wherever
        // the program runs: no profile, as for Thunderbird.
        if (e.path.empty() || e.path.find('\0') != std::string::npos ||
            (!e.relative && path.is_relative())) {
            continue;
        }
        const std::filesystem::path folder = e.relative && path.is_relative() ? place / path : path;
        profiles.push_back(
            {e.name.empty() ? path.filename().string() : e.name, folder.lexically_normal(), {}});
    }
    return profiles;
}

std::vector<TThunderbirdProfiles::TProfile> TThunderbirdProfiles::Find(
    const std::filesystem::path& home) {
    std::vector<TProfile> found;
    TWalk walk;
    for (const std::filesystem::path& place : Places(home)) {
        for (TProfile& profile : ParseIni(ReadText(place / "profiles.ini"), place)) {
            std::error_code ec;
            const std::filesystem::path real = std::filesystem::canonical(profile.folder, ec);
            const bool seen = std::any_of(found.begin(), found.end(), [&](const TProfile& p) {
                std::error_code e;
                return std::filesystem::equivalent(p.folder, real, e);
            });
            if (ec || seen || !IsDir(real)) {
                continue;
            }
            profile.accounts = Accounts(profile.folder, walk);
            found.push_back(std::move(profile));
        }
    }
    return found;
}

std::vector<TThunderbirdProfiles::TAccount> TThunderbirdProfiles::Accounts(
    const std::filesystem::path& folder) {
    TWalk walk;
    return Accounts(folder, walk);
}

std::vector<TThunderbirdProfiles::TAccount> TThunderbirdProfiles::Accounts(
    const std::filesystem::path& folder, TWalk& walk) {
    const std::map<std::string, std::string> names = ParsePrefs(ReadText(folder / "prefs.js"));
    std::vector<TAccount> accounts;
    for (const char* kind : {"Mail", "ImapMail"}) {
        std::vector<TAccount> ofKind;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder / kind, ec), end;
             !ec && it != end && !walk.Full(); it.increment(ec)) {
            ++walk.entries;
            if (!IsDir(it->path()) || !walk.FirstVisit(it->path())) {
                continue;
            }
            const std::string dir = it->path().filename().string();
            const auto name = names.find(std::string(kind) + "/" + dir);
            ofKind.push_back({name != names.end() ? name->second : dir, it->path(),
                              Folders(it->path(), 0, walk)});
        }
        std::sort(ofKind.begin(), ofKind.end(),
                  [](const TAccount& a, const TAccount& b) { return a.name < b.name; });
        std::move(ofKind.begin(), ofKind.end(), std::back_inserter(accounts));
    }
    return accounts;
}

// A folder is a file with no extension, or one with its .msf index beside
// it; "X.sbd" holds the sub-folders of X.
std::vector<TThunderbirdProfiles::TFolder> TThunderbirdProfiles::Folders(
    const std::filesystem::path& folder) {
    TWalk walk;
    if (!walk.FirstVisit(folder)) {
        return {};
    }
    return Folders(folder, 0, walk);
}

// `folder` is one the walk has not listed before.
std::vector<TThunderbirdProfiles::TFolder> TThunderbirdProfiles::Folders(
    const std::filesystem::path& folder, int depth, TWalk& walk) {
    std::vector<TFolder> folders;
    if (depth > kMaxDepth) {
        return folders;
    }
    std::map<std::string, TFolder> byName;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end && !walk.Full();
         it.increment(ec)) {
        ++walk.entries;
        const std::filesystem::path path = it->path();
        const std::string name = path.filename().string();
        if (name.ends_with(".sbd") && IsDir(path)) {
            if (walk.FirstVisit(path)) {
                byName[name.substr(0, name.size() - 4)].children = Folders(path, depth + 1, walk);
            }
        } else if (IsFile(path) && !name.ends_with(".msf") && !name.starts_with('.') &&
                   (name.find('.') == std::string::npos || IsFile(folder / (name + ".msf")))) {
            byName[name].file = path;
        }
    }
    for (auto& [name, f] : byName) {
        if (!f.file.empty() || !f.children.empty()) {
            f.name = name;
            folders.push_back(std::move(f));
        }
    }
    return folders;
}
