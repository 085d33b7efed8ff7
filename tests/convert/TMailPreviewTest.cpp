// The preview of one parameter on one mail of a real store, and the worker
// thread that runs it.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "DbxImage.h"
#include "TParamMaker.h"
#include "TempDir.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TMailPreview.h"
#include "convert/TPreviewWorker.h"

namespace {

const std::string kFirst = "Subject: one\r\n\r\nName: first\r\nNote:\r\nline a\r\nline b\r\n--\r\n";
const std::string kSecond = "Subject: two\r\n\r\nhello\r\n";

// Writes a store of `mailType` holding the two mails; returns its location.
std::string WriteStore(const TTempDir& dir, int mailType) {
    const std::filesystem::path folder = dir.Path() / "store";
    switch (mailType) {
        case 0:
        case 5:
            std::filesystem::create_directories(folder);
            TTempDir::Write(folder / "1.eml", kFirst);
            TTempDir::Write(folder / "2.eml", kSecond);
            return folder.string();
        case 1: {
            TDbxImage image;
            const auto m1 = image.AddMessage(image.AddText(kFirst));
            const auto m2 = image.AddMessage(image.AddText(kSecond));
            image.SetHeader(2, image.AddNode(0, 0, {{m1}, {m2}}));
            TTempDir::Write(dir.Path() / "store", image.Bytes());
            break;
        }
        case 3:
            TTempDir::Write(dir.Path() / "store", "#SEP#\r\n" + kFirst + "#SEP#\r\n" + kSecond);
            break;
        default: {
            const std::string from = mailType == 4 ? "From ???@??? Mon Jan 01 00:00:00 2001\r\n"
                                                   : "From a@b Mon Jan  1 00:00:00 2001\r\n";
            TTempDir::Write(dir.Path() / "store", from + kFirst + "\r\n" + from + kSecond);
        }
    }
    return (dir.Path() / "store").string();
}

TOrderedParamString Note() {
    return MultiParam(1, "Note:", "--");
}

class PreviewStoreKinds : public ::testing::TestWithParam<int> {};

TEST_P(PreviewStoreKinds, ShowsValuesAndFindsTheNextMailWithOne) {
    TTempDir dir;
    TMailPreview preview;
    preview.Open(GetParam(), WriteStore(dir, GetParam()));
    preview.SetParams({BodyParam(0, "Name:"), Note()}, 1);

    const TPreviewShot first = preview.Show(0);
    EXPECT_EQ(first.problem, "");
    EXPECT_EQ(first.count, 2);
    ASSERT_TRUE(first.mail);
    EXPECT_EQ(first.value, "line a\r\nline b");
    ASSERT_TRUE(first.span);
    const std::size_t at = first.span->keyLine;
    EXPECT_EQ(first.mail->GetBody().at(at), "Note:");
    EXPECT_EQ(first.span->first, at + 1);
    EXPECT_EQ(first.span->end, at + 3);

    const TPreviewShot second = preview.Show(7);  // clamped to the last mail
    EXPECT_EQ(second.index, 1);
    EXPECT_EQ(second.value, "");
    EXPECT_FALSE(second.span);

    const std::stop_token stop;
    std::vector<int> looked;
    EXPECT_EQ(preview.FindNext(-1, stop, [&](int i) { looked.push_back(i); }).found, 0);
    EXPECT_FALSE(preview.FindNext(0, stop, [&](int i) { looked.push_back(i); }).found);
    EXPECT_EQ(looked, (std::vector<int>{0, 1}));
}

INSTANTIATE_TEST_SUITE_P(Preview, PreviewStoreKinds, ::testing::Range(0, 6));

TEST(Preview, OtherParametersCountAsInTheConversion) {
    TTempDir dir;
    TMailPreview preview;
    preview.Open(2, WriteStore(dir, 2));
    // Searched after the note's key line, the name is not found.
    preview.SetParams({Note(), BodyParam(0, "Name:")}, 1);
    EXPECT_EQ(preview.Show(0).value, "");
    preview.SetParams({BodyParam(0, "Name:"), Note()}, 0);
    EXPECT_EQ(preview.Show(0).value, "first");

    TOrderedParamString subject = HeaderParam(2, "subject:");
    preview.SetParams({subject}, 0);
    const TPreviewShot shot = preview.Show(1);
    EXPECT_EQ(shot.value, "two");
    EXPECT_EQ(shot.headerKey, "SUBJECT:");
}

TEST(Preview, UnusableLocationGivesTheConvertCheckMessage) {
    TTempDir dir;
    TMailPreview preview;
    preview.Open(2, dir.File("missing.mbox"));
    preview.SetParams({BodyParam(0, "Name:")}, 0);
    const TPreviewShot shot = preview.Show(0);
    EXPECT_EQ(shot.problem, TSjisUnicode::FromUtf8("Unix mbox形式のファイルを指定してください。"));
    EXPECT_EQ(shot.index, -1);
    EXPECT_FALSE(shot.mail);
}

TEST(Preview, StoppedSearchSaysSo) {
    TTempDir dir;
    TMailPreview preview;
    preview.Open(2, WriteStore(dir, 2));
    preview.SetParams({BodyParam(0, "Name:")}, 0);
    std::stop_source stop;
    stop.request_stop();
    const TPreviewSearch result = preview.FindNext(-1, stop.get_token(), {});
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.found);
}

// Collects what the worker thread reports.
struct TRecorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TPreviewShot> shots;
    std::vector<TPreviewSearch> searches;

    TPreviewWorker::TSink Sink() {
        return {[this](TPreviewShot s) { Add(shots, std::move(s)); },
                {},
                [this](TPreviewSearch s) { Add(searches, s); }};
    }
    template <class T>
    void Add(std::vector<T>& list, T item) {
        const std::lock_guard lock(mutex);
        list.push_back(std::move(item));
        changed.notify_all();
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), pred);
    }
};

TEST(PreviewWorker, ShowsTheNewestRequestAndSearchesInTheBackground) {
    TTempDir dir;
    TRecorder recorder;
    TPreviewWorker worker(recorder.Sink());
    worker.Open(2, WriteStore(dir, 2));
    worker.SetParams({BodyParam(0, "hel")}, 0);
    worker.ShowMail(0);
    ASSERT_TRUE(recorder.WaitFor([&] { return !recorder.shots.empty(); }));
    worker.FindNext();
    ASSERT_TRUE(recorder.WaitFor([&] { return !recorder.searches.empty(); }));
    EXPECT_EQ(recorder.searches[0].found, 1);
    worker.ShowMail(1);
    ASSERT_TRUE(recorder.WaitFor(
        [&] { return recorder.shots.back().index == 1 && recorder.shots.back().mail; }));
}

TEST(PreviewWorker, DestroyedWhileBusyReportsNothingMore) {
    TTempDir dir;
    const std::string store = WriteStore(dir, 2);
    for (int i = 0; i < 20; ++i) {
        TRecorder recorder;
        {
            TPreviewWorker worker(recorder.Sink());
            worker.Open(2, store);
            worker.SetParams({BodyParam(0, "none")}, 0);
            worker.FindNext();
        }
        const std::size_t seen = recorder.shots.size() + recorder.searches.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(recorder.shots.size() + recorder.searches.size(), seen);
    }
}

}  // namespace
