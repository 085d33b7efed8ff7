#include "convert/TConvertValidator.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "base/THelpTopic.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapUrl.h"
#include "mail/TMailStoreCheck.h"
#include "mail/TMailStoreFactory.h"

namespace {

struct TLocationRule {
    const char* utf8Message;
    int helpTopic;
    const char* utf8Name;  // what the store is, in the kind checks' words
};

// Indexed by mail type. A missing location shows the help of the first
// store of its shape: every folder kind the folder page, every file kind the
// DBX file page.
constexpr std::array<TLocationRule, TMailStoreFactory::MailTypeCount> kRules{{
    {"メールのあるフォルダを指定してください。", THelpTopic::MailFolder, "メールのあるフォルダ"},
    {"DBXファイルを指定してください。", THelpTopic::DbxFile, "DBXファイル"},
    {"Unix mbox形式のファイルを指定してください。", THelpTopic::DbxFile, "Unix mbox形式のファイル"},
    {"Shuriken形式のファイルを指定してください。", THelpTopic::DbxFile, "Shuriken形式のファイル"},
    {"Eudoraのmbxファイルを指定してください。", THelpTopic::DbxFile, "Eudoraのmbxファイル"},
    {"テキストファイルのあるフォルダを指定してください。", THelpTopic::MailFolder,
     "テキストファイルのあるフォルダ"},
    {"Maildir 形式のフォルダを指定してください。", THelpTopic::MailFolder,
     "Maildir 形式のフォルダ"},
    {"MH 形式のフォルダを指定してください。", THelpTopic::MailFolder, "MH 形式のフォルダ"},
    {"Thunderbird のフォルダのファイルを指定してください。", THelpTopic::DbxFile,
     "Thunderbird のフォルダのファイル"},
}};

bool LocationFits(int mailType, const std::string& sjisLocation) {
    if (sjisLocation.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path path = TSjisUnicode::ToPath(sjisLocation);
    // Both follow links; anything but a plain file (a folder, a device, a
    // pipe) is no mail file.
    return TMailStoreFactory::IsFolderType(mailType) ? std::filesystem::is_directory(path, ec)
                                                     : std::filesystem::is_regular_file(path, ec);
}

// A store kind with a file or folder of its own (and a rule above).
bool IsLocalKind(int mailType) {
    return mailType >= 0 && mailType < TMailStoreFactory::MailTypeCount;
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
    if (!IsLocalKind(*guess)) {
        return {};
    }
    return "\n" + TSjisUnicode::FromUtf8(kRules[static_cast<std::size_t>(*guess)].utf8Name) +
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
    if (!TMailStoreFactory::IsKnown(mailType)) {
        // A project may hold a type this program does not list; no reader
        // could be made for it.
        return TConvertProblem{TSjisUnicode::FromUtf8("メールの種類が正しくありません。"), 0};
    }
    if (TMailStoreFactory::IsRemoteType(mailType)) {
        try {
            TImapUrl::Parse(TSjisUnicode::ToUtf8(sjisLocation));
        } catch (const std::exception& e) {
            return TConvertProblem{e.what(), THelpTopic::ImapServer};
        }
        return std::nullopt;
    }
    const TLocationRule& rule = kRules[static_cast<std::size_t>(mailType)];
    if (!LocationFits(mailType, sjisLocation)) {
        return TConvertProblem{TSjisUnicode::FromUtf8(rule.utf8Message), rule.helpTopic};
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
    if (!IsLocalKind(mailType) || sjisLocation.empty() ||
        std::filesystem::exists(TSjisUnicode::ToPath(sjisLocation), ec)) {
        return std::nullopt;
    }
    const TLocationRule& rule = kRules[static_cast<std::size_t>(mailType)];
    return TConvertProblem{
        sjisLocation + "\n" + TSjisUnicode::FromUtf8("このメールの場所は存在しません。"),
        rule.helpTopic};
}

std::optional<TConvertProblem> TConvertValidator::CheckStoreKind(int mailType,
                                                                 const std::string& sjisLocation) {
    if (!IsLocalKind(mailType)) {
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
    const TLocationRule& rule = kRules[static_cast<std::size_t>(mailType)];
    return TConvertProblem{sjisLocation + "\n" + TSjisUnicode::FromUtf8(rule.utf8Name) +
                               TSjisUnicode::FromUtf8("ではないようです。") + LooksLike(looksLike),
                           rule.helpTopic};
}
