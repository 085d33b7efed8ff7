#include "convert/TConvertValidator.h"

#include <filesystem>
#include <system_error>

#include "base/THelpTopic.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapUrl.h"
#include "mail/TMailStoreCheck.h"
#include "mail/TStoreKind.h"

namespace {

bool LocationFits(const TStoreKind& kind, const std::string& sjisLocation) {
    if (sjisLocation.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path path = TSjisUnicode::ToPath(sjisLocation);
    // Both follow links; anything but a plain file (a folder, a device, a
    // pipe) is no mail file.
    return kind.IsFolder() ? std::filesystem::is_directory(path, ec)
                           : std::filesystem::is_regular_file(path, ec);
}

// A store kind with a file or folder of its own.
const TStoreKind* LocalKind(int mailType) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    return kind != nullptr && !kind->IsRemote() ? kind : nullptr;
}

std::string LooksLike(std::optional<int> guess) {
    if (!guess) {
        return {};
    }
    if (*guess == TMailStoreCheck::LooksLikeProject) {
        return "\n" + TSjisUnicode::FromUtf8("プロジェクトファイルのようです。");
    }
    if (*guess == TMailStoreCheck::LooksLikeOneMail) {
        return "\n" + TSjisUnicode::FromUtf8("メールファイル 1 通のようです。");
    }
    const TStoreKind* kind = LocalKind(*guess);
    if (kind == nullptr) {
        return {};
    }
    return "\n" + TSjisUnicode::FromUtf8(kind->names.location) +
           TSjisUnicode::FromUtf8("のようです。");
}

}  // namespace

std::optional<TConvertProblem> TConvertValidator::Check(std::size_t paramCount, int mailType,
                                                        const std::string& sjisLocation) {
    if (auto problem = CheckParams(paramCount)) {
        return problem;
    }
    return CheckLocation(mailType, sjisLocation);
}

std::optional<TConvertProblem> TConvertValidator::CheckParams(std::size_t paramCount) {
    if (paramCount == 0) {
        return TConvertProblem{TSjisUnicode::FromUtf8("パラメータが指定されていません。"),
                               THelpTopic::Parameters};
    }
    return std::nullopt;
}

std::optional<TConvertProblem> TConvertValidator::CheckLocation(int mailType,
                                                                const std::string& sjisLocation) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    if (kind == nullptr) {
        // A project may hold a type this program does not list; no reader
        // could be made for it.
        return TConvertProblem{TSjisUnicode::FromUtf8("メールの種類が正しくありません。"), 0};
    }
    if (kind->IsRemote()) {
        try {
            TImapUrl::Parse(TSjisUnicode::ToUtf8(sjisLocation));
        } catch (const std::exception& e) {
            return TConvertProblem{e.what(), kind->LocationHelpTopic()};
        }
        return std::nullopt;
    }
    if (!LocationFits(*kind, sjisLocation)) {
        return TConvertProblem{
            TSjisUnicode::FromUtf8(std::string(kind->names.location) + "を指定してください。"),
            kind->LocationHelpTopic()};
    }
    return std::nullopt;
}

std::optional<TConvertProblem> TConvertValidator::CheckNamed(std::size_t paramCount, int mailType,
                                                             const std::string& sjisLocation) {
    if (auto problem = CheckParams(paramCount)) {
        return problem;
    }
    if (auto problem = CheckExists(mailType, sjisLocation)) {
        return problem;
    }
    if (auto problem = CheckLocation(mailType, sjisLocation)) {
        return problem;
    }
    return CheckStoreKind(mailType, sjisLocation);
}

std::optional<TConvertProblem> TConvertValidator::CheckExists(int mailType,
                                                              const std::string& sjisLocation) {
    std::error_code ec;
    const TStoreKind* kind = LocalKind(mailType);
    if (kind == nullptr || sjisLocation.empty() ||
        std::filesystem::exists(TSjisUnicode::ToPath(sjisLocation), ec)) {
        return std::nullopt;
    }
    return TConvertProblem{
        sjisLocation + "\n" + TSjisUnicode::FromUtf8("このメールの場所は存在しません。"),
        kind->LocationHelpTopic()};
}

std::optional<TConvertProblem> TConvertValidator::CheckStoreKind(int mailType,
                                                                 const std::string& sjisLocation) {
    if (LocalKind(mailType) == nullptr) {
        return std::nullopt;
    }
    const TMailStoreCheck::TResult shape = TMailStoreCheck::Check(mailType, sjisLocation);
    if (shape.fits) {
        return std::nullopt;
    }
    return NotOfKind(mailType, sjisLocation, shape.looksLike);
}

TConvertProblem TConvertValidator::NotOfKind(int mailType, const std::string& sjisLocation,
                                             std::optional<int> looksLike) {
    const TStoreKind& kind = TStoreKind::Get(mailType);
    return TConvertProblem{sjisLocation + "\n" + TSjisUnicode::FromUtf8(kind.names.location) +
                               TSjisUnicode::FromUtf8("ではないようです。") + LooksLike(looksLike),
                           kind.LocationHelpTopic()};
}
