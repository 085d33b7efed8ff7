#include "imap/TImapSession.h"

#include <algorithm>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapFolderName.h"

namespace {

[[noreturn]] void Throw(const std::string& utf8) {
    throw TKestrifyError(TSjisUnicode::FromUtf8(utf8));
}

constexpr int kLogoutSeconds = 5;  // a polite goodbye must not hold the program

// libetpan frees what it returns only through these.
struct TFetchList {
    clist* list = nullptr;
    ~TFetchList() {
        if (list != nullptr) {
            mailimap_fetch_list_free(list);
        }
    }
};
struct TFetchType {
    mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
    ~TFetchType() { mailimap_fetch_type_free(type); }
};
struct TSet {
    mailimap_set* set = mailimap_set_new_empty();
    ~TSet() { mailimap_set_free(set); }
};
struct TResponse {
    mailimap_response* response = nullptr;
    ~TResponse() {
        if (response != nullptr) {
            mailimap_response_free(response);
        }
    }
    bool Ok() const {
        return response->rsp_resp_done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type ==
               MAILIMAP_RESP_COND_STATE_OK;
    }
};
struct TMailboxList {
    clist* list = nullptr;
    ~TMailboxList() {
        if (list != nullptr) {
            mailimap_list_result_free(list);
        }
    }
};

// While alive, libetpan hands each FETCH answer to `handler` as soon as it
// is parsed and keeps none of them (it does so only while progress
// callbacks are set); the stream's limits count them apart.
class TStreamingFetch {
  public:
    // `answers`: how many FETCH answers the commands on the way call for.
    TStreamingFetch(mailimap* imap, TImapStream& stream, mailimap_msg_att_handler* handler,
                    void* context, std::size_t answers)
        : imap_(imap), stream_(stream) {
        mailimap_set_msg_att_handler(imap_, handler, context);
        mailprogress_function* const ignore = [](std::size_t, std::size_t, void*) {};
        mailimap_set_progress_callback(imap_, ignore, ignore, nullptr);
        stream_.SetStreaming(true, answers);
    }
    ~TStreamingFetch() {
        stream_.SetStreaming(false);
        mailimap_set_progress_callback(imap_, nullptr, nullptr, nullptr);
        mailimap_set_msg_att_handler(imap_, nullptr, nullptr);
    }
    TStreamingFetch(const TStreamingFetch&) = delete;
    TStreamingFetch& operator=(const TStreamingFetch&) = delete;

  private:
    mailimap* imap_;
    TImapStream& stream_;
};

// CAPABILITY, kept by libetpan in the session for mailimap_has_extension.
int AskCapabilities(mailimap* imap) {
    mailimap_capability_data* data = nullptr;
    const int r = mailimap_capability(imap, &data);
    if (data != nullptr) {
        mailimap_capability_data_free(data);
    }
    return r;
}

// Calls `visit` with each static attribute of one FETCH answer (UID, size,
// body); flags and other dynamic items are not wanted here.
template <typename TVisit>
void ForEachStatic(const mailimap_msg_att* att, TVisit&& visit) {
    for (clistiter* i = clist_begin(att->att_list); i != nullptr; i = clist_next(i)) {
        const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
        if (item->att_type == MAILIMAP_MSG_ATT_ITEM_STATIC) {
            visit(*item->att_data.att_static);
        }
    }
}

// The server's own words in a message: control bytes (a forged line, a
// terminal's escape) become '?', and a few lines' worth at most.
std::string Shown(const char* text) {
    constexpr std::size_t kMax = 300;
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (out.size() >= kMax && (byte & 0xC0) != 0x80) {
            break;  // at a character's start
        }
        out.push_back(byte < 0x20 || byte == 0x7F ? '?' : *p);
    }
    return out;
}

bool HasLineBreakOrZero(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// An astring as RFC 3501 spells it: a quoted string where every byte may
// stand in one (7-bit, no line break), else a literal; never raw text that
// could end the command line early.
struct TArgument {
    std::string text;
    bool literal = false;
};
TArgument Astring(std::string_view value) {
    TArgument argument;
    argument.literal = std::any_of(value.begin(), value.end(), [](char c) {
        return c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x80;
    });
    if (argument.literal) {
        argument.text = value;
        return argument;
    }
    argument.text = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            argument.text.push_back('\\');
        }
        argument.text.push_back(c);
    }
    argument.text.push_back('"');
    return argument;
}

}  // namespace

