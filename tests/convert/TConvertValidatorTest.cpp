#include "convert/TConvertValidator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "TestText.h"
#include "mail/TDBXParser.h"
#include "mail/TEMLParser.h"
#include "mail/TEudoraParser.h"
#include "mail/TMBOXParser.h"
#include "mail/TMHParser.h"
#include "mail/TMailStoreFactory.h"
#include "mail/TMaildirParser.h"
#include "mail/TShurikenParser.h"
#include "mail/TTextFileParser.h"
#include "mail/TThunderbirdParser.h"

namespace {

struct TStore {
    int mailType;
    bool folder;
    const char* message;
    int helpTopic;
};

const TStore kStores[] = {
    {0, true, "メールのあるフォルダを指定してください。", 8},
    {1, false, "DBXファイルを指定してください。", 21},
    {2, false, "Unix mbox形式のファイルを指定してください。", 21},
    {3, false, "Shuriken形式のファイルを指定してください。", 21},
    {4, false, "Eudoraのmbxファイルを指定してください。", 21},
    {5, true, "テキストファイルのあるフォルダを指定してください。", 8},
};

class TConvertValidatorTest : public ::testing::Test {
  protected:
    TConvertValidatorTest() {
        std::filesystem::create_directory(dir_.Path() / "フォルダ");
        TTempDir::Write(dir_.Path() / "メール.mbx", "From x\n");
    }
    std::string Folder() const { return TSjisUnicode::FromPath(dir_.Path() / "フォルダ"); }
    std::string File() const { return TSjisUnicode::FromPath(dir_.Path() / "メール.mbx"); }

    TTempDir dir_;
};

TEST_F(TConvertValidatorTest, NoParametersComesFirst) {
    const auto problem = TConvertValidator::Check(0, 7, "");
    ASSERT_TRUE(problem);
    EXPECT_EQ(Utf(problem->message), "パラメータが指定されていません。");
    EXPECT_EQ(problem->helpTopic, 10);
}

TEST_F(TConvertValidatorTest, EachKindNeedsItsFolderOrFile) {
    for (const TStore& s : kStores) {
        SCOPED_TRACE(s.mailType);
        const std::string right = s.folder ? Folder() : File();
        const std::string wrong = s.folder ? File() : Folder();
        EXPECT_FALSE(TConvertValidator::Check(1, s.mailType, right));
        for (const std::string& bad : {wrong, right + "x", std::string()}) {
            const auto problem = TConvertValidator::Check(1, s.mailType, bad);
            ASSERT_TRUE(problem) << bad;
            EXPECT_EQ(Utf(problem->message), s.message);
            EXPECT_EQ(problem->helpTopic, s.helpTopic);
        }
    }
}

TEST_F(TConvertValidatorTest, UnknownMailTypeIsRefused) {
    for (int type : {-1, 99, 1000}) {
        const auto problem = TConvertValidator::Check(3, type, Folder());
        ASSERT_TRUE(problem);
        EXPECT_EQ(Utf(problem->message), "メールの種類が正しくありません。");
    }
}

TEST_F(TConvertValidatorTest, FactoryMakesTheReaderOfEachKind) {
    const auto made = [&](int type) {
        return TMailStoreFactory::Create(type,
                                         TMailStoreFactory::IsFolderType(type) ? Folder() : File());
    };
    EXPECT_NE(dynamic_cast<TEMLParser*>(made(0).get()), nullptr);
    EXPECT_NE(dynamic_cast<TDBXParser*>(made(1).get()), nullptr);
    const auto mbox = made(2);
    EXPECT_NE(dynamic_cast<TMBOXParser*>(mbox.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TEudoraParser*>(mbox.get()), nullptr);
    EXPECT_NE(dynamic_cast<TShurikenParser*>(made(3).get()), nullptr);
    EXPECT_NE(dynamic_cast<TEudoraParser*>(made(4).get()), nullptr);
    EXPECT_NE(dynamic_cast<TTextFileParser*>(made(5).get()), nullptr);
    EXPECT_NE(dynamic_cast<TMaildirParser*>(made(6).get()), nullptr);
    EXPECT_NE(dynamic_cast<TMHParser*>(made(7).get()), nullptr);
    EXPECT_NE(dynamic_cast<TThunderbirdParser*>(made(8).get()), nullptr);
    EXPECT_THROW(TMailStoreFactory::Create(99, Folder()), std::invalid_argument);
    EXPECT_THROW(TMailStoreFactory::Create(-1, Folder()), std::invalid_argument);
}

}  // namespace
