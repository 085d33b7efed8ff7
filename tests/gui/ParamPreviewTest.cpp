// The parameter editor's preview on the example store: it follows typing,
// reports problems in the panel, moves between mails, searches, and shows
// the very cell kestrify-cli writes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <cstdio>

#include "GuiTest.h"
#include "gui/params/TFormParamEdit.h"
#include "gui/params/TParamPreviewPanel.h"
#include "settings/TSettingFile.h"

namespace {

const std::string kExamples = KESTRIFY_SOURCE_DIR "/examples";

std::vector<TOrderedParamString> ProjectParams() {
    TSettingFile project(kExamples + "/inquiries.KFY");
    project.Read();
    return project.GetParams();
}

class ParamPreviewTest : public GuiFixture {
  protected:
    ParamPreviewTest() {
        ShowActive(form);
        panel = form.PreviewPanel();
        key = Find<QComboBox>(form, "EditKey");
    }

    void Open(int mailType, const std::string& location,
              const std::vector<TOrderedParamString>& params = {}, int position = -1) {
        TFormParamEdit::TPreviewSource source;
        source.mailType = mailType;
        source.location = location;
        for (const TOrderedParamString& p : params) {
            source.params.Add(p);
        }
        source.position = position;
        form.SetPreviewSource(source);
        Click(Find<QPushButton>(form, "BtnPreview"));
    }
    void OpenExample() { Open(2, kExamples + "/inquiries.mbox"); }

    // Waits until the panel has shown something for which `done` holds.
    template <class Pred>
    bool Settle(Pred done) {
        return QTest::qWaitFor(done, 10000);
    }
    bool ShowsValue(const QString& value) {
        return Settle([&] { return panel->ValueText() == value; });
    }
    void TypeKey(const QString& text) {
        key->lineEdit()->setFocus();
        Type(key->lineEdit(), text);
    }