TImapSession::TImapSession(const TImapUrl& url, const TImapAccess& access)
    : stream_(access.stop, access.timeouts) {
    stream_.Connect(url.host, url.port);
    if (url.security == TImapUrl::TSecurity::kTls) {
        stream_.StartTls(url.host, access.caFile);
    }
    imap_ = mailimap_new(0, nullptr);
    if (imap_ == nullptr) {
        throw std::bad_alloc();
    }
    try {
        Open(url, access);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        failed_ = true;
        Close();
        throw;
    }
}

void TImapSession::Open(const TImapUrl& url, const TImapAccess& access) {
    mailstream* stream = mailstream_new(stream_.NewLow(), 64 * 1024);
    if (stream == nullptr) {
        throw std::bad_alloc();
    }
    stream_.BeginStep("サーバの挨拶");
    const int r = mailimap_connect(imap_, stream);
    if (r != MAILIMAP_NO_ERROR_NON_AUTHENTICATED && r != MAILIMAP_NO_ERROR_AUTHENTICATED) {
        Fail(r, "IMAP サーバが接続を受け付けません");
    }
    if (url.security == TImapUrl::TSecurity::kStartTls) {
        if (r == MAILIMAP_NO_ERROR_AUTHENTICATED) {
            Throw(
                "IMAP サーバが暗号化する前にログインを済ませたため使いません "
                "(暗号化しない接続は使いません)");
        }
        Secure(url, access.caFile);
    }
    if (r == MAILIMAP_NO_ERROR_NON_AUTHENTICATED) {
        LogIn(url, access.secret);
    }
}

TImapSession::~TImapSession() {
    Close();
}

void TImapSession::Close() noexcept {
    if (imap_ == nullptr) {
        return;
    }
    if (imap_->imap_stream != nullptr && (failed_ || !stream_.Sound())) {
        // mailimap_free would send LOGOUT and wait for its answer: not on a
        // connection that failed, timed out or was stopped.
        mailstream_close(imap_->imap_stream);
        imap_->imap_stream = nullptr;
    }
    if (imap_->imap_stream != nullptr) {
        stream_.BeginStep("LOGOUT", TImapStream::TPace::kWhole, kLogoutSeconds);
    }
    mailimap_free(imap_);
    imap_ = nullptr;
}

void TImapSession::Secure(const TImapUrl& url, const std::string& caFile) {
    stream_.BeginStep("CAPABILITY");
    int r = AskCapabilities(imap_);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバの機能を確かめられません");
    }
    if (!mailimap_has_extension(imap_, const_cast<char*>("STARTTLS"))) {
        Throw("IMAP サーバ " + url.host +
              " が STARTTLS (暗号化) に対応していないため接続しません。暗号化しない接続は"
              "使いません。imaps:// で接続できるか確かめてください");
    }
    stream_.BeginStep("STARTTLS");
    r = mailimap_starttls(imap_);
    if (imap_->imap_stream->read_buffer_len > 0) {
        // Text after the answer was sent before TLS: a man in the middle
        // may have put it there to be read as if it came encrypted.
        failed_ = true;
        Throw(
            "IMAP サーバが STARTTLS の後に暗号化していないデータを送りました。サーバが"
            "プロトコルを守っていないため接続しません (imaps:// で接続できるか確かめて"
            "ください)");
    }
    if (r == MAILIMAP_ERROR_STARTTLS) {
        Fail(r, "IMAP サーバが STARTTLS を受け付けません");
    }
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバが STARTTLS の手順を守りません (プロトコル違反)");
    }
    stream_.StartTls(url.host, caFile);
    // What the server said before TLS is not to be trusted.
    stream_.BeginStep("CAPABILITY");
    r = AskCapabilities(imap_);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバの機能を確かめられません");
    }
}

void TImapSession::LogIn(const TImapUrl& url, const std::string& secret) {
    const bool bearer = url.auth == TImapUrl::TAuth::kXOAuth2;
    if (secret.empty()) {
        Throw(bearer ? "IMAP のアクセストークンがありません" : "IMAP のパスワードがありません");
    }
    // Line breaks and zero bytes would end or cut the command; \1 separates
    // the fields of the XOAUTH2 text.
    const auto unusable = [bearer](std::string_view text) {
        return text.find('\0') != std::string_view::npos ||
               (bearer && (HasLineBreakOrZero(text) || text.find('\1') != std::string_view::npos));
    };
    if (HasLineBreakOrZero(url.user) || unusable(url.user)) {
        Throw(
            "IMAP のユーザ名に改行や制御文字があるため使いません。URL "
            "のユーザ名を確かめてください");
    }
    if (unusable(secret)) {
        Throw(std::string(bearer ? "IMAP のアクセストークン" : "IMAP のパスワード") +
              "に使えない文字 (0 のバイトなど) があります。設定し直してください");
    }
    stream_.BeginStep(bearer ? "AUTHENTICATE" : "LOGIN");
    const int r = bearer ? mailimap_oauth2_authenticate(imap_, url.user.c_str(), secret.c_str())
                         : SendLogin(url.user, secret);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバにユーザ " + url.user + " でログインできません");
    }
}

