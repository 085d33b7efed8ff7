#include "state/TOnlyNewRecord.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <tuple>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "state/THash128.h"
#include "state/TRecordDamaged.h"

// One prepared statement, reset after each use.
class TOnlyNewRecord::TStatement {
  public:
    TStatement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            statement_ = nullptr;
        }
    }
    ~TStatement() { sqlite3_finalize(statement_); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool IsValid() const { return statement_ != nullptr; }
    TStatement& Bind(int at, std::int64_t value) {
        sqlite3_bind_int64(statement_, at, value);
        return *this;
    }
    TStatement& Bind(int at, std::uint64_t value) {
        return Bind(at, static_cast<std::int64_t>(value));
    }
    TStatement& BindNull(int at) {
        sqlite3_bind_null(statement_, at);
        return *this;
    }
    TStatement& Bind(int at, const std::string& text) {
        sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW or SQLITE_DONE; anything else is an error.
    int Step() { return sqlite3_step(statement_); }
    std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(statement_, column);
        return text == nullptr
                   ? std::string()
                   : std::string(
                         reinterpret_cast<const char*>(text),
                         static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
    }
    void Reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

namespace {

constexpr int kSchemaVersion = 4;
// Bytes hashed at the output's start and before the end the last run left.
constexpr std::int64_t kCsvEndBytes = 4096;
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS outputs(
    id INTEGER PRIMARY KEY,
    path TEXT NOT NULL UNIQUE,
    device INTEGER, inode INTEGER, born INTEGER,
    store TEXT, mail_type INTEGER, store_size INTEGER, last_start INTEGER,
    last_hash1 INTEGER, last_hash2 INTEGER,
    staged INTEGER NOT NULL DEFAULT 0, batch INTEGER NOT NULL DEFAULT 0,
    pre_exists INTEGER, pre_device INTEGER, pre_inode INTEGER, pre_born INTEGER, pre_size INTEGER,
    next_store TEXT, next_mail_type INTEGER, next_size INTEGER, next_last_start INTEGER,
    next_hash1 INTEGER, next_hash2 INTEGER,
    uid_validity INTEGER, highest_uid INTEGER, next_uid_validity INTEGER, next_highest_uid INTEGER,
    csv_size INTEGER, csv_head1 INTEGER, csv_head2 INTEGER, csv_tail1 INTEGER, csv_tail2 INTEGER);
CREATE TABLE IF NOT EXISTS mails(
    output INTEGER NOT NULL, header1 INTEGER NOT NULL, header2 INTEGER NOT NULL,
    message_id INTEGER NOT NULL, batch INTEGER NOT NULL,
    PRIMARY KEY(output, header1, header2, message_id)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS files(
    output INTEGER NOT NULL, name TEXT NOT NULL, size INTEGER NOT NULL,
    modified INTEGER NOT NULL, batch INTEGER NOT NULL,
    PRIMARY KEY(output, name, size, modified)) WITHOUT ROWID;
)";

// Columns a version-3 record lacks; a version 2 one lacks the IMAP ones too.
constexpr const char* kAddCsvEnd =
    "ALTER TABLE outputs ADD COLUMN csv_size INTEGER; "
    "ALTER TABLE outputs ADD COLUMN csv_head1 INTEGER; "
    "ALTER TABLE outputs ADD COLUMN csv_head2 INTEGER; "
    "ALTER TABLE outputs ADD COLUMN csv_tail1 INTEGER; "
    "ALTER TABLE outputs ADD COLUMN csv_tail2 INTEGER";
constexpr const char* kAddImap =
    "ALTER TABLE outputs ADD COLUMN uid_validity INTEGER; "
    "ALTER TABLE outputs ADD COLUMN highest_uid INTEGER; "
    "ALTER TABLE outputs ADD COLUMN next_uid_validity INTEGER; "
    "ALTER TABLE outputs ADD COLUMN next_highest_uid INTEGER";

std::string Utf8(const std::filesystem::path& path) {
    return TSjisUnicode::ToUtf8(TSjisUnicode::FromPath(path));
}

// The whole of [at, at + size) or false.
bool ReadAt(int fd, std::int64_t at, std::string& out, std::int64_t size) {
    out.assign(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done,
                                  static_cast<off_t>(at + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    // cron and services may start a run without HOME: the user's own home
    // still is where the record lives, never the folder the run started in.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    throw TKestrifyError(TSjisUnicode::FromUtf8(
        "ホームフォルダがわからないため、変換済みメールの記録を置けません。環境変数 HOME か "
        "XDG_STATE_HOME に記録を置くフォルダを設定してください。"));
}

std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

std::filesystem::path TOnlyNewRecord::DefaultDatabase() {
    std::filesystem::path folder;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else {
        folder = HomeFolder() / ".local" / "state";
    }
    return folder / "kestrify" / "only-new.sqlite3";
}

std::filesystem::path TOnlyNewRecord::Resolve(const std::filesystem::path& output) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(output, ec);
    if (ec) {
        absolute = output;
    }
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : resolved;
}

TOnlyNewRecord::TFileState TOnlyNewRecord::StateOf(const std::filesystem::path& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return {};
    }
    TFileState state;
    state.exists = true;
    state.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    state.inode = info.stx_ino;
    state.size = static_cast<std::int64_t>(info.stx_size);
    if ((info.stx_mask & STATX_BTIME) != 0) {
        state.born = info.stx_btime.tv_sec * 1000000000LL + info.stx_btime.tv_nsec;
    }
    return state;
}

TOnlyNewRecord::TCsvEnd TOnlyNewRecord::CsvEndOf(const std::filesystem::path& path,
                                                 std::int64_t size) {
    TCsvEnd end;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return end;
    }
    struct stat info {};
    std::string head;
    std::string tail;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= size && size > 0) {
        const std::int64_t headSize = std::min(size, kCsvEndBytes);
        if (ReadAt(fd, 0, head, headSize) && ReadAt(fd, size - headSize, tail, headSize)) {
            end.known = true;
            end.size = size;
            const THash128::TValue h = THash128::Of(head);
            const THash128::TValue t = THash128::Of(tail);
            end.head1 = h[0];
            end.head2 = h[1];
            end.tail1 = t[0];
            end.tail2 = t[1];
        }
    }
    ::close(fd);
    return end;
}

