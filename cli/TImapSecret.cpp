#include "TImapSecret.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "TUsageError.h"
#include "imap/TImapKeyringName.h"
#include "imap/TImapUrl.h"
#include "imap/TSecretServiceKeyring.h"

namespace {

constexpr std::size_t kMaxSecret = 64 * 1024;  // a long bearer token fits many times over

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
    throw TUsageError(path + ": " + why);
}

std::string FirstLine(std::string text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) {
        text.resize(end);
    }
    return text;
}

}  // namespace

std::string TImapSecret::Find(const std::optional<std::string>& passwordFile,
                              const std::string& utf8Url) {
    TSecretServiceKeyring keyring;
    return Find(passwordFile, utf8Url, keyring);
}

std::string TImapSecret::Find(const std::optional<std::string>& passwordFile,
                              const std::string& utf8Url, TKeyringLookup& keyring) {
    std::optional<TImapUrl> url;
    try {
        url = TImapUrl::Parse(utf8Url);
    } catch (const std::exception&) {
        // Said when the store is opened; no account to look up.
    }
    if (url) {
        if (std::optional<std::string> stored =
                keyring.Find(TImapKeyringName::Key(url->user, url->host, url->port))) {
            return *stored;
        }
    }
    if (const char* value = std::getenv(kEnvironmentName); value != nullptr && *value != '\0') {
        return FirstLine(value);
    }
    if (passwordFile) {
        return FromFile(*passwordFile);
    }
    return {};
}

std::string TImapSecret::FromFile(const std::string& utf8Path) {
    // Not following a link, and not waiting on a FIFO.
    const int fd = open(utf8Path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ELOOP) {
        // Where a link points can change under the run: only the file itself.
        Refuse(utf8Path,
               "パスワードファイルがシンボリックリンクのため使いません。自分の普通のファイル"
               "（chmod 600）を指定してください (a symbolic link: give your own plain file)");
    }
    if (fd < 0) {
        Refuse(utf8Path, std::string("パスワードファイルを開けません: ") + std::strerror(errno) +
                             " (cannot open the password file)");
    }
    struct stat info {};
    std::string why;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why =
            "パスワードファイルが普通のファイルではありません。自分の普通のファイル（chmod "
            "600）を指定してください (not a regular file: give your own plain file)";
    } else if (info.st_uid != geteuid()) {
        why = "パスワードファイルの所有者があなたではないため使いません (not your own file)";
    } else if ((info.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        why =
            "パスワードファイルを他のユーザも読み書きできるため使いません。chmod 600 "
            "としてください (readable by others: chmod 600)";
    } else if (info.st_size > static_cast<off_t>(kMaxSecret)) {
        why = "パスワードファイルが大きすぎます (too large)";
    }
    std::string text;
    if (why.empty()) {
        text.resize(kMaxSecret);
        std::size_t filled = 0;
        while (filled < text.size()) {
            const ssize_t r = read(fd, text.data() + filled, text.size() - filled);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0) {
                why = std::string("パスワードファイルを読めません: ") + std::strerror(errno);
                break;
            }
            if (r == 0) {
                break;
            }
            filled += static_cast<std::size_t>(r);
        }
        text.resize(filled);
    }
    close(fd);
    if (!why.empty()) {
        Refuse(utf8Path, why);
    }
    return FirstLine(std::move(text));
}
