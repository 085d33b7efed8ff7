// The Thunderbird profile finder over arbitrary text: the input is cut at
// its first 0 byte into a profiles.ini and a prefs.js. Every profile the
// ini names lies at an absolute path, and the accounts of a profile in a
// temporary folder are its account folders whatever its prefs.js says.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "mail/TThunderbirdProfiles.h"

namespace {

namespace fs = std::filesystem;

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// A profile with one local and one IMAP account, made once per run and
// removed at its end.
class TProfile {
  public:
    TProfile() {
        std::string pattern = (fs::temp_directory_path() / "kestrify-fuzz-XXXXXX").string();
        Check(::mkdtemp(pattern.data()) != nullptr);
        folder_ = pattern;
        for (const char* account : {"Mail/Local Folders", "ImapMail/imap.example.com"}) {
            fs::create_directories(folder_ / account / "Inbox.sbd");
            std::ofstream(folder_ / account / "Inbox");
            std::ofstream(folder_ / account / "Inbox.sbd" / "Sub");
        }
    }
    ~TProfile() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    TProfile(const TProfile&) = delete;
    TProfile& operator=(const TProfile&) = delete;
    const fs::path& Folder() const { return folder_; }

  private:
    fs::path folder_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TProfile profile;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = std::min(text.find('\0'), text.size());
    const std::string_view ini = text.substr(0, cut);
    const std::string_view prefs = cut < text.size() ? text.substr(cut + 1) : std::string_view();

    for (const auto& found : TThunderbirdProfiles::ParseIni(ini, "/home/user/.thunderbird")) {
        Check(found.folder.is_absolute());
        Check(found.folder.native().find('\0') == std::string::npos);
    }

    std::ofstream(profile.Folder() / "prefs.js", std::ios::binary | std::ios::trunc)
        .write(prefs.data(), static_cast<std::streamsize>(prefs.size()));
    const auto accounts = TThunderbirdProfiles::Accounts(profile.Folder());
    Check(accounts.size() == 2);
    for (const auto& account : accounts) {
        Check(!account.name.empty());
        Check(account.folders.size() == 1 && account.folders[0].children.size() == 1);
    }
    return 0;
}
