// CSV output speed: a result table of 100,000 mails by 10 columns of
// Japanese text, turned into CSV text and written as a file (overwrite, the
// atomic replacement included), in Shift_JIS and in UTF-8.

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvText.h"

namespace {

constexpr int kRows = 100000;
constexpr int kColumns = 10;

class TQuietHost : public TCsvSaveHost {
  public:
    bool ConfirmBackupFailure(const std::string&) override { return false; }
    void ReportSaveFailure(const std::string&) override {}
};

// Values as mail extraction yields them: names, addresses, dates, amounts,
// now and then a blank, a comma or a line break that forces quoting.
const TResultTable& Table() {
    static const TResultTable table = [] {
        const std::vector<std::string> samples = {
            TSjisUnicode::FromUtf8("山田太郎"),
            TSjisUnicode::FromUtf8("東京都千代田区丸の内一丁目"),
            "taro.yamada@example.co.jp",
            "2024/05/17 09:41:03",
            TSjisUnicode::FromUtf8("ご注文ありがとうございます"),
            TSjisUnicode::FromUtf8("商品番号：ＡＢ－１２３４"),
            TSjisUnicode::FromUtf8("１２，８００円（税込）"),
            TSjisUnicode::FromUtf8("配送 希望日なし"),
            TSjisUnicode::FromUtf8("備考欄\r\n二行目のご要望です"),
            TSjisUnicode::FromUtf8("ソフトウェア表示能力"),
        };
        std::vector<std::string> names;
        for (int c = 0; c < kColumns; ++c) {
            names.push_back(TSjisUnicode::FromUtf8("項目") + std::to_string(c + 1));
        }
        TResultTable t(names);
        for (int r = 0; r < kRows; ++r) {
            std::vector<std::string> values;
            for (int c = 0; c < kColumns; ++c) {
                values.push_back(samples[(r + c) % samples.size()]);
            }
            t.PutRow(r + 1, std::move(values));
        }
        return t;
    }();
    return table;
}

void BM_CsvText(benchmark::State& state) {
    const TResultTable& table = Table();
    std::string text;
    for (auto _ : state) {
        text.clear();
        for (int r = TResultTable::TitleRow; r < table.RowCount(); ++r) {
            TCsvText::AppendRow(text, table.Row(r));
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CsvText)->Unit(benchmark::kMillisecond)->UseRealTime();

void WriteFile(benchmark::State& state, const std::filesystem::path& folder, TCsvOptions options) {
    const TResultTable& table = Table();
    TQuietHost host;
    TCsvFile csv(table, host, options);
    const std::filesystem::path path =
        folder / ("kestrify-bench-" + std::to_string(::getpid()) + ".csv");
    const std::string name = TSjisUnicode::FromPath(path);
    for (auto _ : state) {
        if (!csv.WriteCsvFile(name, TCsvFile::Overwrite)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    const auto size = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["MB"] = static_cast<double>(size) / 1e6;
}

void BM_WriteCsvFileSjis(benchmark::State& state) {
    WriteFile(state, std::filesystem::temp_directory_path(), {});
}
BENCHMARK(BM_WriteCsvFileSjis)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteCsvFileUtf8(benchmark::State& state) {
    WriteFile(state, std::filesystem::temp_directory_path(), TCsvOptions{true, true});
}
BENCHMARK(BM_WriteCsvFileUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same in memory-backed storage, where the disk's flush costs nothing.
void BM_WriteCsvFileSjisShm(benchmark::State& state) {
    if (!std::filesystem::is_directory("/dev/shm")) {
        state.SkipWithError("no /dev/shm");
        return;
    }
    WriteFile(state, "/dev/shm", {});
}
BENCHMARK(BM_WriteCsvFileSjisShm)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
