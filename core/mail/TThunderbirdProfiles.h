#pragma once
// The Thunderbird profiles of a user and the folder files in them, for
// choosing a Thunderbird folder to read. profiles.ini is looked for where
// the packaged, Snap and Flatpak builds keep it; a profile's path in it is
// absolute or relative to the file. Nothing here is written.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class TThunderbirdProfiles {
  public:
    // One folder of an account: its file (empty when only its sub-folder
    // folder exists) and the folders of its ".sbd" folder.
    struct TFolder {
        std::string name;  // UTF-8, as on disk
        std::filesystem::path file;
        std::vector<TFolder> children;
    };
    struct TAccount {
        std::string name;  // the account's name in prefs.js, else its folder's name
        std::filesystem::path folder;
        std::vector<TFolder> folders;
    };
    struct TProfile {
        std::string name;
        std::filesystem::path folder;
        std::vector<TAccount> accounts;
    };

    // The folders under `home` that may hold a profiles.ini.
    static std::vector<std::filesystem::path> Places(const std::filesystem::path& home);
    // The profiles of every profiles.ini under `home` whose folders exist,
    // with their accounts and folders; a profile listed twice comes once.
    static std::vector<TProfile> Find(const std::filesystem::path& home);
    // The profiles named in one profiles.ini text found in `place`.
    static std::vector<TProfile> ParseIni(std::string_view text,
                                          const std::filesystem::path& place);
    // The account names a prefs.js text gives, by the account's folder
    // below the profile ("ImapMail/imap.example.com").
    static std::map<std::string, std::string> ParsePrefs(std::string_view prefs);
    // The accounts of the profile in `folder` (Mail/ and ImapMail/).
    static std::vector<TAccount> Accounts(const std::filesystem::path& folder);
    // The folder files in `folder` (an account's folder or a ".sbd").
    static std::vector<TFolder> Folders(const std::filesystem::path& folder);

  private:
    // One search's bounds: each real folder is listed once, however many
    // links lead to it (a ".sbd" linked to "." would be listed without end),
    // and the entries looked at are limited, deep or wide.
    struct TWalk;
    static std::vector<TAccount> Accounts(const std::filesystem::path& folder, TWalk& walk);
    static std::vector<TFolder> Folders(const std::filesystem::path& folder, int depth,
                                        TWalk& walk);
};
