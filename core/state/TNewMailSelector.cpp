#include "state/TNewMailSelector.h"

#include <sys/stat.h>

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "codeconv/TSjisUnicode.h"
#include "state/THash128.h"

namespace {

constexpr std::size_t kPreloadFrom = 10000;

struct TIdentityHash {
    std::size_t operator()(const TMailIdentity& m) const {
        return static_cast<std::size_t>(m.header1 ^ m.messageId);
    }
};

// Whether the store's text up to the old end is what the last run read.
bool OnlyGrew(const TOnlyNewRecord::TStoreEnd& old, const TOnlyNewRecord::TStoreEnd& now,
              std::string_view text) {
    if (old.store.empty() || old.store != now.store || old.mailType != now.mailType ||
        text.size() < old.size || old.lastStart > old.size) {
        return false;
    }
    const THash128::TValue hash =
        THash128::Of(text.substr(old.lastStart, old.size - old.lastStart));
    return hash[0] == old.lastHash1 && hash[1] == old.lastHash2;
}

// The first mail that starts at or after `offset`.
int FirstFrom(const TBasicMailParser& store, int count, std::uint64_t offset) {
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (store.Place(mid).offset < offset) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

class TChooser {
  public:
    TChooser(TBasicMailParser& store, TOnlyNewRecord& record) : store_(store), record_(record) {}

    // Identities of the mails at `indexes`.
    void Identify(const std::vector<int>& indexes) {
        identities_.reserve(indexes.size());
        std::string header;
        for (const int index : indexes) {
            header.clear();
            try {
                store_.AppendRawHeader(index, header);
                identities_.push_back(TMailIdentity::OfHeader(header));
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception&) {
                // Unreadable: new, and told apart by its place in the store.
                const THash128::TValue h = THash128::Of("unreadable:" + std::to_string(index));
                identities_.push_back({0, h[0], h[1]});
            }
        }
    }

    // Message-IDs that occur once among all mails identified.
    void CountMessageIds() {
        ids_.reserve(identities_.size());
        for (const TMailIdentity& m : identities_) {
            if (m.messageId != 0) {
                ids_.push_back(m.messageId);
            }
        }
        std::sort(ids_.begin(), ids_.end());
        countIds_ = true;
    }

    // Header hashes that occur more than once among the mails identified:
    // only those can be copies of each other, and only they are remembered.
    void FindCopies() {
        std::vector<std::uint64_t> hashes;
        hashes.reserve(identities_.size());
        for (const TMailIdentity& m : identities_) {
            hashes.push_back(m.header1);
        }
        std::sort(hashes.begin(), hashes.end());
        for (std::size_t i = 1; i < hashes.size(); ++i) {
            if (hashes[i] == hashes[i - 1] &&
                (repeated_.empty() || repeated_.back() != hashes[i])) {
                repeated_.push_back(hashes[i]);
            }
        }
    }

    bool IsKnown(const TMailIdentity& m) {
        if (std::binary_search(repeated_.begin(), repeated_.end(), m.header1) &&
            !seen_.insert(m).second) {
            return true;  // a copy of a mail of this run
        }
        if (record_.Knows(m)) {
            return true;
        }
        return countIds_ && m.messageId != 0 && IsUnique(m.messageId) &&
               record_.KnowsMessageId(m.messageId);
    }

    const std::vector<TMailIdentity>& Identities() const { return identities_; }

  private:
    bool IsUnique(std::uint64_t id) const {
        const auto [first, last] = std::equal_range(ids_.begin(), ids_.end(), id);
        return last - first == 1;
    }

    TBasicMailParser& store_;
    TOnlyNewRecord& record_;
    std::vector<TMailIdentity> identities_;
    std::vector<std::uint64_t> ids_;
    std::vector<std::uint64_t> repeated_;  // sorted
    bool countIds_ = false;
    std::unordered_set<TMailIdentity, TIdentityHash> seen_;
};

TOnlyNewRecord::TSeenFile SeenFile(const std::filesystem::path& file,
                                   const std::filesystem::path& folder) {
    TOnlyNewRecord::TSeenFile seen;
    seen.name = file.lexically_relative(folder).string();
    if (seen.name.empty()) {
        seen.name = file.string();
    }
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        seen.size = static_cast<std::int64_t>(info.st_size);
        seen.modified =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    } else {
        seen.size = -1;  // never matches: the mail is told by its identity
    }
    return seen;
}

}  // namespace

