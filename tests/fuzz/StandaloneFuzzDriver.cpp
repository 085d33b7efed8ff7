// Runs a fuzz target without libFuzzer: every seed file given on the command
// line (files or folders), then a fixed number of deterministic mutations of
// them. Used by the tests so that every build, the sanitizer build included,
// exercises the targets; coverage-guided runs use libFuzzer instead.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

void AddSeed(const std::filesystem::path& path, std::vector<Bytes>& seeds) {
    std::ifstream in(path, std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Bytes> LoadSeeds(int argc, char** argv) {
    std::vector<Bytes> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file()) {
                    AddSeed(e.path(), seeds);
                }
            }
        } else if (std::filesystem::is_regular_file(p)) {
            AddSeed(p, seeds);
        }
    }
    seeds.emplace_back();  // the empty input
    return seeds;
}

Bytes Mutate(const Bytes& seed, const std::vector<Bytes>& seeds, std::mt19937& rng) {
    Bytes b = seed;
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < edits; ++k) {
        const std::size_t pos = b.empty() ? 0 : rng() % b.size();
        switch (rng() % 6) {
            case 0:  // flip a bit
                if (!b.empty())
                    b[pos] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:  // interesting byte
                if (!b.empty()) {
                    static const std::uint8_t special[] = {0,    0xFF, 0x1B, '\r', '\n', '=', '?',
                                                           0x80, 0x7F, ':',  '-',  0x81, 0xFC};
                    b[pos] = special[rng() % sizeof special];
                }
                break;
            case 2:  // insert random bytes
                b.insert(b.begin() + static_cast<long>(pos), 1 + rng() % 4,
                         static_cast<std::uint8_t>(rng()));
                break;
            case 3:  // truncate
                b.resize(pos);
                break;
            case 4: {  // splice in a piece of another seed
                const Bytes& other = seeds[rng() % seeds.size()];
                if (!other.empty()) {
                    const std::size_t from = rng() % other.size();
                    const std::size_t len =
                        std::min<std::size_t>(other.size() - from, 1 + rng() % 64);
                    b.insert(b.begin() + static_cast<long>(pos),
                             other.begin() + static_cast<long>(from),
                             other.begin() + static_cast<long>(from + len));
                }
                break;
            }
            default:  // overwrite a 32-bit field with an extreme value
                if (b.size() >= 4) {
                    const std::size_t at = (rng() % (b.size() - 3));
                    const std::uint32_t values[] = {
                        0,          1,          0x7FFFFFFF,
                        0xFFFFFFFF, 0x80000000, static_cast<std::uint32_t>(b.size())};
                    const std::uint32_t v = values[rng() % 6];
                    for (int j = 0; j < 4; ++j)
                        b[at + j] = static_cast<std::uint8_t>(v >> (8 * j));
                }
                break;
        }
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Bytes> seeds = LoadSeeds(argc, argv);
    for (const Bytes& s : seeds) {
        LLVMFuzzerTestOneInput(s.data(), s.size());
    }
    const char* env = std::getenv("KESTRIFY_FUZZ_RUNS");
    const long runs = env ? std::atol(env) : 3000;
    std::mt19937 rng(12345);
    for (long i = 0; i < runs; ++i) {
        const Bytes input = Mutate(seeds[rng() % seeds.size()], seeds, rng);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::cout << "ran " << seeds.size() << " seeds and " << runs << " mutations\n";
    return 0;
}
