#include "mail/TMailStoreCheck.h"

#include <gtest/gtest.h>

#include "mail/TMailStoreFactory.h"

namespace {

using F = TMailStoreFactory;
constexpr int kProject = TMailStoreCheck::LooksLikeProject;
constexpr int kOneMail = TMailStoreCheck::LooksLikeOneMail;
constexpr int kNone = -99;

// Built in place: GCC 12 at -O1 warns (array-bounds) on appended temporaries.
const std::string kDbx = std::string("\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F", 8).append(300, '\0');
const std::string kMbox = "From a@b Mon Jun  3 09:00:00 2024\nSubject: x\n\nbody\n\n";
const std::string kShuriken = "== sep ==\r\nSubject: a\r\n\r\n== sep ==\r\nSubject: b\r\n\r\n";
const std::string kProjectText = "\xEF\xBB\xBF[eml]\r\nMAILTYPE=2\r\n";
const std::string kMail = "Subject: one\n\nbody\n";
const std::string kThunderbird =
    "From - Mon Jun  3 09:00:00 2024\nX-Mozilla-Status: 0001\nSubject: x\n\nbody\n\n";

struct TCase {
    int type;
    std::string bytes;
    bool fits;
    int looksLike;  // kNone: no advice
};

}  // namespace

TEST(MailStoreCheck, WrongTypesAreToldWithWhatTheFileLooksLike) {
    const std::vector<TCase> cases = {
        {F::DbxFile, kDbx, true, kNone},
        {F::MboxFile, kMbox, true, kNone},
        {F::EudoraMbx, kMbox, true, kNone},
        {F::Shuriken, kShuriken, true, kNone},
        {F::MboxFile, "", true, kNone},  // an empty store is a store
        {F::DbxFile, " \r\n", true, kNone},
        {F::EmlFolder, kProjectText, true, kNone},
        {F::MboxFile, kDbx, false, F::DbxFile},
        {F::DbxFile, kMbox, false, F::MboxFile},
        {F::MboxFile, kShuriken, false, F::Shuriken},
        {F::Shuriken, kMbox, false, F::MboxFile},
        {F::Shuriken, "one line only\n", false, kNone},
        {F::EudoraMbx, kProjectText, false, kProject},
        {F::Shuriken, kProjectText, false, kProject},
        {F::DbxFile, kMail, false, kOneMail},
        {F::MboxFile, "Subject: x\n\nFrom here on\nFrom there\n", true, kNone},
        {F::EudoraMbx, "no mail here\n", false, kNone},
        // Read as mbox, a Thunderbird folder would keep its deleted mails.
        {F::MboxFile, kThunderbird, false, F::ThunderbirdFolder},
        {F::EudoraMbx, kThunderbird, false, F::ThunderbirdFolder},
        {F::ThunderbirdFolder, kThunderbird, true, kNone},
        {F::ThunderbirdFolder, "Subject: x\n\nFrom - later\n", true, kNone},
        {F::ThunderbirdFolder, kMbox, false, F::MboxFile},
        {F::ThunderbirdFolder, kDbx, false, F::DbxFile},
        {F::ThunderbirdFolder, kProjectText, false, kProject},
        {F::MboxFile, "From - Mon\nSubject: x\n\n", true, kNone},  // no Thunderbird flags
    };
    for (const TCase& c : cases) {
        const TMailStoreCheck::TResult r = TMailStoreCheck::CheckBytes(c.type, c.bytes);
        EXPECT_EQ(r.fits, c.fits) << c.type << " " << c.bytes.substr(0, 12);
        EXPECT_EQ(r.looksLike.value_or(kNone), c.looksLike)
            << c.type << " " << c.bytes.substr(0, 12);
    }
}

TEST(MailStoreCheck, FolderKindsAreToldApart) {
    using TShape = TMailStoreCheck::TFolderShape;
    const TShape maildir{true, false, false, false};
    const TShape mh{false, true, true, false};
    const TShape mhNoSequences{false, true, false, false};
    const TShape eml{false, false, false, true};
    const TShape empty{};
    struct TFolderCase {
        int type;
        TShape shape;
        bool fits;
        int looksLike;
    };
    const TFolderCase cases[] = {
        {F::Maildir, maildir, true, kNone},
        {F::EmlFolder, maildir, false, F::Maildir},
        {F::TextFolder, maildir, false, F::Maildir},
        {F::MhFolder, maildir, false, F::Maildir},
        {F::MhFolder, mh, true, kNone},
        {F::MhFolder, mhNoSequences, true, kNone},
        {F::MhFolder, empty, true, kNone},
        {F::MhFolder, eml, false, F::EmlFolder},
        {F::EmlFolder, mh, false, F::MhFolder},
        {F::EmlFolder, TShape{false, true, false, true}, true, kNone},
        {F::TextFolder, mhNoSequences, true, kNone},  // numbered text files
        {F::TextFolder, mh, false, F::MhFolder},
        {F::Maildir, mh, false, F::MhFolder},
        {F::Maildir, eml, false, F::EmlFolder},
        {F::Maildir, empty, false, kNone},
        {F::EmlFolder, empty, true, kNone},
    };
    for (const TFolderCase& c : cases) {
        const TMailStoreCheck::TResult r = TMailStoreCheck::CheckShape(c.type, c.shape);
        EXPECT_EQ(r.fits, c.fits) << c.type << " " << &c - cases;
        EXPECT_EQ(r.looksLike.value_or(kNone), c.looksLike) << c.type << " " << &c - cases;
    }
}

TEST(MailStoreCheck, MessagesNameBothKinds) {
    EXPECT_EQ(TMailStoreCheck::Message(F::MboxFile, {false, F::ThunderbirdFolder}),
              "Unix mbox形式のファイルではないようです。\nThunderbird のフォルダのようです。");
    EXPECT_EQ(TMailStoreCheck::Message(F::EmlFolder, {false, F::Maildir}),
              "メールのあるフォルダではないようです。\nMaildir 形式のフォルダのようです。");
    EXPECT_EQ(TMailStoreCheck::Message(F::Maildir, {false, std::nullopt}),
              "Maildir 形式のフォルダではないようです。");
    EXPECT_EQ(TMailStoreCheck::Message(F::Maildir, {}), "");
}
