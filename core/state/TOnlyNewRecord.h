#pragma once
// What was converted into one output file, kept between runs that convert
// only new mail: the identities of its mails, the mail files of a folder
// store seen by name, size and modification time, and where a store file
// ended. One SQLite database holds the record of every output, keyed by the
// output's resolved path together with its device and inode (and birth time
// where the file system keeps one), so a CSV that was deleted or emptied
// starts again from nothing. The record also keeps the CSV's size and hashes
// of its first bytes and of the bytes before its end after each run: a CSV
// cut since, or replaced by a file that does not begin with the recorded
// rows, is told (OutputState) rather than appended to or started again.
//
// A run stages what it converted before its CSV is saved and commits it
// after the save was synced. A run killed in between leaves the stage; the
// next run on that output finds out from the file whether the save happened
// and commits or drops it, so no mail is ever written twice or lost.
// Statements are prepared once; a stage goes in one transaction.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "state/TMailIdentity.h"

struct sqlite3;
struct sqlite3_stmt;

class TOnlyNewRecord {
  public:
    // Where a store ended after the last run: for a store file the grown-file
    // check, for an IMAP folder the highest UID of a UIDVALIDITY.
    struct TStoreEnd {
        std::string store;  // the store's resolved path or URL; empty when unknown
        int mailType = -1;
        std::uint64_t size = 0;       // length of its text then
        std::uint64_t lastStart = 0;  // where its last mail started
        std::uint64_t lastHash1 = 0;  // hash of [lastStart, size)
        std::uint64_t lastHash2 = 0;
        std::uint32_t uidValidity = 0;  // IMAP: UIDs below are of this folder's life
        std::uint32_t highestUid = 0;   // IMAP: every mail up to it was seen

        bool operator==(const TStoreEnd&) const = default;
    };
    // A mail file of a folder store; `name` is relative to the store.
    struct TSeenFile {
        std::string name;
        std::int64_t size = 0;
        std::int64_t modified = 0;  // nanoseconds since the epoch
    };

    // What the output is against the record (see OutputState).
    enum class TOutputState {
        Kept,      // as the last run left it, maybe grown: new rows go at its end
        Cut,       // the same file, shorter or no longer holding the last run's end
        Replaced,  // another file that does not begin with the recorded rows
    };

    // $XDG_STATE_HOME/kestrify/only-new.sqlite3, else
    // ~/.local/state/kestrify/only-new.sqlite3 in $HOME or, without one,
    // the home of the user's passwd entry. Throws TKestrifyError when there
    // is none: a record in the current folder would be another one for
    // every folder a run starts in.
    static std::filesystem::path DefaultDatabase();
    // The key path of an output: absolute, links followed.
    static std::filesystem::path Resolve(const std::filesystem::path& output);

    // Opens (creating folder and database when missing) and takes the record
    // of `output`: a stage left by a killed run is settled, and the record of
    // a deleted or emptied output is dropped; a replaced output that begins
    // with the recorded rows keeps it. Runs on one output take turns: this
    // waits for another run's record of it to end (a signal ends the wait
    // once the run's `stop` was asked). Throws TKestrifyError; TRecordDamaged
    // when the database was damaged and moved aside. The folder must be the
    // user's own: one that others may write is refused, and only a folder
    // made here is given mode 0700.
    TOnlyNewRecord(const std::filesystem::path& database, const std::filesystem::path& output,
                   const std::stop_token& stop = {});
    ~TOnlyNewRecord();
    TOnlyNewRecord(const TOnlyNewRecord&) = delete;
    TOnlyNewRecord& operator=(const TOnlyNewRecord&) = delete;

    // Nothing is recorded for the output.
    bool IsEmpty();
    // Anything but Kept: nothing of the record is loaded, and it stays for
    // the user to restore the file or forget the record.
    TOutputState OutputState() const { return outputState_; }
    const TStoreEnd& StoreEnd() const { return storeEnd_; }
    // Reads the output's whole record into memory, for a run that asks
    // about many mails: one pass over the table instead of a lookup each.
    void Preload();
    // Whether a mail of that identity was converted.
    bool Knows(const TMailIdentity& identity);
    // Whether a mail with that Message-ID (hash) was converted; reads the
    // record into memory (Preload) the first time.
    bool KnowsMessageId(std::uint64_t messageId);
    bool Saw(const TSeenFile& file);

    // Before the save: what it will write. `files` and `end` are recorded
    // with the mails. When `mails` is empty the CSV is not touched and
    // everything is committed at once.
    void Stage(const std::vector<TMailIdentity>& mails, const std::vector<TSeenFile>& files,
               const TStoreEnd& end);
    // After the save was synced: the stage becomes the record.
    void Commit();
    // The save failed or was stopped: the stage is dropped.
    void Drop();

    // Removes the record of `output` (its whole history). False when there
    // was none. A missing database is no error; a damaged one is moved aside
    // (TRecordDamaged says where).
    static bool Forget(const std::filesystem::path& database, const std::filesystem::path& output);

  private:
    class TStatement;
    struct TFileState {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        // Birth time in nanoseconds where the file system keeps one, else 0:
        // a file made anew that got a freed inode number is still another.
        std::int64_t born = 0;
        std::int64_t size = 0;

        bool IsSameFile(const TFileState& other) const {
            return exists && other.exists && device == other.device && inode == other.inode &&
                   (born == 0 || other.born == 0 || born == other.born);
        }
    };

    // The output's size and hashes of its first and of its last bytes, as
    // the last run left it.
    struct TCsvEnd {
        bool known = false;  // false for records of older layouts or an unreadable file
        std::int64_t size = 0;
        std::uint64_t head1 = 0, head2 = 0;
        std::uint64_t tail1 = 0, tail2 = 0;
    };

    static TFileState StateOf(const std::filesystem::path& path);
    static TCsvEnd CsvEndOf(const std::filesystem::path& path, std::int64_t size);
    static void MakePrivateFolder(const std::filesystem::path& folder);
    void Open(const std::stop_token& stop);
    void Close();
    void LockOutput(const std::stop_token& stop);
    void CreateSchema();
    void Settle();
    void LoadOutput();
    // Whether the output still holds what `recorded` says the last run left.
    bool HoldsEnd(const TCsvEnd& recorded, bool replaced) const;
    void Rekey(const TFileState& now);
    void ClearOutput();
    void Execute(const char* sql);
    // Steps a query: true for a row, false when done; fails on an error.
    bool Row(TStatement& statement);
    TStatement& Prepared(std::unique_ptr<TStatement>& slot, const char* sql);
    [[noreturn]] void Fail(const char* what);
    [[noreturn]] void MoveAside();

    std::filesystem::path database_;
    int lockFd_ = -1;
    sqlite3* db_ = nullptr;
    std::string path_;  // the output's resolved path
    std::int64_t outputId_ = 0;
    TStoreEnd storeEnd_;
    TOutputState outputState_ = TOutputState::Kept;
    bool preloaded_ = false;
    std::vector<TMailIdentity> mails_;       // preloaded, by (header1, header2, messageId)
    std::vector<std::uint64_t> messageIds_;  // preloaded, sorted
    std::unique_ptr<TStatement> knows_;
    std::unique_ptr<TStatement> saw_;
};
