#include "mail/TMailStoreCheck.h"

#include <memory>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMailStoreFactory.h"
#include "mail/TMappedFile.h"

namespace {

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
    if (TMailStoreFactory::IsFolderType(mailType) || !TMailStoreFactory::IsKnown(mailType) ||
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
    } else {
        fits = !IsDbx(bytes) && HasMboxStart(bytes);
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

TMailStoreCheck::TResult TMailStoreCheck::Check(int mailType, const std::string& sjisPath) {
    if (TMailStoreFactory::IsFolderType(mailType) || !TMailStoreFactory::IsKnown(mailType)) {
        return {};
    }
    std::unique_ptr<TMappedFile> file;
    try {
        file = std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath));
    } catch (const TKestrifyError&) {
        return {};
    }
    return CheckBytes(mailType, file->View());
}
