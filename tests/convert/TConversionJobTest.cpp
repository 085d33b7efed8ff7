#include "convert/TConversionJob.h"

#include <gtest/gtest.h>

#include <new>

#include "StateTestUtil.h"
#include "TParamMaker.h"
#include "TempDir.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TCSVConverter.h"
#include "convert/TExitStatus.h"
#include "mail/TMailStoreCheck.h"

namespace {

namespace fs = std::filesystem;
using TStep = TJobRefusal::TStep;

// Records what the job asked of it, in order.
class TFakeJobHost : public TConversionJobHost {
  public:
    enum class TAside { Run, Throw, OutOfMemory };

    void Refused(const TJobRefusal& refusal) override {
        calls.push_back("refused");
        refusals.push_back(refusal);
    }
    void Failed(const std::exception& error) override {
        calls.push_back(std::string("failed: ") + error.what());
    }
    void RunAside(const std::function<void()>& work) override {
        calls.push_back("aside");
        if (aside == TAside::Throw) {
            throw TKestrifyError("broken");
        }
        if (aside == TAside::OutOfMemory) {
            throw std::bad_alloc();
        }
        work();
    }
    int Stopped() override {
        calls.push_back("stopped");
        return TExitStatus::AfterSignal(15);
    }
    int Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) override {
        calls.push_back("convert");
        mails = converter->GetCount();
        gotOnlyNew = onlyNew != nullptr;
        return TExitStatus::MailsFailed;  // whatever the host's run says
    }

    TAside aside = TAside::Run;
    std::stop_source stop;  // the run's
    std::vector<std::string> calls;
    std::vector<TJobRefusal> refusals;
    int mails = -1;
    bool gotOnlyNew = false;
};

// A project, a two-mail mbox, a file that is a project rather than an mbox,
// and a folder store.
class ConversionJob : public ::testing::Test {
  protected:
    void SetUp() override {
        TTempDir::Write(Path("p.KFY"), "[EML]\r\nTYPE=2\r\n");
        TTempDir::Write(Path("inbox"), "From a\nSubject: one\n\nx\n\nFrom b\nSubject: two\n\ny\n");
        fs::create_directories(Path("mails"));
        TTempDir::Write(Path("mails") + "/1.eml", "Subject: a\n\nb\n");
    }
    std::string Path(const std::string& name) const { return dir_.File(name); }
    TConversionRequest Request(const std::string& location) const {
        TConversionRequest request;
        request.params = {HeaderParam(0, "Subject:")};
        request.mailType = 2;  // Unix mbox
        request.location = Path(location);
        request.project = Path("p.KFY");
        return request;
    }

    TStateHome state_;
    TTempDir dir_;
};

// Each refusal comes before anything is opened, and the earlier check wins
// where two would refuse.
TEST_F(ConversionJob, RefusesInOrderBeforeOpeningAnything) {
    struct TCase {
        const char* name;
        TConversionRequest request;
        TStep step;
        const char* messageEnd;  // UTF-8
    };
    TConversionRequest noParams = Request("missing");
    noParams.params.clear();
    TConversionRequest missing = Request("missing");
    TConversionRequest folder = Request("mails");
    TConversionRequest otherKind = Request("p.KFY");
    otherKind.output = Path("p.KFY");
    TConversionRequest outputIsStore = Request("inbox");
    outputIsStore.output = Path("inbox");
    TConversionRequest backupOntoStore = Request("inbox.bak");
    TTempDir::Write(Path("inbox.bak"), "From a\nSubject: one\n\nx\n");
    TTempDir::Write(Path("inbox.csv"), "old\r\n");
    backupOntoStore.output = Path("inbox.csv");
    backupOntoStore.makeBackup = true;
    TConversionRequest onlyNewToNowhere = Request("inbox");
    onlyNewToNowhere.onlyNew = true;
    const TCase cases[] = {
        {"no parameters before a missing store", noParams, TStep::Params,
         "パラメータが指定されていません。"},
        {"a missing store", missing, TStep::Location, "このメールの場所は存在しません。"},
        {"a folder for a file store", folder, TStep::Location,
         "Unix mbox形式のファイルを指定してください。"},
        {"another kind before the output", otherKind, TStep::StoreKind,
         "ではないようです。\nプロジェクトファイルのようです。"},
        {"the output is the store", outputIsStore, TStep::Output,
         "出力先がメールの保存ファイルです。"},
        {"the backup is the store", backupOntoStore, TStep::Output,
         "バックアップ先がメールの保存ファイルです。"},
        {"only new mail without an output", onlyNewToNowhere, TStep::OnlyNewOutput,
         "プロジェクトに指定してください。"},
    };
    for (const TCase& c : cases) {
        TFakeJobHost host;
        TConversionJob job(c.request, host);
        EXPECT_EQ(job.Run(), TExitStatus::BadInput) << c.name;
        ASSERT_EQ(host.calls, std::vector<std::string>{"refused"}) << c.name;
        const TJobRefusal& refusal = host.refusals[0];
        EXPECT_EQ(refusal.step, c.step) << c.name;
        EXPECT_TRUE(TSjisUnicode::ToUtf8(refusal.message).ends_with(c.messageEnd))
            << c.name << ": " << TSjisUnicode::ToUtf8(refusal.message);
    }
}