TNewMailSelector::TSelection TNewMailSelector::Select(TBasicMailParser& store, int mailType,
                                                      const std::string& sjisLocation,
                                                      TOnlyNewRecord& record) {
    TSelection selection;
    // A folder on a server whose numbering is unchanged (IMAP: UIDVALIDITY)
    // lists only the mails above the highest number converted: the old ones
    // are not downloaded.
    const TOnlyNewRecord::TStoreEnd& old = record.StoreEnd();
    const std::optional<TMailPlace::TNumbering> before = store.Numbering();
    const bool resumed = before && old.store == before->store && old.mailType == mailType &&
                         store.ListAfter(old.uidValidity, old.highestUid);
    const int count = store.GetCount();
    const std::filesystem::path location = TSjisUnicode::ToPath(sjisLocation);
    std::vector<int> candidates;
    std::vector<TOnlyNewRecord::TSeenFile> candidateFiles;
    bool wholeStore = false;
    const std::optional<std::string_view> text = store.StoreText();
    const TMailPlace::TKind places =
        text ? TMailPlace::TKind::InText
             : (count > 0 ? store.Place(0).kind : TMailPlace::TKind::Unknown);
    if (text) {
        TOnlyNewRecord::TStoreEnd& end = selection.end;
        end.store = TOnlyNewRecord::Resolve(location).string();
        end.mailType = mailType;
        end.size = text->size();
        end.lastStart = count > 0 ? store.Place(count - 1).offset : text->size();
        const THash128::TValue last = THash128::Of(text->substr(end.lastStart));
        end.lastHash1 = last[0];
        end.lastHash2 = last[1];
        // From the last converted mail on: it is known again, the rest is new.
        const bool grew = OnlyGrew(old, end, *text);
        const int first = grew ? FirstFrom(store, count, old.lastStart) : 0;
        wholeStore = !grew;
        for (int i = first; i < count; ++i) {
            candidates.push_back(i);
        }
    } else if (places == TMailPlace::TKind::OwnFile) {
        // A mail file seen before, unchanged, is known; a Maildir mail
        // renamed for a new flag is told by its identity.
        for (int i = 0; i < count; ++i) {
            TOnlyNewRecord::TSeenFile seen = SeenFile(store.Place(i).file, location);
            if (!record.Saw(seen)) {
                candidates.push_back(i);
                candidateFiles.push_back(std::move(seen));
            }
        }
        wholeStore = candidates.size() == static_cast<std::size_t>(count);
    } else {
        wholeStore = !resumed;
        for (int i = 0; i < count; ++i) {
            candidates.push_back(i);
        }
    }
    if (const std::optional<TMailPlace::TNumbering> now = store.Numbering()) {
        TOnlyNewRecord::TStoreEnd& end = selection.end;
        end.store = now->store;
        end.mailType = mailType;
        end.uidValidity = now->epoch;
        end.highestUid = std::max(now->highest, resumed ? old.highestUid : 0);
        if (resumed) {
            selection.unlisted = std::max(0, now->total - count);
        }
    }

    // Many mails to tell: the record is read once rather than asked for each.
    if (candidates.size() > kPreloadFrom) {
        record.Preload();
    }
    TChooser chooser(store, record);
    chooser.Identify(candidates);
    chooser.FindCopies();
    // Only when every mail of the store was identified can a Message-ID be
    // known to be unique in it.
    if (wholeStore) {
        chooser.CountMessageIds();
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const TMailIdentity& identity = chooser.Identities()[c];
        const bool known = chooser.IsKnown(identity);
        if (!known) {
            selection.indexes.push_back(candidates[c]);
            selection.identities.push_back(identity);
        }
        if (!candidateFiles.empty()) {
            (known ? selection.knownFiles : selection.files).push_back(candidateFiles[c]);
        }
    }
    selection.skipped = count - static_cast<int>(selection.indexes.size()) + selection.unlisted;
    if (store.KeepOnly(selection.indexes)) {
        // Only the new mails are read, as the store's mails 0, 1, ….
        std::iota(selection.indexes.begin(), selection.indexes.end(), 0);
    }
    return selection;
}

void TNewMailSelector::Stage(const TSelection& selection, int converted, TOnlyNewRecord& record) {
    const auto n = static_cast<std::size_t>(
        std::clamp<int>(converted, 0, static_cast<int>(selection.indexes.size())));
    const std::vector<TMailIdentity> mails(selection.identities.begin(),
                                           selection.identities.begin() + static_cast<long>(n));
    std::vector<TOnlyNewRecord::TSeenFile> files = selection.knownFiles;
    if (!selection.files.empty()) {
        files.insert(files.end(), selection.files.begin(),
                     selection.files.begin() + static_cast<long>(n));
    }
    const bool all = n == selection.indexes.size();
    record.Stage(mails, files,
                 all && !selection.end.store.empty() ? selection.end : record.StoreEnd());
}
