#include "mail/TMailStoreCheck.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TDirectoryReader.h"
#include "mail/TMHParser.h"
#include "mail/TMappedFile.h"
#include "mail/TStoreKind.h"
#include "mail/TStoreProbe.h"

namespace {

using P = TStoreProbe;

// A guess: what bytes or a folder look like (a kind's number or a value of
// TMailStoreCheck), tried in rank order.
template <typename TLooks>
struct TGuess {
    int rank;
    int result;
    TLooks looks;
};

// The guesses on a file's head: every kind's, a project's and a single mail's.
const std::vector<TGuess<bool (*)(std::string_view)>>& FileGuesses() {
    static const auto guesses = [] {
        std::vector<TGuess<bool (*)(std::string_view)>> all = {
            {TStoreKind::kProjectRank, TMailStoreCheck::LooksLikeProject, P::IsProject},
            {TStoreKind::kOneMailRank, TMailStoreCheck::LooksLikeOneMail, P::StartsWithHeader},
        };
        for (const TStoreKind& kind : TStoreKind::All()) {
            if (kind.detection.looks != nullptr) {
                all.push_back({kind.detection.rank, kind.number, kind.detection.looks});
            }
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return a.rank < b.rank; });
        return all;
    }();
    return guesses;
}

std::optional<int> GuessShape(const TFolderShape& shape) {
    const TStoreKind* best = nullptr;
    for (const TStoreKind& kind : TStoreKind::All()) {
        if (kind.detection.looksShape != nullptr && kind.detection.looksShape(shape) &&
            (best == nullptr || kind.detection.rank < best->detection.rank)) {
            best = &kind;
        }
    }
    return best != nullptr ? std::optional<int>(best->number) : std::nullopt;
}

// No advice for a store taken for its own kind or one of its family.
std::optional<int> Advice(const TStoreKind& kind, std::optional<int> guess) {
    const TStoreKind* guessed = guess ? TStoreKind::Find(*guess) : nullptr;
    if (guessed != nullptr && guessed->Family() == kind.Family()) {
        return std::nullopt;
    }
    return guess;
}

}  // namespace

std::optional<int> TMailStoreCheck::Guess(std::string_view bytes) {
    for (const auto& guess : FileGuesses()) {
        if (guess.looks(bytes)) {
            return guess.result;
        }
    }
    return std::nullopt;
}

TMailStoreCheck::TResult TMailStoreCheck::CheckBytes(int mailType, std::string_view bytes) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    // Blank files are empty stores, whatever their kind.
    if (kind == nullptr || !kind->IsFile() || P::IsBlank(bytes)) {
        return {};
    }
    const bool fits = (!P::IsProject(bytes) || P::IsDbx(bytes)) &&
                      (kind->detection.fits == nullptr || kind->detection.fits(bytes));
    if (fits) {
        return {};
    }
    return {false, Advice(*kind, Guess(bytes))};
}

TMailStoreCheck::TFolderShape TMailStoreCheck::Shape(const std::filesystem::path& folder) {
    TFolderShape shape;
    std::error_code ec;
    shape.maildir = std::filesystem::is_directory(folder / "cur", ec) &&
                    std::filesystem::is_directory(folder / "new", ec);
    // A look at the first entries is enough for a guess, also in a folder
    // of a million mails.
    constexpr int kLookAt = 10000;
    int seen = 0;
    try {
        TDirectoryReader::List(folder, [&](const TDirectoryReader::TEntry& entry) {
            const std::string_view name = entry.Name();
            if (name == ".mh_sequences" || name == ".claws_mark" || name == ".claws_cache") {
                shape.mhMarker = true;
            } else if (TMHParser::IsMailName(name)) {
                shape.numbered = shape.numbered || entry.IsFile();
            } else if (name.size() > 4 &&
                       sjis::EqualsNoCase(name.substr(name.size() - 4), ".eml")) {
                shape.eml = true;
            }
            return ++seen < kLookAt;
        });
    } catch (const TKestrifyError&) {
        // The reader reports a folder that cannot be listed.
    }
    return shape;
}

TMailStoreCheck::TResult TMailStoreCheck::CheckShape(int mailType, const TFolderShape& shape) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    if (kind == nullptr || kind->detection.fitsShape == nullptr ||
        kind->detection.fitsShape(shape)) {
        return {};
    }
    return {false, Advice(*kind, GuessShape(shape))};
}

TMailStoreCheck::TResult TMailStoreCheck::Check(int mailType, const std::string& sjisPath) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    if (kind == nullptr || kind->IsRemote()) {
        return {};
    }
    if (kind->IsFolder()) {
        std::error_code ec;
        const std::filesystem::path folder = TSjisUnicode::ToPath(sjisPath);
        return std::filesystem::is_directory(folder, ec) ? CheckShape(mailType, Shape(folder))
                                                         : TResult{};
    }
    std::unique_ptr<TMappedFile> file;
    try {
        file = std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath));
    } catch (const TKestrifyError&) {
        return {};
    }
    return CheckBytes(mailType, file->View());
}

std::optional<int> TMailStoreCheck::Detect(const std::string& sjisPath) {
    std::filesystem::path path = TSjisUnicode::ToPath(sjisPath);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        const TResult asMailFiles = CheckShape(TStoreKind::EmlFolder, Shape(path));
        return asMailFiles.fits ? TStoreKind::EmlFolder
                                : asMailFiles.looksLike.value_or(TStoreKind::EmlFolder);
    }
    std::unique_ptr<TMappedFile> file;
    try {
        file = std::make_unique<TMappedFile>(path);
    } catch (const TKestrifyError&) {
        return std::nullopt;
    }
    const std::string_view bytes = file->View();
    if (!P::IsBlank(bytes)) {
        return Guess(bytes.substr(0, P::kHeadSize));
    }
    // A folder without mails yet is an empty file; Thunderbird keeps its
    // index beside each one.
    path += ".msf";
    if (std::filesystem::is_regular_file(path, ec)) {
        return TStoreKind::ThunderbirdFolder;
    }
    return std::nullopt;
}

const char* TMailStoreCheck::KindName(int mailType) {
    const TStoreKind* kind = TStoreKind::Find(mailType);
    return kind != nullptr ? kind->names.name : "";
}

std::string TMailStoreCheck::Message(int mailType, const TResult& result) {
    if (result.fits) {
        return {};
    }
    std::string text = std::string(KindName(mailType)) + "ではないようです。";
    if (result.looksLike == LooksLikeProject) {
        text += "\nプロジェクトファイルのようです。";
    } else if (result.looksLike == LooksLikeOneMail) {
        text += "\nメールファイル 1 通のようです。";
    } else if (result.looksLike) {
        text += "\n" + std::string(KindName(*result.looksLike)) + "のようです。";
    }
    return text;
}
