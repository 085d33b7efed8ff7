// The table of store kinds: every row whole and agreeing with its location,
// and each reader family telling where its mails live, which is all a run of
// only new mail knows of the reader.

#include "mail/TStoreKind.h"

#include <gtest/gtest.h>

#include <string>

#include "MailTestUtil.h"
#include "base/THelpTopic.h"
#include "mail/TMailStoreFactory.h"

namespace {

using K = TStoreKind;

TEST(StoreKind, RowsAreWholeAndAgreeWithTheirLocation) {
    ASSERT_EQ(K::Count(), 10);
    for (const K& kind : K::All()) {
        SCOPED_TRACE(kind.number);
        EXPECT_EQ(K::Find(kind.number), &kind);
        for (const char* text :
             {kind.names.name, kind.names.location, kind.names.english, kind.desktop.choice}) {
            EXPECT_STRNE(text, "");
        }
        EXPECT_NE(std::string(kind.desktop.hint).find('|'), std::string::npos);
        EXPECT_NE(kind.open, nullptr);
        EXPECT_NE(kind.helpTopic, 0);
        const K::TDetection& d = kind.detection;
        switch (kind.location) {
            case K::TLocation::File:
                EXPECT_EQ(d.fitsShape, nullptr);
                EXPECT_TRUE(kind.desktop.browse == K::TBrowse::File ||
                            kind.desktop.browse == K::TBrowse::ThunderbirdFolder);
                EXPECT_EQ(kind.LocationHelpTopic(), THelpTopic::DbxFile);
                break;
            case K::TLocation::Folder:
                EXPECT_NE(d.fitsShape, nullptr);
                EXPECT_EQ(d.fits, nullptr);
                EXPECT_TRUE(kind.desktop.browse == K::TBrowse::Folder ||
                            kind.desktop.browse == K::TBrowse::CheckedFolder);
                EXPECT_STRNE(kind.desktop.browseText, "");  // the dialog's caption
                EXPECT_EQ(kind.LocationHelpTopic(), THelpTopic::MailFolder);
                break;
            case K::TLocation::Url:
                EXPECT_TRUE(d.fits == nullptr && d.looks == nullptr && d.fitsShape == nullptr);
                EXPECT_EQ(kind.LocationHelpTopic(), THelpTopic::ImapServer);
                break;
        }
        // A guess without a rank would be tried before every other one.
        if (d.looks != nullptr || d.looksShape != nullptr) {
            EXPECT_GT(d.rank, 0);
        }
    }
    EXPECT_EQ(K::Find(-1), nullptr);
    EXPECT_EQ(K::Find(K::Count()), nullptr);
    EXPECT_THROW(K::Get(K::Count()), std::invalid_argument);
    EXPECT_TRUE(TMailStoreFactory::IsRemoteType(K::Imap));
    EXPECT_FALSE(TMailStoreFactory::IsRemoteType(K::Count()));
}

TEST(StoreKind, EachReaderFamilyTellsWhereItsMailsLive) {
    const TTempDir dir;
    const std::string mbox =
        "From a Mon Jun  3 09:00:00 2024\nSubject: 1\n\nx\n\n"
        "From b Mon Jun  3 09:00:00 2024\nSubject: 2\n\ny\n";
    WriteFile(dir.Path() / "box", mbox);
    std::filesystem::create_directories(dir.Path() / "eml");
    WriteFile(dir.Path() / "eml" / "a.eml", "Subject: a\n\nx\n");
    WriteFile(dir.Path() / "eml" / "b.eml", "Subject: b\n\nx\n");
    std::filesystem::create_directories(dir.Path() / "mh");
    WriteFile(dir.Path() / "mh" / "7", "Subject: 7\n\nx\n");
    std::filesystem::create_directories(dir.Path() / "md" / "cur");
    std::filesystem::create_directories(dir.Path() / "md" / "new");
    WriteFile(dir.Path() / "md" / "new" / "1700000000.M1P2.host", "Subject: m\n\nx\n");
    struct TCase {
        int kind;
        std::string location;
        TMailPlace::TKind place;
        std::filesystem::path lastFile;
        std::uint64_t lastOffset;
    };
    const TCase cases[] = {
        {K::MboxFile, dir.File("box"), TMailPlace::TKind::InText, {}, mbox.find("From b")},
        {K::EudoraMbx, dir.File("box"), TMailPlace::TKind::InText, {}, mbox.find("From b")},
        {K::EmlFolder, dir.File("eml"), TMailPlace::TKind::OwnFile, dir.Path() / "eml" / "b.eml",
         0},
        {K::MhFolder, dir.File("mh"), TMailPlace::TKind::OwnFile, dir.Path() / "mh" / "7", 0},
        {K::Maildir, dir.File("md"), TMailPlace::TKind::OwnFile,
         dir.Path() / "md" / "new" / "1700000000.M1P2.host", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto reader = TMailStoreFactory::Create(c.kind, c.location);
        const int count = reader->GetCount();
        ASSERT_GT(count, 0);
        const TMailPlace last = reader->Place(count - 1);
        EXPECT_EQ(last.kind, c.place);
        EXPECT_EQ(last.file, c.lastFile);
        EXPECT_EQ(last.offset, c.lastOffset);
        EXPECT_EQ(reader->StoreText().has_value(), c.place == TMailPlace::TKind::InText);
        if (reader->StoreText()) {
            EXPECT_EQ(*reader->StoreText(), mbox);
        }
        // Local stores read each mail when asked: nothing to narrow.
        EXPECT_FALSE(reader->Numbering());
        EXPECT_FALSE(reader->ListAfter(1, 1));
        EXPECT_FALSE(reader->KeepOnly({0}));
        EXPECT_EQ(reader->GetCount(), count);
    }
}

}  // namespace