void TOnlyNewRecord::MakePrivateFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    // The state home is the user's as they made it; only the record's own
    // folder is made private, and only when it is made here.
    std::filesystem::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) == 0) {
        return;
    }
    const int made = errno;
    struct stat info {};
    if (made != EEXIST || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw TKestrifyError(
            TSjisUnicode::FromUtf8("変換済みメールの記録のフォルダを作れません: " + Utf8(folder) +
                                   " (" + std::strerror(made != EEXIST ? made : ENOTDIR) + ")"));
    }
    // A folder others may write (or own) lets them change what is skipped
    // or hold the lock of a run forever: it is not used, and its mode is
    // theirs to decide, never changed here.
    if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            "変換済みメールの記録のフォルダ " + Utf8(folder) +
            " はほかのユーザも書き込めるため使えません。自分だけが書き込めるフォルダにするか、"
            "環境変数 XDG_STATE_HOME に別のフォルダを指定してください。"));
    }
}

TOnlyNewRecord::TOnlyNewRecord(const std::filesystem::path& database,
                               const std::filesystem::path& output, const std::stop_token& stop)
    : database_(database), path_(Resolve(output).string()) {
    try {
        Open(stop);
    } catch (...) {
        Close();
        throw;
    }
}

void TOnlyNewRecord::Open(const std::stop_token& stop) {
    MakePrivateFolder(database_.parent_path());
    LockOutput(stop);
    // Private from the start: it names the user's files.
    const int made =
        ::open(database_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (made < 0) {
        Fail("開けません");
    }
    ::close(made);
    if (sqlite3_open_v2(database_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        Fail("開けません");
    }
    // Another output's run may be writing: wait for it rather than fail.
    sqlite3_busy_timeout(db_, 60000);
    Execute("PRAGMA synchronous=FULL");
    // Room for the index pages a run of a million mails touches.
    Execute("PRAGMA cache_size=-65536");
    Execute("PRAGMA mmap_size=1073741824");
    CreateSchema();
    Settle();
    LoadOutput();
}

TOnlyNewRecord::~TOnlyNewRecord() {
    Close();
}

void TOnlyNewRecord::Close() {
    knows_.reset();
    saw_.reset();
    // Statements of a failing step may still be open: the close waits for them.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

void TOnlyNewRecord::LockOutput(const std::stop_token& stop) {
    const std::filesystem::path lock =
        database_.parent_path() / ("only-new-" + Hex(THash128::Of64(path_)) + ".lock");
    lockFd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        Fail("開けません");
    }
    while (::flock(lockFd_, LOCK_EX) != 0) {
        if (errno != EINTR || stop.stop_requested()) {
            Fail("待っている間に中断しました");
        }
    }
}

void TOnlyNewRecord::Fail(const char* what) {
    const int code = db_ != nullptr ? sqlite3_errcode(db_) & 0xff : SQLITE_OK;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        MoveAside();
    }
    std::string detail = db_ != nullptr ? sqlite3_errmsg(db_) : std::strerror(errno);
    throw TKestrifyError(TSjisUnicode::FromUtf8(std::string("変換済みメールの記録 ") +
                                                Utf8(database_) + " を" + what + "。 (" + detail +
                                                ")"));
}

// A damaged record cannot be mended: it goes aside (with its journal, which
// belongs to it) so the next run starts a new one, and the user is told.
void TOnlyNewRecord::MoveAside() {
    const std::string detail = sqlite3_errmsg(db_);
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    std::filesystem::path aside = database_.string() + ".corrupt-" + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0 && n < 1000; ++n) {
        aside = database_.string() + ".corrupt-" + stamp + "-" + std::to_string(n);
    }
    const std::string journal = database_.string() + "-journal";
    const bool moved = ::rename(database_.c_str(), aside.c_str()) == 0;
    if (moved) {
        ::rename(journal.c_str(), (aside.string() + "-journal").c_str());
    }
    const std::string error = moved ? "" : std::strerror(errno);
    Close();
    if (!moved) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            "変換済みメールの記録 " + Utf8(database_) + " が壊れています (" + detail +
            ")。移すこともできませんでした (" + error + ")。このファイルを消してください。次の" +
            "実行では、すべてのメールをもう一度変換します。"));
    }
    throw TRecordDamaged(TSjisUnicode::FromUtf8(
        "変換済みメールの記録 " + Utf8(database_) + " が壊れていたため (" + detail + ")、" +
        Utf8(aside) +
        " に移しました。記録は新しく始まります: 次の実行では、すべてのメールをもう一度変換し"
        "ます。"));
}