void TImapSession::Write(const std::string& bytes) {
    if (mailstream_write(imap_->imap_stream, bytes.data(), bytes.size()) !=
            static_cast<ssize_t>(bytes.size()) ||
        mailstream_flush(imap_->imap_stream) == -1) {
        Fail(MAILIMAP_ERROR_STREAM, "IMAP サーバにコマンドを送れません");
    }
}

int TImapSession::SendLogin(const std::string& user, const std::string& password) {
    if (imap_->imap_state != MAILIMAP_STATE_NON_AUTHENTICATED) {
        return MAILIMAP_ERROR_BAD_STATE;
    }
    if (const int r = mailimap_send_current_tag(imap_); r != MAILIMAP_NO_ERROR) {
        return r;
    }
    std::string line = "LOGIN";
    for (const TArgument& argument : {Astring(user), Astring(password)}) {
        line += ' ';
        if (!argument.literal) {
            line += argument.text;
            continue;
        }
        line += "{" + std::to_string(argument.text.size()) + "}\r\n";
        Write(line);
        if (const int r = AwaitContinuation(); r != MAILIMAP_NO_ERROR) {
            return r;
        }
        line = argument.text;
    }
    Write(line + "\r\n");
    const int r = ReadTagged();
    if (r == MAILIMAP_NO_ERROR) {
        imap_->imap_state = MAILIMAP_STATE_AUTHENTICATED;
    }
    return r;
}

int TImapSession::AwaitContinuation() {
    while (true) {
        const char* line = mailimap_read_line(imap_);
        if (line == nullptr) {
            return MAILIMAP_ERROR_STREAM;
        }
        if (line[0] == '+') {
            return MAILIMAP_NO_ERROR;
        }
        if (line[0] != '*') {
            // The tagged answer: the server refused before the literal.
            TResponse answer;
            const int r = mailimap_parse_response(imap_, &answer.response);
            return r != MAILIMAP_NO_ERROR ? r : MAILIMAP_ERROR_LOGIN;
        }
    }
}

int TImapSession::ReadTagged() {
    if (mailimap_read_line(imap_) == nullptr) {
        return MAILIMAP_ERROR_STREAM;
    }
    TResponse answer;
    const int r = mailimap_parse_response(imap_, &answer.response);
    if (r != MAILIMAP_NO_ERROR) {
        return r;
    }
    return answer.Ok() ? MAILIMAP_NO_ERROR : MAILIMAP_ERROR_LOGIN;
}

void TImapSession::Fail(int code, const std::string& what) {
    failed_ = true;
    std::string text = what;
    if (code == MAILIMAP_ERROR_STREAM || stream_.Cancelled()) {
        text += ": " + (stream_.Fault().empty() ? std::string("IMAP サーバとの接続が切れました")
                                                : stream_.Fault());
    } else if (code == MAILIMAP_ERROR_PARSE) {
        text += ": IMAP サーバの応答が正しくありません";
    } else if (code == MAILIMAP_ERROR_MEMORY) {
        throw std::bad_alloc();
    }
    if (code != MAILIMAP_ERROR_STREAM && !stream_.Cancelled() && imap_ != nullptr &&
        imap_->imap_response != nullptr && imap_->imap_response[0] != '\0') {
        text += " (サーバの応答: " + Shown(imap_->imap_response) + ")";
    }
    Throw(text);
}

TImapSession::TSelected TImapSession::Examine(const std::string& utf8Folder) {
    // As the name is written, then as the server's own bytes: a damaged
    // name from its list (TImapFolderName::Read) is kept that way.
    std::string name;
    try {
        name = TImapFolderName::ToModifiedUtf7(utf8Folder);
    } catch (const TKestrifyError&) {
        name = utf8Folder;
    }
    int r = ExamineName(name);
    if (r == MAILIMAP_ERROR_EXAMINE && name != utf8Folder) {
        r = ExamineName(utf8Folder);
    }
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダ「" + utf8Folder + "」を開けません");
    }
    TSelected selected;
    if (const mailimap_selection_info* info = imap_->imap_selection_info; info != nullptr) {
        selected.uidValidity = info->sel_uidvalidity;
        selected.exists = info->sel_exists;
    }
    return selected;
}