// The command words its refusals itself: it gets the check's reason without
// the location, what a misnamed store looks like and the English words.
TEST_F(ConversionJob, RefusalsCarryWhatEachProgramWordsItsOwnWay) {
    TFakeJobHost host;
    TConversionJob(Request("missing"), host).Run();
    TConversionRequest otherKind = Request("p.KFY");
    TConversionJob(otherKind, host).Run();
    TConversionRequest outputIsProject = Request("inbox");
    outputIsProject.output = Path("p.KFY");
    TConversionJob(outputIsProject, host).Run();
    ASSERT_EQ(host.refusals.size(), 3u);
    EXPECT_EQ(TSjisUnicode::ToUtf8(host.refusals[0].reason),
              "Unix mbox形式のファイルを指定してください。");
    EXPECT_EQ(host.refusals[1].looksLike, TMailStoreCheck::LooksLikeProject);
    EXPECT_EQ(host.refusals[2].english, "the output is the project file");
}

TEST_F(ConversionJob, HandsTheOpenedStoreToTheHost) {
    TFakeJobHost host;
    TConversionRequest request = Request("inbox");
    request.output = Path("new.csv");
    EXPECT_EQ(TConversionJob(request, host).Run(), TExitStatus::MailsFailed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"aside", "convert"}));
    EXPECT_EQ(host.mails, 2);
    EXPECT_FALSE(host.gotOnlyNew);
}

// The record is opened aside before the store, and the second run on the
// same output finds no new mail.
TEST_F(ConversionJob, OnlyNewMailOpensTheRecordFirst) {
    TConversionRequest request = Request("inbox");
    request.output = Path("new.csv");
    request.onlyNew = true;
    request.onlyNewOutput = Path("new.csv");
    TFakeJobHost host;
    TConversionJob(request, host).Run();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"aside", "aside", "convert"}));
    EXPECT_TRUE(host.gotOnlyNew);
    EXPECT_EQ(host.mails, 2);
}

// A store that cannot be opened is told once; a stop during the opening ends
// the job with the host's status; memory that ran out is no failure to tell.
TEST_F(ConversionJob, OpeningEndsTheJobOnFailureOrStop) {
    TFakeJobHost failing;
    failing.aside = TFakeJobHost::TAside::Throw;
    EXPECT_EQ(TConversionJob(Request("inbox"), failing).Run(), TExitStatus::BadInput);
    EXPECT_EQ(failing.calls, (std::vector<std::string>{"aside", "failed: broken"}));

    TFakeJobHost stopped;
    stopped.stop.request_stop();
    EXPECT_EQ(TConversionJob(Request("inbox"), stopped, stopped.stop.get_token()).Run(),
              TExitStatus::AfterSignal(15));
    EXPECT_EQ(stopped.calls, (std::vector<std::string>{"aside", "stopped"}));

    // A stop that closed a server's connection fails the opening: no failure told.
    TFakeJobHost cut;
    cut.aside = TFakeJobHost::TAside::Throw;
    cut.stop.request_stop();
    EXPECT_EQ(TConversionJob(Request("inbox"), cut, cut.stop.get_token()).Run(),
              TExitStatus::AfterSignal(15));
    EXPECT_EQ(cut.calls, (std::vector<std::string>{"aside", "stopped"}));

    TFakeJobHost starved;
    starved.aside = TFakeJobHost::TAside::OutOfMemory;
    EXPECT_THROW(TConversionJob(Request("inbox"), starved).Run(), std::bad_alloc);
}

}  // namespace