bool TOnlyNewRecord::Row(TStatement& statement) {
    const int step = statement.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        // A damaged page must not read as "nothing recorded": every mail
        // would be converted again.
        Fail("読み込めません");
    }
    return step == SQLITE_ROW;
}

void TOnlyNewRecord::Execute(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail("読み書きできません");
    }
}

TOnlyNewRecord::TStatement& TOnlyNewRecord::Prepared(std::unique_ptr<TStatement>& slot,
                                                     const char* sql) {
    if (!slot) {
        slot = std::make_unique<TStatement>(db_, sql);
        if (!slot->IsValid()) {
            slot.reset();
            Fail("読み書きできません");
        }
    }
    slot->Reset();
    return *slot;
}

void TOnlyNewRecord::CreateSchema() {
    Execute("BEGIN IMMEDIATE");
    TStatement version(db_, "PRAGMA user_version");
    if (!version.IsValid()) {
        Fail("読み込めません");
    }
    const std::int64_t found = Row(version) ? version.Integer(0) : -1;
    version.Reset();
    if (found == 2 || found == 3) {
        // Older versions lacked only columns (the IMAP ones, the CSV's end):
        // their records stay, and the CSV's end is known after the next run.
        if (found == 2) {
            Execute(kAddImap);
        }
        Execute(kAddCsvEnd);
        Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    } else if (found != kSchemaVersion) {
        // A record of another layout is only a cache of what was converted:
        // it starts again rather than being misread.
        Execute(
            "DROP TABLE IF EXISTS mails; DROP TABLE IF EXISTS files; "
            "DROP TABLE IF EXISTS outputs");
        Execute(kSchema);
        Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    }
    Execute("COMMIT");
}