int TImapSession::ExamineName(const std::string& name) {
    if (HasLineBreakOrZero(name)) {
        Throw("IMAP のフォルダ名に改行や 0 のバイトがあるため使いません");
    }
    stream_.BeginStep("EXAMINE");
    return mailimap_examine(imap_, name.c_str());
}

std::vector<TImapSession::TMessage> TImapSession::ListMessages(std::uint32_t afterUid) {
    std::vector<TMessage> messages;
    if (imap_->imap_selection_info == nullptr || imap_->imap_selection_info->sel_exists == 0 ||
        afterUid == UINT32_MAX) {
        return messages;  // "1:*" on an empty folder is an error on some servers
    }
    TSet set;
    TFetchType type;
    mailimap_set_add_interval(set.set, afterUid + 1, 0);
    mailimap_fetch_type_new_fetch_att_list_add(type.type, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(type.type, mailimap_fetch_att_new_rfc822_size());
    // One answer per mail: taken as they come, so that libetpan does not
    // hold a folder of a million mails as a million structures.
    struct TListing {
        std::vector<TMessage>* messages;
        std::uint32_t afterUid;
        std::exception_ptr error;
    } listing{&messages, afterUid, nullptr};
    const auto onAnswer = [](mailimap_msg_att* att, void* context) {
        auto& l = *static_cast<TListing*>(context);
        TMessage message;
        ForEachStatic(att, [&](const mailimap_msg_att_static& s) {
            if (s.att_type == MAILIMAP_MSG_ATT_UID) {
                message.uid = s.att_data.att_uid;
            } else if (s.att_type == MAILIMAP_MSG_ATT_RFC822_SIZE) {
                message.size = s.att_data.att_rfc822_size;
            }
        });
        // "n:*" is the last mail even when its UID is below n.
        if (message.uid > l.afterUid && !l.error) {
            try {
                l.messages->push_back(message);
            } catch (...) {
                l.error = std::current_exception();  // not through libetpan's C frames
            }
        }
    };
    TFetchList result;
    int r = MAILIMAP_NO_ERROR;
    {
        const TStreamingFetch streaming(imap_, stream_, onAnswer, &listing,
                                        imap_->imap_selection_info->sel_exists);
        stream_.BeginStep(afterUid == 0 ? "FETCH" : "UID FETCH", TImapStream::TPace::kProgress);
        r = afterUid == 0 ? mailimap_fetch(imap_, set.set, type.type, &result.list)
                          : mailimap_uid_fetch(imap_, set.set, type.type, &result.list);
    }
    if (listing.error) {
        std::rethrow_exception(listing.error);
    }
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダのメールを一覧できません");
    }
    std::sort(messages.begin(), messages.end(),
              [](const TMessage& a, const TMessage& b) { return a.uid < b.uid; });
    messages.erase(std::unique(messages.begin(), messages.end(),
                               [](const TMessage& a, const TMessage& b) { return a.uid == b.uid; }),
                   messages.end());
    return messages;
}

void TImapSession::OnMail(mailimap_msg_att* att, void* context) {
    static_cast<TImapSession*>(context)->Deliver(att);
}

void TImapSession::Deliver(const mailimap_msg_att* att) {
    if (handler_ == nullptr || handlerError_) {
        return;
    }
    std::uint32_t uid = 0;
    const mailimap_msg_att_body_section* body = nullptr;
    ForEachStatic(att, [&](const mailimap_msg_att_static& s) {
        if (s.att_type == MAILIMAP_MSG_ATT_UID) {
            uid = s.att_data.att_uid;
        } else if (s.att_type == MAILIMAP_MSG_ATT_BODY_SECTION) {
            body = s.att_data.att_body_section;
        }
    });
    if (uid == 0 || body == nullptr || body->sec_body_part == nullptr) {
        return;  // a flag change or a mail that is gone
    }
    try {
        (*handler_)(uid, std::string_view(body->sec_body_part, body->sec_length));
    } catch (...) {
        // Not through libetpan's C frames: raised again when the fetch returns.
        handlerError_ = std::current_exception();
    }
}