    TFormParamEdit form;
    TParamPreviewPanel* panel;
    QComboBox* key;
};

TEST_F(ParamPreviewTest, ClosedByDefaultAndOpensWithItsButton) {
    EXPECT_FALSE(panel->isVisible());
    const QSize closed = form.size();
    OpenExample();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_GT(form.width(), closed.width());
    Click(Find<QPushButton>(form, "BtnPreview"));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(form.size(), closed);
}

TEST_F(ParamPreviewTest, TypingAKeyUpdatesTheValue) {
    OpenExample();
    TypeKey(Q("■お名"));
    EXPECT_TRUE(ShowsValue(Q("前：山田 太郎")));
    TypeKey(Q("前："));
    EXPECT_TRUE(ShowsValue(Q("山田 太郎")));
    Click(Find<QCheckBox>(form, "CheckBoxMailAddress"));
    EXPECT_TRUE(ShowsValue(QString()));
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(ParamPreviewTest, InvalidRegularExpressionShowsTheEnginesMessage) {
    OpenExample();
    Click(Find<QCheckBox>(form, "CheckBoxRegExt"));
    TypeKey(Q("■(お名"));
    EXPECT_TRUE(Settle([&] {
        return panel->MessageText().startsWith(
                   Q("パラメータ文字の正規表現に間違いがあります。\n")) &&
               panel->MessageText().size() > 30;
    })) << panel->MessageText().toStdString();
    EXPECT_EQ(panel->ValueText(), QString());
    TypeKey(Q(")"));
    EXPECT_TRUE(ShowsValue(Q("前：山田 太郎")));  // a pattern's rest is not trimmed
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(ParamPreviewTest, NextAndPreviousMail) {
    OpenExample();
    TypeKey(Q("■お名前："));
    ASSERT_TRUE(ShowsValue(Q("山田 太郎")));
    Click(Find<QToolButton>(form, "BtnNextMail"));
    EXPECT_TRUE(ShowsValue(Q("佐藤 花子")));
    EXPECT_EQ(panel->MailIndex(), 1);
    Find<QSpinBox>(form, "EditMailNumber")->setValue(5);  // the store is open by now
    EXPECT_TRUE(ShowsValue(Q("Emily Clark")));
    Click(Find<QToolButton>(form, "BtnPrevMail"));
    EXPECT_TRUE(ShowsValue(Q("鈴木 美咲")));
}

TEST_F(ParamPreviewTest, NextMailWithAValue) {
    OpenExample();
    TypeKey(Q("英語"));
    ASSERT_TRUE(Settle([&] { return panel->MessageText().contains(Q("値が見つかりません")); }));
    auto* findNext = Find<QPushButton>(form, "BtnFindNext");
    Click(findNext);
    EXPECT_TRUE(ShowsValue(Q("のカタログはありますか？")));
    EXPECT_EQ(panel->MailIndex(), 4);
    EXPECT_FALSE(panel->IsSearching());
}

TEST_F(ParamPreviewTest, StoreThatDoesNotExistIsReportedInThePanel) {
    Open(2, kExamples + "/missing.mbox");
    TypeKey(Q("■お名前："));
    EXPECT_TRUE(Settle(
        [&] { return panel->MessageText() == Q("Unix mbox形式のファイルを指定してください。"); }));
    EXPECT_TRUE(modal.Boxes().empty());
    EXPECT_FALSE(Find<QPushButton>(form, "BtnFindNext")->isEnabled());
}

// CSV records of kestrify-cli's output, each a list of unquoted cells.
std::vector<std::vector<std::string>> CliCsv() {
    const std::string command = std::string(KESTRIFY_CLI_PROGRAM) + " --jobs 1 --quiet '" +
                                kExamples + "/inquiries.KFY' - 2>/dev/null";
    std::string csv;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            csv.append(buffer, n);
        }
        ::pclose(pipe);
    }
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        std::string& cell = records.back().back();
        if (quoted && c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
            cell += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            records.back().emplace_back();
        } else if (!quoted && c == '\r') {
            records.emplace_back(1);
            ++i;  // LF
        } else {
            cell += c;
        }
    }
    records.pop_back();  // after the last line break
    return records;
}

struct TCellCase {
    const char* name;
    int mail;
    int param;  // in the project's list
};

class PreviewEqualsCliCell : public ParamPreviewTest,
                             public ::testing::WithParamInterface<TCellCase> {};

TEST_P(PreviewEqualsCliCell, ForTheSameMailAndParameters) {
    static const auto csv = CliCsv();
    ASSERT_EQ(csv.size(), 6u) << "kestrify-cli gave no CSV";
    const std::vector<TOrderedParamString> params = ProjectParams();
    const TOrderedParamString& p = params.at(GetParam().param);
    const auto& titles = csv.front();
    const auto column = std::find(titles.begin(), titles.end(), p.GetFieldName()) - titles.begin();
    const QString expected = TQtText::FromSjis(csv.at(GetParam().mail + 1).at(column));

    form.SetParam(p);
    Open(2, kExamples + "/inquiries.mbox", params, GetParam().param);
    auto* number = Find<QSpinBox>(form, "EditMailNumber");
    ASSERT_TRUE(Settle([&] { return number->maximum() == 5; }));
    number->setValue(GetParam().mail + 1);
    EXPECT_TRUE(Settle([&] {
        return panel->MailIndex() == GetParam().mail && panel->ValueText() == expected;
    })) << panel->ValueText().toStdString()
        << " != " << expected.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Preview, PreviewEqualsCliCell,
    ::testing::Values(TCellCase{"DateInJapanTime", 2, 0}, TCellCase{"SenderName", 1, 2},
                      TCellCase{"SenderAddress", 4, 3}, TCellCase{"TrimmedName", 3, 4},
                      TCellCase{"RegexKey", 0, 7}, TCellCase{"MultiLineWithQuotes", 4, 9},
                      TCellCase{"MultiLineTrimmed", 1, 9}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