void TOnlyNewRecord::Settle() {
    TStatement find(db_,
                    "SELECT id, pre_exists, pre_device, pre_inode, pre_born, pre_size "
                    "FROM outputs WHERE path = ? AND staged = 1");
    if (!find.IsValid()) {
        Fail("読み書きできません");
    }
    find.Bind(1, path_);
    if (!Row(find)) {
        return;
    }
    outputId_ = find.Integer(0);
    TFileState before;
    before.exists = find.Integer(1) != 0;
    before.device = static_cast<dev_t>(find.Integer(2));
    before.inode = static_cast<ino_t>(find.Integer(3));
    before.born = find.Integer(4);
    before.size = find.Integer(5);
    // An append that happened made the same file longer (or, for a
    // workbook, replaced it by a new one); a new or emptied file was
    // replaced by one with rows. A failed save leaves the file as it was.
    const TFileState now = StateOf(path_);
    const bool saved = before.exists && before.size > 0
                           ? now.exists && (!now.IsSameFile(before) || now.size > before.size)
                           : now.exists && now.size > 0;
    if (saved) {
        Commit();
    } else {
        Drop();
    }
}

void TOnlyNewRecord::LoadOutput() {
    TStatement find(db_,
                    "SELECT id, device, inode, born, store, mail_type, store_size, last_start, "
                    "last_hash1, last_hash2, uid_validity, highest_uid, csv_size, csv_head1, "
                    "csv_head2, csv_tail1, csv_tail2 FROM outputs WHERE path = ?");
    if (!find.IsValid()) {
        Fail("読み書きできません");
    }
    find.Bind(1, path_);
    if (!Row(find)) {
        outputId_ = 0;
        return;
    }
    outputId_ = find.Integer(0);
    TFileState recorded;
    recorded.exists = !find.IsNull(1);
    recorded.device = static_cast<dev_t>(find.Integer(1));
    recorded.inode = static_cast<ino_t>(find.Integer(2));
    recorded.born = find.Integer(3);
    TCsvEnd end;
    end.known = !find.IsNull(12);
    end.size = find.Integer(12);
    end.head1 = static_cast<std::uint64_t>(find.Integer(13));
    end.head2 = static_cast<std::uint64_t>(find.Integer(14));
    end.tail1 = static_cast<std::uint64_t>(find.Integer(15));
    end.tail2 = static_cast<std::uint64_t>(find.Integer(16));
    const TFileState now = StateOf(path_);
    const bool same = now.IsSameFile(recorded);
    if (now.size == 0 || !recorded.exists || (!same && !end.known)) {
        // Deleted or emptied (or, for a record that does not know the file's
        // end, replaced): its mails are not in it.
        ClearOutput();
        return;
    }
    if (end.known && !HoldsEnd(end, !same)) {
        // Appending now would go into a cut row, or add every row again.
        outputState_ = same ? TOutputState::Cut : TOutputState::Replaced;
        return;
    }
    if (!same) {
        Rekey(now);  // saved by rename (an editor, sed -i) with the rows kept
    }
    if (!find.IsNull(4)) {
        storeEnd_.store = find.Text(4);
        storeEnd_.mailType = static_cast<int>(find.Integer(5));
        storeEnd_.size = static_cast<std::uint64_t>(find.Integer(6));
        storeEnd_.lastStart = static_cast<std::uint64_t>(find.Integer(7));
        storeEnd_.lastHash1 = static_cast<std::uint64_t>(find.Integer(8));
        storeEnd_.lastHash2 = static_cast<std::uint64_t>(find.Integer(9));
        storeEnd_.uidValidity = static_cast<std::uint32_t>(find.Integer(10));
        storeEnd_.highestUid = static_cast<std::uint32_t>(find.Integer(11));
    }
}

