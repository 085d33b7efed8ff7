// The parameter editor's preview on a large mbox: opening the store (the
// reader indexes it), the work after each keystroke (new parameters, same
// mail), moving to another mail, and the search for the next mail with a
// value, per mail looked at. The store is the example's five form mails
// repeated to 100,000 mails in the temporary folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "convert/TMailPreview.h"
#include "settings/TSettingFile.h"

namespace {

constexpr int kRepeats = 20000;

const std::string& StorePath() {
    static const std::string path = [] {
        const std::string examples = KESTRIFY_SOURCE_DIR "/examples/";
        std::ifstream in(examples + "inquiries.mbox", std::ios::binary);
        const std::string five((std::istreambuf_iterator<char>(in)), {});
        const auto file = std::filesystem::temp_directory_path() / "kestrify-bench-preview.mbox";
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < kRepeats; ++i) {
            out << five;
        }
        return file.string();
    }();
    return path;
}

std::vector<TOrderedParamString> ProjectParams() {
    TSettingFile project(KESTRIFY_SOURCE_DIR "/examples/inquiries.KFY");
    project.Read();
    return project.GetParams();
}

void Open(benchmark::State& state) {
    for (auto _ : state) {
        TMailPreview preview;
        preview.Open(2, StorePath());
        benchmark::DoNotOptimize(preview.Count());
    }
}
BENCHMARK(Open)->Unit(benchmark::kMillisecond);

// A keystroke: the parameters change, the mail shown stays.
void Keystroke(benchmark::State& state) {
    TMailPreview preview;
    preview.Open(2, StorePath());
    const auto params = ProjectParams();
    preview.Show(1);
    for (auto _ : state) {
        preview.SetParams(params, 9);
        benchmark::DoNotOptimize(preview.Show(1).value);
    }
}
BENCHMARK(Keystroke)->Unit(benchmark::kMicrosecond);

void AnotherMail(benchmark::State& state) {
    TMailPreview preview;
    preview.Open(2, StorePath());
    preview.SetParams(ProjectParams(), 9);
    int index = 0;
    for (auto _ : state) {
        index = (index + 7) % preview.Count();
        benchmark::DoNotOptimize(preview.Show(index).value);
    }
}
BENCHMARK(AnotherMail)->Unit(benchmark::kMicrosecond);

// A key that no mail holds: every mail of the store is looked at.
void SearchPerMail(benchmark::State& state) {
    TMailPreview preview;
    preview.Open(2, StorePath());
    auto params = ProjectParams();
    params[9].SetParamKey("no such key");
    preview.SetParams(params, 9);
    const std::stop_token stop;
    for (auto _ : state) {
        benchmark::DoNotOptimize(preview.FindNext(-1, stop, {}).found);
    }
    state.SetItemsProcessed(state.iterations() * preview.Count());
}
BENCHMARK(SearchPerMail)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    std::filesystem::remove(std::filesystem::temp_directory_path() / "kestrify-bench-preview.mbox",
                            ec);
    return 0;
}
