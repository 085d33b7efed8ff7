// Choosing a Maildir, MH or Thunderbird store in the main window.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include "GuiTest.h"
#include "TempDir.h"
#include "TempHome.h"
#include "gui/app/TFormMain.h"
#include "gui/app/TThunderbirdFolderDialog.h"
#include "gui/controls/THistoryComboBox.h"
#include "gui/settings/TAppIni.h"
#include "mail/TMailStoreFactory.h"

namespace {

namespace fs = std::filesystem;

QString Path(const fs::path& path) {
    return QString::fromStdString(path.string());
}

class StoreKindsGuiTest : public GuiFixture {
  protected:
    TTempHome home;
    TTempDir dir;
    TAppIni appIni{dir.Path() / "settings"};
};

}  // namespace

TEST_F(StoreKindsGuiTest, FolderDialogTakesOnlyAFolderOfTheKind) {
    fs::create_directories(dir.Path() / "md/cur");
    fs::create_directories(dir.Path() / "md/new");
    fs::create_directories(dir.Path() / "mh");
    TTempDir::Write(dir.Path() / "mh/1", "Subject: a\n\nb\n");
    TTempDir::Write(dir.Path() / "mh/.mh_sequences", "unseen: 1\n");
    TFormMain form(appIni);
    form.MailTypeList()->setCurrentIndex(TMailStoreFactory::Maildir);
    modal.AnswerFile(Path(dir.Path() / "mh"));
    modal.AnswerFile(Path(dir.Path() / "md"));
    Find<QAction>(form, "ActionSelectDirectory")->trigger();
    ASSERT_EQ(modal.Boxes().size(), 1u);
    EXPECT_EQ(modal.Boxes()[0].text,
              Q("Maildir 形式のフォルダではないようです。\nMH 形式のフォルダのようです。"));
    ASSERT_EQ(modal.FileDialogs().size(), 2u);
    EXPECT_EQ(modal.FileDialogs()[1].request.initialDir, Path(dir.Path() / "mh"));
    EXPECT_EQ(form.LocationBox()->currentText(), Path(dir.Path() / "md"));

    // Refused, then cancelled: the location stays.
    form.MailTypeList()->setCurrentIndex(TMailStoreFactory::MhFolder);
    modal.AnswerFile(Path(dir.Path() / "md"));
    Find<QAction>(form, "ActionSelectDirectory")->trigger();
    EXPECT_EQ(modal.Boxes().size(), 2u);
    EXPECT_EQ(form.LocationBox()->currentText(), Path(dir.Path() / "md"));
}

TEST_F(StoreKindsGuiTest, ThunderbirdTreeOffersTheFolderFilesOfEachProfile) {
    const fs::path profile = dir.Path() / ".thunderbird/x.default";
    fs::create_directories(profile / "Mail/Local Folders/Inbox.sbd");
    fs::create_directories(profile / "ImapMail/imap.example.com");
    TTempDir::Write(profile / "Mail/Local Folders/Inbox", "");
    TTempDir::Write(profile / "Mail/Local Folders/Inbox.sbd/Sub", "");
    TTempDir::Write(profile / "ImapMail/imap.example.com/INBOX", "");
    TTempDir::Write(dir.Path() / ".thunderbird/profiles.ini",
                    "[Profile0]\nName=default\nIsRelative=1\nPath=x.default\n");
    const QString sub = Path(profile / "Mail/Local Folders/Inbox.sbd/Sub");

    TThunderbirdFolderDialog dialog(nullptr, dir.Path(), sub);
    QTreeWidget* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(top->child(0)->text(0), Q("Local Folders"));
    EXPECT_EQ(top->child(1)->text(0), Q("imap.example.com"));
    EXPECT_FALSE(top->child(0)->flags() & Qt::ItemIsSelectable);
    // The current location is selected and can be taken at once.
    EXPECT_EQ(tree->currentItem()->text(0), Q("Sub"));
    QPushButton* ok = Find<QPushButton>(dialog, "BtnOK");
    EXPECT_TRUE(ok->isEnabled());
    tree->setCurrentItem(top->child(1)->child(0));
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedFile(), Path(profile / "ImapMail/imap.example.com/INBOX"));
}

TEST_F(StoreKindsGuiTest, NoProfileLeavesTheFileDialog) {
    TThunderbirdFolderDialog dialog(nullptr, dir.Path(), QString());
    EXPECT_EQ(dialog.Tree()->topLevelItemCount(), 0);
    EXPECT_FALSE(Find<QPushButton>(dialog, "BtnOK")->isEnabled());
    modal.AnswerFile(Path(dir.Path() / "Inbox"));
    Find<QPushButton>(dialog, "BtnFile")->click();
    EXPECT_EQ(dialog.SelectedFile(), Path(dir.Path() / "Inbox"));
}

TEST_F(StoreKindsGuiTest, DroppedStoreSelectsTheKindItLooksLike) {
    fs::create_directories(dir.Path() / "md/cur");
    fs::create_directories(dir.Path() / "md/new");
    fs::create_directories(dir.Path() / "mh");
    TTempDir::Write(dir.Path() / "mh/1", "Subject: a\n\nb\n");
    fs::create_directories(dir.Path() / "eml");
    TTempDir::Write(dir.Path() / "Inbox",
                    "From - Mon Jun 03 09:00:00 2024\nX-Mozilla-Status: 0001\n\nb\n");
    TTempDir::Write(dir.Path() / "Empty", "");
    TTempDir::Write(dir.Path() / "Empty.msf", "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n");
    TTempDir::Write(dir.Path() / "Blank", "");
    TTempDir::Write(dir.Path() / "inbox.mbox", "From a@b Mon Jun 03 09:00:00 2024\n\nb\n");
    struct TDrop {
        const char* name;
        int kind;  // -1: the drop is ignored
    };
    const TDrop drops[] = {
        {"md", TMailStoreFactory::Maildir},
        {"mh", TMailStoreFactory::MhFolder},
        {"Inbox", TMailStoreFactory::ThunderbirdFolder},
        {"Empty", TMailStoreFactory::ThunderbirdFolder},  // by its index beside it
        {"eml", TMailStoreFactory::EmlFolder},
        {"Blank", -1},
        {"inbox.mbox", -1},
    };
    TFormMain form(appIni);
    for (const TDrop& drop : drops) {
        form.MailTypeList()->setCurrentIndex(TMailStoreFactory::Shuriken);
        form.LocationBox()->setEditText(Q("before"));
        form.DropPaths({Path(dir.Path() / drop.name)});
        const bool taken = drop.kind >= 0;
        EXPECT_EQ(form.MailTypeList()->currentIndex(),
                  taken ? drop.kind : TMailStoreFactory::Shuriken)
            << drop.name;
        EXPECT_EQ(form.LocationBox()->currentText(),
                  taken ? Path(dir.Path() / drop.name) : Q("before"))
            << drop.name;
    }
}