bool TOnlyNewRecord::HoldsEnd(const TCsvEnd& recorded, bool replaced) const {
    const TCsvEnd now = CsvEndOf(path_, recorded.size);
    // The same file may have grown (or have been edited before its last
    // rows); one made anew must begin as the recorded one did too.
    return now.known && now.tail1 == recorded.tail1 && now.tail2 == recorded.tail2 &&
           (!replaced || (now.head1 == recorded.head1 && now.head2 == recorded.head2));
}

void TOnlyNewRecord::Rekey(const TFileState& now) {
    TStatement update(db_, "UPDATE outputs SET device = ?, inode = ?, born = ? WHERE id = ?");
    update.Bind(1, static_cast<std::int64_t>(now.device))
        .Bind(2, static_cast<std::int64_t>(now.inode))
        .Bind(3, now.born)
        .Bind(4, outputId_);
    if (update.Step() != SQLITE_DONE) {
        Fail("書き込めません");
    }
}

void TOnlyNewRecord::ClearOutput() {
    Execute("BEGIN IMMEDIATE");
    const std::string id = std::to_string(outputId_);
    Execute(("DELETE FROM mails WHERE output = " + id).c_str());
    Execute(("DELETE FROM files WHERE output = " + id).c_str());
    Execute(("UPDATE outputs SET device = NULL, inode = NULL, store = NULL, staged = 0 "
             "WHERE id = " +
             id)
                .c_str());
    Execute("COMMIT");
    storeEnd_ = {};
}

bool TOnlyNewRecord::IsEmpty() {
    if (outputId_ == 0) {
        return true;
    }
    TStatement any(db_, "SELECT 1 FROM mails WHERE output = ? LIMIT 1");
    any.Bind(1, outputId_);
    return !Row(any);
}

namespace {

bool KeyLess(const TMailIdentity& a, const TMailIdentity& b) {
    return std::tie(a.header1, a.header2, a.messageId) <
           std::tie(b.header1, b.header2, b.messageId);
}

}  // namespace

void TOnlyNewRecord::Preload() {
    if (outputId_ == 0 || preloaded_) {
        return;
    }
    TStatement all(db_, "SELECT header1, header2, message_id FROM mails WHERE output = ?");
    all.Bind(1, outputId_);
    int step = SQLITE_ROW;
    while ((step = all.Step()) == SQLITE_ROW) {
        mails_.push_back({static_cast<std::uint64_t>(all.Integer(2)),
                          static_cast<std::uint64_t>(all.Integer(0)),
                          static_cast<std::uint64_t>(all.Integer(1))});
        if (mails_.back().messageId != 0) {
            messageIds_.push_back(mails_.back().messageId);
        }
    }
    if (step != SQLITE_DONE) {
        Fail("読み書きできません");
    }
    std::sort(mails_.begin(), mails_.end(), KeyLess);
    std::sort(messageIds_.begin(), messageIds_.end());
    preloaded_ = true;
}

