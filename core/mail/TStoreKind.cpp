#include "mail/TStoreKind.h"

#include <array>
#include <stdexcept>

#include "base/THelpTopic.h"
#include "mail/TDBXParser.h"
#include "mail/TEMLParser.h"
#include "mail/TEudoraParser.h"
#include "mail/TImapParser.h"
#include "mail/TMBOXParser.h"
#include "mail/TMHParser.h"
#include "mail/TMaildirParser.h"
#include "mail/TShurikenParser.h"
#include "mail/TStoreProbe.h"
#include "mail/TTextFileParser.h"
#include "mail/TThunderbirdParser.h"

namespace {

using P = TStoreProbe;
using K = TStoreKind;

template <typename TReader>
std::unique_ptr<TBasicMailParser> Open(const std::string& sjisLocation, const TStoreOpening&) {
    return std::make_unique<TReader>(sjisLocation);
}

// Readers that search a large file for its mails on several threads.
template <typename TReader>
std::unique_ptr<TBasicMailParser> OpenOnThreads(const std::string& sjisLocation,
                                                const TStoreOpening& opening) {
    return std::make_unique<TReader>(sjisLocation, opening.threads);
}

std::unique_ptr<TBasicMailParser> OpenImap(const std::string& sjisUrl,
                                           const TStoreOpening& opening) {
    // A preview shows one mail at a time: a few are fetched ahead of it, not
    // the hundreds a conversion asks for in one go.
    constexpr TImapParser::TBatching kPreview{
        .mails = 10, .bytes = 1u << 20, .aheadBatches = 1, .pipelined = 1};
    return opening.preview ? std::make_unique<TImapParser>(sjisUrl, opening.imap, kPreview)
                           : std::make_unique<TImapParser>(sjisUrl, opening.imap);
}

// Read as mbox, a Thunderbird folder would keep its deleted mails.
bool FitsMbox(std::string_view b) {
    return !P::IsDbx(b) && P::HasMboxStart(b) && !P::LooksThunderbird(b);
}

// One line is no mail; a DBX or an mbox file is not what was meant.
bool FitsShuriken(std::string_view b) {
    return !P::IsDbx(b) && !P::StartsMbox(b) && P::FirstLine(b).size() + 2 < b.size();
}

bool FitsThunderbird(std::string_view b) {
    return !P::IsDbx(b) && P::HasThunderbirdStart(b);
}

bool IsMaildir(const TFolderShape& s) {
    return s.maildir;
}

// An empty folder is an empty store; .eml files are no MH mails.
bool FitsMh(const TFolderShape& s) {
    return !s.maildir && (s.LooksMh() || !s.eml);
}

bool LooksMh(const TFolderShape& s) {
    return s.LooksMh();
}

bool FitsEml(const TFolderShape& s) {
    return !s.maildir && (!s.LooksMh() || s.eml);
}

bool HasEml(const TFolderShape& s) {
    return s.eml;
}

bool FitsText(const TFolderShape& s) {
    return !s.maildir && !s.mhMarker;
}

constexpr std::array kKinds{
    K{.number = K::EmlFolder,
      .location = K::TLocation::Folder,
      .helpTopic = THelpTopic::MailFolder,
      .names = {"メールのあるフォルダ", "メールのあるフォルダ", "a folder of mail files"},
      .detection = {.fitsShape = FitsEml, .looksShape = HasEml, .rank = 30},
      .desktop = {"メールをコピーしたフォルダから",
                  "変換するメールをコピーしたフォルダを指定してください。|"
                  "変換するメールをコピーしたフォルダを指定してください。",
                  K::TBrowse::Folder, "メールをコピーしたフォルダを指定してください。"},
      .open = Open<TEMLParser>},
    K{.number = K::DbxFile,
      .location = K::TLocation::File,
      .helpTopic = THelpTopic::DbxFile,
      .names = {"DBXファイル", "DBXファイル", "an Outlook Express DBX file"},
      .detection = {.fits = P::IsDbx, .looks = P::IsDbx, .rank = 10},
      .desktop = {"Outlook Express 5のDBXファイルから",
                  "変換するOutlook Express 5のDBXファイルを指定してください。|"
                  "変換するOutlook Express 5のDBXファイルを指定してください。",
                  K::TBrowse::File, "DBXファイル(*.dbx)|*.dbx", ".DBX",
                  K::TWineFolder::OutlookExpress, K::TDrop::BySuffix},
      .open = Open<TDBXParser>},
    K{.number = K::MboxFile,
      .location = K::TLocation::File,
      .helpTopic = THelpTopic::MboxFile,
      .names = {"Unix mbox形式のファイル", "Unix mbox形式のファイル", "a Unix mbox file"},
      .detection = {.fits = FitsMbox, .looks = P::StartsMbox, .rank = 40},
      .desktop = {"Unix mbox形式のファイルから",
                  "変換するUnix mbox形式のファイルを指定してください。|"
                  "変換するUnix mbox形式のファイルを指定してください。",
                  K::TBrowse::File, "すべてのファイル(*.*)|*.*"},
      .open = OpenOnThreads<TMBOXParser>},
    K{.number = K::Shuriken,
      .location = K::TLocation::File,
      .helpTopic = THelpTopic::ShurikenFile,
      .names = {"Shuriken形式のファイル", "Shuriken形式のファイル", "a Shuriken file"},
      .detection = {.fits = FitsShuriken, .looks = P::RepeatsFirstLine, .rank = 60},
      .desktop = {"Shuriken/Shuriken Pro形式のファイルから",
                  "変換するShuriken形式のファイルを指定してください。|"
                  "変換するShuriken形式のファイルを指定してください。",
                  K::TBrowse::File, "すべてのファイル(*.*)|*.*"},
      .open = Open<TShurikenParser>},
    K{.number = K::EudoraMbx,
      .location = K::TLocation::File,
      .helpTopic = THelpTopic::EudoraFile,
      .names = {"Eudoraのmbxファイル", "Eudoraのmbxファイル", "a Eudora mbx file"},
      .detection = {.fits = FitsMbox, .family = K::MboxFile},
      .desktop = {"Eudoraのmbxファイルから",
                  "変換するEudoraのmbxファイルを指定してください。|"
                  "変換するEudoraのmbxファイルを指定してください。",
                  K::TBrowse::File, "MBXファイル(*.mbx)|*.mbx|全てのファイル(*.*)|*.*", ".MBX",
                  K::TWineFolder::Eudora},
      .open = Open<TEudoraParser>},
    K{.number = K::TextFolder,
      .location = K::TLocation::Folder,
      .helpTopic = THelpTopic::TextFolder,
      .names = {"テキストファイルのあるフォルダ", "テキストファイルのあるフォルダ",
                "a folder of text files"},
      .detection = {.fitsShape = FitsText},
      .desktop = {"テキストファイルから",
                  "変換するテキストファイルのあるフォルダを指定してください。|"
                  "変換するテキストファイルのあるフォルダを指定してください。",
                  K::TBrowse::Folder, "変換するテキストファイルのあるフォルダを指定してください。"},
      .open = Open<TTextFileParser>},
    K{.number = K::Maildir,
      .location = K::TLocation::Folder,
      .helpTopic = THelpTopic::MaildirFolder,
      .names = {"Maildir 形式のフォルダ", "Maildir 形式のフォルダ", "a Maildir folder"},
      .detection = {.fitsShape = IsMaildir, .looksShape = IsMaildir, .rank = 10},
      .desktop = {"Maildir形式のフォルダから",
                  "変換するMaildir形式のフォルダ (cur と new のあるフォルダ) を指定してください。|"
                  "変換するMaildir形式のフォルダを指定してください。",
                  K::TBrowse::CheckedFolder, "変換するMaildir形式のフォルダを指定してください。"},
      .open = Open<TMaildirParser>},
    K{.number = K::MhFolder,
      .location = K::TLocation::Folder,
      .helpTopic = THelpTopic::MhFolder,
      .names = {"MH 形式のフォルダ", "MH 形式のフォルダ", "an MH folder"},
      .detection = {.fitsShape = FitsMh, .looksShape = LooksMh, .rank = 20},
      .desktop = {"MH形式のフォルダから",
                  "変換するMH形式のフォルダ (番号の名前のメールファイルがあるフォルダ) "
                  "を指定してください。|"
                  "変換するMH形式のフォルダを指定してください。",
                  K::TBrowse::CheckedFolder, "変換するMH形式のフォルダを指定してください。"},
      .open = Open<TMHParser>},
    K{.number = K::ThunderbirdFolder,
      .location = K::TLocation::File,
      .helpTopic = THelpTopic::ThunderbirdFolder,
      .names = {"Thunderbird のフォルダ", "Thunderbird のフォルダのファイル",
                "a Thunderbird folder file"},
      .detection = {.fits = FitsThunderbird, .looks = P::LooksThunderbird, .rank = 30},
      .desktop = {"Thunderbirdのフォルダから",
                  "変換するThunderbirdのフォルダのファイル (Inbox など、拡張子なし) "
                  "を指定してください。|"
                  "変換するThunderbirdのフォルダのファイルを指定してください。",
                  K::TBrowse::ThunderbirdFolder, "", "", K::TWineFolder::None, K::TDrop::ByContent},
      .open = OpenOnThreads<TThunderbirdParser>},
    K{.number = K::Imap,
      .location = K::TLocation::Url,
      .helpTopic = THelpTopic::ImapServer,
      .names = {"IMAP サーバのフォルダ", "IMAP サーバのフォルダ", "a folder on an IMAP server"},
      .detection = {},
      .desktop = {"IMAP サーバから",
                  "変換するIMAPサーバのフォルダを[参照]で指定してください "
                  "(imaps://ユーザ名@サーバ/フォルダ)。|"
                  "変換するIMAPサーバのフォルダを指定してください。",
                  K::TBrowse::ImapFolder},
      .open = OpenImap},
};

constexpr bool NumberedInOrder() {
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        if (kKinds[i].number != static_cast<int>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(NumberedInOrder(), "a kind's row stands at its number");

}  // namespace

std::span<const TStoreKind> TStoreKind::All() {
    return kKinds;
}

const TStoreKind* TStoreKind::Find(int number) {
    if (number < 0 || number >= Count()) {
        return nullptr;
    }
    return &kKinds[static_cast<std::size_t>(number)];
}

const TStoreKind& TStoreKind::Get(int number) {
    if (const TStoreKind* kind = Find(number)) {
        return *kind;
    }
    throw std::invalid_argument("unknown mail type " + std::to_string(number));
}

int TStoreKind::LocationHelpTopic() const {
    for (const TStoreKind& kind : kKinds) {
        if (kind.location == location) {
            return kind.helpTopic;
        }
    }
    return helpTopic;
}
