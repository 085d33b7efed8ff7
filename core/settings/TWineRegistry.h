#pragma once
// Where Windows mail clients installed under Wine keep their stores. Wine
// saves the current user's registry hive as the text file user.reg in its
// prefix ($WINEPREFIX, else ~/.wine); this reads the few values the main
// window looks up there and maps the Windows paths they hold into the
// prefix's drives. Plain C++: paths are UTF-8 file-system paths.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class TWineRegistry {
  public:
    // Reads `prefix`/user.reg; an unreadable or missing file gives an empty hive.
    explicit TWineRegistry(std::filesystem::path prefix);

    // $WINEPREFIX when set and not empty, else $HOME/.wine; none without either.
    static std::optional<std::filesystem::path> DefaultPrefix();

    // A string value (REG_SZ or REG_EXPAND_SZ, as written), UTF-8. Key paths
    // use single backslashes and ignore case, as the registry does.
    std::optional<std::string> Value(std::string_view key, std::string_view name) const;

    // The Windows path as a path inside the prefix: "C:\x\y" becomes
    // drive_c/x/y, other drive letters go through dosdevices. Each component
    // is matched without regard to case, as Windows matches it.
    // %VARIABLE% parts are expanded first. None for a path without a drive.
    std::optional<std::filesystem::path> MapPath(std::string_view windowsPath) const;

    // Outlook Express 5's store folder of the default identity.
    std::optional<std::filesystem::path> OutlookExpressStoreRoot() const;
    // The folder of Eudora's current mailbox, from its command line: the text
    // up to the first blank, then its folder part.
    std::optional<std::filesystem::path> EudoraFolder() const;

  private:
    void Parse(std::string_view text);
    std::string Expand(std::string_view text) const;

    std::filesystem::path prefix_;
    // Upper-cased key path -> (upper-cased value name -> value).
    std::map<std::string, std::map<std::string, std::string>> keys_;
};