bool TOnlyNewRecord::Knows(const TMailIdentity& identity) {
    if (outputId_ == 0) {
        return false;
    }
    if (preloaded_) {
        return std::binary_search(mails_.begin(), mails_.end(), identity, KeyLess);
    }
    TStatement& s = Prepared(knows_,
                             "SELECT 1 FROM mails WHERE output = ? AND header1 = ? AND "
                             "header2 = ? AND message_id = ?");
    s.Bind(1, outputId_)
        .Bind(2, identity.header1)
        .Bind(3, identity.header2)
        .Bind(4, identity.messageId);
    return Row(s);
}

bool TOnlyNewRecord::KnowsMessageId(std::uint64_t messageId) {
    if (outputId_ == 0 || messageId == 0) {
        return false;
    }
    // Asked only when every mail of a store is told by its identity: the
    // record is read once (and no index is kept up for it on every insert).
    Preload();
    return std::binary_search(messageIds_.begin(), messageIds_.end(), messageId);
}

bool TOnlyNewRecord::Saw(const TSeenFile& file) {
    if (outputId_ == 0) {
        return false;
    }
    TStatement& s = Prepared(saw_,
                             "SELECT 1 FROM files WHERE output = ? AND name = ? AND size = ? "
                             "AND modified = ?");
    s.Bind(1, outputId_).Bind(2, file.name).Bind(3, file.size).Bind(4, file.modified);
    return Row(s);
}

void TOnlyNewRecord::Stage(const std::vector<TMailIdentity>& mails,
                           const std::vector<TSeenFile>& files, const TStoreEnd& end) {
    Execute("BEGIN IMMEDIATE");
    if (outputId_ == 0) {
        TStatement add(db_, "INSERT INTO outputs(path) VALUES(?)");
        add.Bind(1, path_);
        if (add.Step() != SQLITE_DONE) {
            Fail("書き込めません");
        }
        outputId_ = sqlite3_last_insert_rowid(db_);
    }
    const TFileState before = StateOf(path_);
    TStatement output(db_,
                      "UPDATE outputs SET staged = 1, pre_exists = ?, pre_device = ?, "
                      "pre_inode = ?, pre_born = ?, pre_size = ?, next_store = ?, "
                      "next_mail_type = ?, next_size = ?, next_last_start = ?, next_hash1 = ?, "
                      "next_hash2 = ?, next_uid_validity = ?, next_highest_uid = ? WHERE id = ?");
    output.Bind(1, std::int64_t{before.exists})
        .Bind(2, static_cast<std::int64_t>(before.device))
        .Bind(3, static_cast<std::int64_t>(before.inode))
        .Bind(4, before.born)
        .Bind(5, before.size)
        .Bind(6, end.store)
        .Bind(7, std::int64_t{end.mailType})
        .Bind(8, end.size)
        .Bind(9, end.lastStart)
        .Bind(10, end.lastHash1)
        .Bind(11, end.lastHash2)
        .Bind(12, std::int64_t{end.uidValidity})
        .Bind(13, std::int64_t{end.highestUid})
        .Bind(14, outputId_);
    if (output.Step() != SQLITE_DONE) {
        Fail("書き込めません");
    }
    // The rows of the next batch; a mail already recorded keeps its
    // committed row. In key order, the table grows at its end.
    std::vector<const TMailIdentity*> sorted;
    sorted.reserve(mails.size());
    for (const TMailIdentity& m : mails) {
        sorted.push_back(&m);
    }
    std::sort(sorted.begin(), sorted.end(), [](const TMailIdentity* a, const TMailIdentity* b) {
        return std::tie(a->header1, a->header2, a->messageId) <
               std::tie(b->header1, b->header2, b->messageId);
    });
    constexpr const char* kNextBatch = "(SELECT batch + 1 FROM outputs WHERE id = ?1)";
    TStatement mail(
        db_, (std::string("INSERT OR IGNORE INTO mails VALUES(?1, ?2, ?3, ?4, ") + kNextBatch + ")")
                 .c_str());
    for (const TMailIdentity* m : sorted) {
        mail.Reset();
        mail.Bind(1, outputId_).Bind(2, m->header1).Bind(3, m->header2).Bind(4, m->messageId);
        if (mail.Step() != SQLITE_DONE) {
            Fail("書き込めません");
        }
    }
    TStatement file(
        db_, (std::string("INSERT OR IGNORE INTO files VALUES(?1, ?2, ?3, ?4, ") + kNextBatch + ")")
                 .c_str());
    for (const TSeenFile& f : files) {
        file.Reset();
        file.Bind(1, outputId_).Bind(2, f.name).Bind(3, f.size).Bind(4, f.modified);
        if (file.Step() != SQLITE_DONE) {
            Fail("書き込めません");
        }
    }
    Execute("COMMIT");
}