void TImapSession::Fetch(std::span<const TMessage> messages, const TMailHandler& handler,
                         TPart part) {
    if (!messages.empty()) {
        SendFetch(messages, part);
        ReceiveFetch(handler);
    }
}

void TImapSession::SendFetch(std::span<const TMessage> messages, TPart part) {
    std::string set;
    for (std::size_t i = 0; i < messages.size();) {
        std::size_t j = i + 1;
        if (part == TPart::kWhole && messages[i].size > kMaxMail) {
            i = j;  // never asked for: it fails alone
            continue;
        }
        while (j < messages.size() && messages[j].uid == messages[j - 1].uid + 1 &&
               (part == TPart::kHeader || messages[j].size <= kMaxMail)) {
            ++j;
        }
        set += (set.empty() ? "" : ",") + std::to_string(messages[i].uid);
        if (j - i > 1) {
            set += ":" + std::to_string(messages[j - 1].uid);
        }
        i = j;
    }
    // A batch of mails too large only: a NOOP keeps the answers in step.
    const std::string command = set.empty()
                                    ? std::string("NOOP\r\n")
                                    : "UID FETCH " + set +
                                          (part == TPart::kHeader ? " (UID BODY.PEEK[HEADER])\r\n"
                                                                  : " (UID BODY.PEEK[])\r\n");
    stream_.BeginStep("UID FETCH", TImapStream::TPace::kProgress);
    const int r = imap_->imap_state == MAILIMAP_STATE_SELECTED ? mailimap_send_current_tag(imap_)
                                                               : MAILIMAP_ERROR_BAD_STATE;
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバからメールを受け取れません");
    }
    Write(command);
    sentTags_.push_back(imap_->imap_tag);
    sentCounts_.push_back(messages.size());
    sentMails_ += messages.size();
}

void TImapSession::ReceiveFetch(const TMailHandler& handler) {
    if (sentTags_.empty()) {
        return;
    }
    // libetpan checks the answer's tag against its newest one.
    const int newest = imap_->imap_tag;
    imap_->imap_tag = sentTags_.front();
    sentTags_.pop_front();
    handler_ = &handler;
    handlerError_ = nullptr;
    TResponse answer;
    int r = MAILIMAP_NO_ERROR;
    {
        const TStreamingFetch streaming(imap_, stream_, &TImapSession::OnMail, this, sentMails_);
        stream_.BeginStep("UID FETCH", TImapStream::TPace::kProgress);
        r = mailimap_read_line(imap_) == nullptr ? MAILIMAP_ERROR_STREAM
                                                 : mailimap_parse_response(imap_, &answer.response);
    }
    imap_->imap_tag = newest;
    sentMails_ -= sentCounts_.front();
    sentCounts_.pop_front();
    if (r == MAILIMAP_NO_ERROR) {
        if (const mailimap_response_info* info = imap_->imap_response_info;
            info != nullptr && info->rsp_fetch_list != nullptr) {
            for (clistiter* it = clist_begin(info->rsp_fetch_list); it != nullptr;
                 it = clist_next(it)) {
                Deliver(static_cast<const mailimap_msg_att*>(clist_content(it)));
            }
        }
        if (!answer.Ok()) {
            r = MAILIMAP_ERROR_UID_FETCH;
        }
    }
    handler_ = nullptr;
    if (handlerError_) {
        std::rethrow_exception(handlerError_);
    }
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバからメールを受け取れません");
    }
}

std::vector<TImapSession::TFolder> TImapSession::ListFolders() {
    TMailboxList list;
    stream_.BeginStep("LIST");
    const int r = mailimap_list(imap_, "", "*", &list.list);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダを一覧できません");
    }
    std::vector<TFolder> folders;
    for (clistiter* it = clist_begin(list.list); it != nullptr; it = clist_next(it)) {
        const auto* entry = static_cast<mailimap_mailbox_list*>(clist_content(it));
        const TImapFolderName::TRead read = TImapFolderName::Read(entry->mb_name);
        TFolder folder;
        folder.name = read.name;
        folder.display = read.display;
        folder.delimiter = entry->mb_delimiter;
        folder.selectable = entry->mb_flag == nullptr ||
                            entry->mb_flag->mbf_sflag != MAILIMAP_MBX_LIST_SFLAG_NOSELECT;
        folders.push_back(std::move(folder));
    }
    std::sort(folders.begin(), folders.end(),
              [](const TFolder& a, const TFolder& b) { return a.name < b.name; });
    return folders;
}
