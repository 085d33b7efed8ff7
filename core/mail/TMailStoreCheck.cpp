#include "mail/TMailStoreCheck.h"

#include <iterator>
#include <memory>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TDirectoryReader.h"
#include "mail/TMHParser.h"
#include "mail/TMailStoreFactory.h"
#include "mail/TMappedFile.h"
#include "mail/TMozillaStatus.h"

namespace {

// Indexed by mail type.
constexpr const char* kKindNames[] = {
    "メールのあるフォルダ",   "DBXファイル",         "Unix mbox形式のファイル",
    "Shuriken形式のファイル", "Eudoraのmbxファイル", "テキストファイルのあるフォルダ",
    "Maildir 形式のフォルダ", "MH 形式のフォルダ",   "Thunderbird のフォルダ",
};
static_assert(std::size(kKindNames) == TMailStoreFactory::MailTypeCount);

// Projects are small; their sections are near the start.
constexpr std::size_t kHeadSize = 64 * 1024;

std::string_view FirstLine(std::string_view bytes) {
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

bool IsDbx(std::string_view bytes) {
    return bytes.starts_with("\xCF\xAD\x12\xFE");
}

bool StartsMbox(std::string_view bytes) {
    return bytes.starts_with("From ");
}

// Where the mbox reader would start a mail: a line beginning with "From ".
bool HasMboxStart(std::string_view bytes) {
    if (StartsMbox(bytes)) {
        return true;
    }
    for (std::size_t at = bytes.find("From "); at != std::string_view::npos;
         at = bytes.find("From ", at + 1)) {
        if (at > 0 && (bytes[at - 1] == '\n' || bytes[at - 1] == '\r')) {
            return true;
        }
    }
    return false;
}

// Where the Thunderbird reader would start a mail.
bool HasThunderbirdStart(std::string_view bytes) {
    constexpr std::string_view kSeparator = "From - ";
    for (std::size_t at = bytes.find(kSeparator); at != std::string_view::npos;
         at = bytes.find(kSeparator, at + 1)) {
        if (at == 0 || bytes[at - 1] == '\n' || bytes[at - 1] == '\r') {
            return true;
        }
    }
    return false;
}

// Thunderbird writes "From - " lines and flags every mail in its header.
bool LooksThunderbird(std::string_view bytes) {
    return bytes.starts_with("From - ") &&
           TMozillaStatus::Read(bytes.substr(0, kHeadSize)).status.has_value();
}

bool IsProject(std::string_view bytes) {
    const std::string head = sjis::ToUpper(bytes.substr(0, kHeadSize));
    for (const char* section : {"[EML]", "[SYSTEM]", "[CSV]"}) {
        const std::size_t at = head.find(section);
        if (at != std::string::npos &&
            (at == 0 || head[at - 1] == '\n' || head[at - 1] == '\r' || head[at - 1] == '\xBF')) {
            return true;
        }
    }
    return false;
}

// Shuriken files repeat their first line before every mail.
bool RepeatsFirstLine(std::string_view bytes) {
    const std::string_view first = FirstLine(bytes);
    if (first.empty()) {
        return false;
    }
    const std::string_view head = bytes.substr(0, kHeadSize);
    for (std::size_t at = head.find(first, first.size()); at != std::string_view::npos;
         at = head.find(first, at + 1)) {
        const std::size_t end = at + first.size();
        const bool lineStart = head[at - 1] == '\n' || head[at - 1] == '\r';
        const bool lineEnd = end == head.size() || head[end] == '\r' || head[end] == '\n';
        if (lineStart && lineEnd) {
            return true;
        }
    }
    return false;
}

// "Name: value" with a header name of printable ASCII.
bool StartsWithHeader(std::string_view bytes) {
    const std::string_view first = FirstLine(bytes);
    const std::size_t colon = first.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(first[i]);
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<int> TMailStoreCheck::Guess(std::string_view bytes) {
    if (IsDbx(bytes)) {
        return TMailStoreFactory::DbxFile;
    }
    if (IsProject(bytes)) {
        return LooksLikeProject;
    }
    if (LooksThunderbird(bytes)) {
        return TMailStoreFactory::ThunderbirdFolder;
    }
    if (StartsMbox(bytes)) {
        return TMailStoreFactory::MboxFile;
    }
    if (StartsWithHeader(bytes)) {
        return LooksLikeOneMail;
    }
    if (RepeatsFirstLine(bytes)) {
        return TMailStoreFactory::Shuriken;
    }
    return std::nullopt;
}

TMailStoreCheck::TResult TMailStoreCheck::CheckBytes(int mailType, std::string_view bytes) {
    // Blank files are empty stores, whatever their kind.
    if (TMailStoreFactory::IsFolderType(mailType) || TMailStoreFactory::IsRemoteType(mailType) ||
        !TMailStoreFactory::IsKnown(mailType) ||
        bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return {};
    }
    bool fits = true;
    if (IsProject(bytes) && !IsDbx(bytes)) {
        fits = false;
    } else if (mailType == TMailStoreFactory::DbxFile) {
        fits = IsDbx(bytes);
    } else if (mailType == TMailStoreFactory::Shuriken) {
        // One line is no mail; a DBX or an mbox file is not what was meant.
        fits = !IsDbx(bytes) && !StartsMbox(bytes) && FirstLine(bytes).size() + 2 < bytes.size();
    } else if (mailType == TMailStoreFactory::ThunderbirdFolder) {
        fits = !IsDbx(bytes) && HasThunderbirdStart(bytes);
    } else {
        // Read as mbox, a Thunderbird folder would keep its deleted mails.
        fits = !IsDbx(bytes) && HasMboxStart(bytes) && !LooksThunderbird(bytes);
    }
    if (fits) {
        return {};
    }
    std::optional<int> guess = Guess(bytes);
    // Mbox and Eudora files look alike: no advice between them.
    const bool sameFamily =
        guess &&
        (*guess == TMailStoreFactory::MboxFile || *guess == TMailStoreFactory::EudoraMbx) &&
        (mailType == TMailStoreFactory::MboxFile || mailType == TMailStoreFactory::EudoraMbx);
    if ((guess && *guess == mailType) || sameFamily) {
        guess.reset();
    }
    return {false, guess};
}

TMailStoreCheck::TFolderShape TMailStoreCheck::Shape(const std::filesystem::path& folder) {
    TFolderShape shape;
    std::error_code ec;
    shape.maildir = std::filesystem::is_directory(folder / "cur", ec) &&
                    std::filesystem::is_directory(folder / "new", ec);
    // A look at the first entries is enough for a guess, also in a folder
    // of a million mails.
    constexpr int kLookAt = 10000;
    int seen = 0;
    try {
        TDirectoryReader::List(folder, [&](const TDirectoryReader::TEntry& entry) {
            const std::string_view name = entry.Name();
            if (name == ".mh_sequences" || name == ".claws_mark" || name == ".claws_cache") {
                shape.mhMarker = true;
            } else if (TMHParser::IsMailName(name)) {
                shape.numbered = shape.numbered || entry.IsFile();
            } else if (name.size() > 4 &&
                       sjis::EqualsNoCase(name.substr(name.size() - 4), ".eml")) {
                shape.eml = true;
            }
            return ++seen < kLookAt;
        });
    } catch (const TKestrifyError&) {
        // The reader reports a folder that cannot be listed.
    }
    return shape;
}

TMailStoreCheck::TResult TMailStoreCheck::CheckShape(int mailType, const TFolderShape& shape) {
    const bool mh = !shape.maildir && (shape.numbered || shape.mhMarker);
    bool fits = true;
    switch (mailType) {
        case TMailStoreFactory::Maildir:
            fits = shape.maildir;
            break;
        case TMailStoreFactory::MhFolder:
            // An empty folder is an empty store; .eml files are no MH mails.
            fits = !shape.maildir && (mh || !shape.eml);
            break;
        case TMailStoreFactory::EmlFolder:
            fits = !shape.maildir && (!mh || shape.eml);
            break;
        case TMailStoreFactory::TextFolder:
            fits = !shape.maildir && !shape.mhMarker;
            break;
        default:
            break;
    }
    if (fits) {
        return {};
    }
    std::optional<int> guess;
    if (shape.maildir) {
        guess = TMailStoreFactory::Maildir;
    } else if (mh) {
        guess = TMailStoreFactory::MhFolder;
    } else if (shape.eml) {
        guess = TMailStoreFactory::EmlFolder;
    }
    if (guess && *guess == mailType) {
        guess.reset();
    }
    return {false, guess};
}

TMailStoreCheck::TResult TMailStoreCheck::Check(int mailType, const std::string& sjisPath) {
    if (!TMailStoreFactory::IsKnown(mailType) || TMailStoreFactory::IsRemoteType(mailType)) {
        return {};
    }
    if (TMailStoreFactory::IsFolderType(mailType)) {
        std::error_code ec;
        const std::filesystem::path folder = TSjisUnicode::ToPath(sjisPath);
        return std::filesystem::is_directory(folder, ec) ? CheckShape(mailType, Shape(folder))
                                                         : TResult{};
    }
    std::unique_ptr<TMappedFile> file;
    try {
        file = std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath));
    } catch (const TKestrifyError&) {
        return {};
    }
    return CheckBytes(mailType, file->View());
}

std::optional<int> TMailStoreCheck::Detect(const std::string& sjisPath) {
    std::filesystem::path path = TSjisUnicode::ToPath(sjisPath);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        const TResult asMailFiles = CheckShape(TMailStoreFactory::EmlFolder, Shape(path));
        return asMailFiles.fits ? TMailStoreFactory::EmlFolder
                                : asMailFiles.looksLike.value_or(TMailStoreFactory::EmlFolder);
    }
    std::unique_ptr<TMappedFile> file;
    try {
        file = std::make_unique<TMappedFile>(path);
    } catch (const TKestrifyError&) {
        return std::nullopt;
    }
    const std::string_view bytes = file->View();
    if (bytes.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        return Guess(bytes.substr(0, kHeadSize));
    }
    // A folder without mails yet is an empty file; Thunderbird keeps its
    // index beside each one.
    path += ".msf";
    if (std::filesystem::is_regular_file(path, ec)) {
        return TMailStoreFactory::ThunderbirdFolder;
    }
    return std::nullopt;
}

const char* TMailStoreCheck::KindName(int mailType) {
    if (mailType == TMailStoreFactory::Imap) {
        return "IMAP サーバのフォルダ";
    }
    return TMailStoreFactory::IsKnown(mailType) ? kKindNames[mailType] : "";
}

std::string TMailStoreCheck::Message(int mailType, const TResult& result) {
    if (result.fits) {
        return {};
    }
    std::string text = std::string(KindName(mailType)) + "ではないようです。";
    if (result.looksLike == LooksLikeProject) {
        text += "\nプロジェクトファイルのようです。";
    } else if (result.looksLike == LooksLikeOneMail) {
        text += "\nメールファイル 1 通のようです。";
    } else if (result.looksLike) {
        text += "\n" + std::string(KindName(*result.looksLike)) + "のようです。";
    }
    return text;
}
