#include "gui/settings/TFileAssociation.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>

#include "TempHome.h"
#include "gui/settings/TKeyFileText.h"

namespace {

QString Q8(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const QString NotSet = Q8(" 拡張子'KFY'の付いたファイルのタイプは\n 設定されていません。");
const QString Ours = Q8(" 拡張子'KFY'の付いたファイルのタイプは\n 'KESTRIFYファイル'です。");
const QString Program = Q8("/opt/メール ツール/bin/kestrify");

TEST(FileAssociation, RoundTripInTheUsersFolders) {
    TTempHome home;
    TTempDir::Write(home.Config() / "mimeapps.list",
                    "[Default Applications]\ntext/plain=editor.desktop;\n");
    TFileAssociation association;
    EXPECT_EQ(association.StatusText(), NotSet);
    ASSERT_TRUE(association.Associate(Program));
    EXPECT_EQ(association.StatusText(), Ours);
    EXPECT_EQ(association.HandlerProgram(), Program);
    EXPECT_TRUE(std::filesystem::exists(home.Data() / "mime/packages/kestrify.xml"));
    EXPECT_TRUE(std::filesystem::exists(
        home.Data() / "icons/hicolor/scalable/mimetypes/application-x-kestrify-project.svg"));
    const QString validator = QStandardPaths::findExecutable(Q8("desktop-file-validate"));
    if (!validator.isEmpty()) {  // the quoted Exec line is one the desktop accepts
        const auto entry = home.Data() / "applications/kestrify.desktop";
        EXPECT_EQ(QProcess::execute(validator, {QString::fromStdString(entry.string())}), 0);
    }
    EXPECT_EQ(TTempDir::Read(home.Config() / "mimeapps.list"),
              "[Default Applications]\ntext/plain=editor.desktop;\n"
              "application/x-kestrify-project=kestrify.desktop;\n\n"
              "[Added Associations]\napplication/x-kestrify-project=kestrify.desktop;\n");

    EXPECT_FALSE(association.Remove(Q8("/usr/bin/kestrify")));  // another copy of the program
    EXPECT_EQ(association.StatusText(), Ours);
    EXPECT_TRUE(association.Remove(Program));
    EXPECT_EQ(association.StatusText(), NotSet);
    EXPECT_FALSE(std::filesystem::exists(home.Data() / "applications/kestrify.desktop"));
    EXPECT_EQ(TTempDir::Read(home.Config() / "mimeapps.list"),
              "[Default Applications]\ntext/plain=editor.desktop;\n\n[Added Associations]\n");
}

TEST(FileAssociation, AnotherProgramsAssociationIsLeftAlone) {
    TTempHome home;
    std::filesystem::create_directories(home.Data() / "mime/packages");
    std::filesystem::create_directories(home.Data() / "applications");
    const std::string package =
        "<?xml version=\"1.0\"?>\n<mime-info "
        "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "<mime-type type=\"application/x-other\"><comment>Other</comment>"
        "<comment xml:lang=\"ja\">他社ファイル</comment><glob pattern=\"*.kfy\"/></mime-type>\n"
        "</mime-info>\n";
    TTempDir::Write(home.Data() / "mime/packages/other.xml", package);
    TTempDir::Write(home.Data() / "applications/other.desktop",
                    "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other %f\n");
    TTempDir::Write(home.Config() / "mimeapps.list",
                    "[Default Applications]\napplication/x-other=other.desktop;\n");

    TFileAssociation association;
    EXPECT_EQ(association.StatusText(),
              Q8(" 拡張子'KFY'の付いたファイルのタイプは\n '他社ファイル'です。"));
    EXPECT_EQ(association.HandlerProgram(), Q8("/usr/bin/other"));
    EXPECT_FALSE(association.Remove(Program));
    EXPECT_EQ(TTempDir::Read(home.Data() / "mime/packages/other.xml"), package);
    EXPECT_EQ(TTempDir::Read(home.Config() / "mimeapps.list"),
              "[Default Applications]\napplication/x-other=other.desktop;\n");
}

TEST(FileAssociation, ExecValueQuotesEveryPathAndReadsBack) {
    struct Case {
        const char* path;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/kestrify", R"("/usr/bin/kestrify" %f)"},
        {"/opt/a b/kestrify", R"("/opt/a b/kestrify" %f)"},
        {R"(/opt/"q"$x`y/k)", R"("/opt/\\"q\\"\\$x\\`y/k" %f)"},
        {R"(/opt/back\slash/k)", R"("/opt/back\\\\slash/k" %f)"},
        {"/opt/100%/k", R"("/opt/100%%/k" %f)"},
        {"/opt/メール/k", R"("/opt/メール/k" %f)"},
    };
    for (const Case& c : cases) {
        const QString exec = TFileAssociation::ExecValue(Q8(c.path));
        EXPECT_EQ(exec, Q8(c.exec)) << c.path;
        EXPECT_EQ(TFileAssociation::ExecProgram(exec), Q8(c.path)) << c.path;
    }
    EXPECT_EQ(TFileAssociation::ExecProgram(Q8("kestrify %f")), Q8("kestrify"));
    EXPECT_TRUE(TFileAssociation::ExecValue(Q8("/a\nb")).isEmpty());
}

TEST(KeyFileText, ChangesOneKeyAndKeepsEveryOtherLine) {
    TKeyFileText text(Q8("# mine\n[A]\nx = 1\ny=2\n\n[B]\nz=3\n"));
    EXPECT_EQ(text.Value(Q8("A"), Q8("x")), Q8("1"));
    text.SetValue(Q8("A"), Q8("x"), Q8("9"));
    text.SetValue(Q8("A"), Q8("new"), Q8("n"));
    text.SetValue(Q8("C"), Q8("c"), Q8("c"));
    EXPECT_TRUE(text.Remove(Q8("B"), Q8("z")));
    EXPECT_FALSE(text.Remove(Q8("A"), Q8("z")));
    EXPECT_EQ(text.Text(), Q8("# mine\n[A]\nx=9\ny=2\nnew=n\n\n[B]\n\n[C]\nc=c\n"));
}

}  // namespace