void TOnlyNewRecord::Commit() {
    const TFileState now = StateOf(path_);
    // Where this run's rows end: the next run appends only to a file that
    // still ends (or, made anew, begins and ends) as this one.
    const TCsvEnd end = CsvEndOf(path_, now.size);
    Execute("BEGIN IMMEDIATE");
    // The staged rows carry the next batch number: counting it committed
    // is all it takes, however many mails there are.
    TStatement output(db_,
                      "UPDATE outputs SET staged = 0, batch = batch + 1, device = ?, inode = ?, "
                      "born = ?, "
                      "store = next_store, "
                      "mail_type = next_mail_type, store_size = next_size, "
                      "last_start = next_last_start, last_hash1 = next_hash1, "
                      "last_hash2 = next_hash2, uid_validity = next_uid_validity, "
                      "highest_uid = next_highest_uid, csv_size = ?, csv_head1 = ?, "
                      "csv_head2 = ?, csv_tail1 = ?, csv_tail2 = ? WHERE id = ?");
    output.Bind(1, static_cast<std::int64_t>(now.device))
        .Bind(2, static_cast<std::int64_t>(now.inode))
        .Bind(3, now.born)
        .Bind(4, end.size)
        .Bind(5, end.head1)
        .Bind(6, end.head2)
        .Bind(7, end.tail1)
        .Bind(8, end.tail2)
        .Bind(9, outputId_);
    if (!now.exists) {
        output.BindNull(1);  // no file holds the mails: the next run starts over
    }
    if (!end.known) {
        output.BindNull(4);  // unreadable: told by device and inode alone
    }
    if (output.Step() != SQLITE_DONE) {
        Fail("書き込めません");
    }
    Execute("COMMIT");
}

void TOnlyNewRecord::Drop() {
    Execute("BEGIN IMMEDIATE");
    const std::string id = std::to_string(outputId_);
    const std::string staged =
        " WHERE output = " + id + " AND batch > (SELECT batch FROM outputs WHERE id = " + id + ")";
    Execute(("DELETE FROM mails" + staged).c_str());
    Execute(("DELETE FROM files" + staged).c_str());
    Execute(("UPDATE outputs SET staged = 0 WHERE id = " + id).c_str());
    Execute("COMMIT");
}

bool TOnlyNewRecord::Forget(const std::filesystem::path& database,
                            const std::filesystem::path& output) {
    std::error_code ec;
    if (!std::filesystem::exists(database, ec)) {
        return false;
    }
    // A cut or replaced output keeps its record until it is forgotten here.
    TOnlyNewRecord record(database, output);
    if (record.outputId_ == 0) {
        return false;
    }
    record.Execute("BEGIN IMMEDIATE");
    const std::string id = std::to_string(record.outputId_);
    record.Execute(("DELETE FROM mails WHERE output = " + id).c_str());
    record.Execute(("DELETE FROM files WHERE output = " + id).c_str());
    record.Execute(("DELETE FROM outputs WHERE id = " + id).c_str());
    record.Execute("COMMIT");
    return true;
}
