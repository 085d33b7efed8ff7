#include "imap/TImapSession.h"

#include <algorithm>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapFolderName.h"

namespace {

[[noreturn]] void Throw(const std::string& utf8) {
    throw TKestrifyError(TSjisUnicode::FromUtf8(utf8));
}

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
// CAPABILITY, kept by libetpan in the session for mailimap_has_extension.
int AskCapabilities(mailimap* imap) {
    mailimap_capability_data* data = nullptr;
    const int r = mailimap_capability(imap, &data);
    if (data != nullptr) {
        mailimap_capability_data_free(data);
    }
    return r;
}

struct TSet {
    mailimap_set* set = mailimap_set_new_empty();
    ~TSet() { mailimap_set_free(set); }
};

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

}  // namespace

TImapSession::TImapSession(const TImapUrl& url, const TImapAccess& access)
    : stream_(access.stopRequested, access.timeouts) {
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
        mailimap_free(imap_);
        imap_ = nullptr;
        throw;
    }
}

void TImapSession::Open(const TImapUrl& url, const TImapAccess& access) {
    mailstream* stream = mailstream_new(stream_.NewLow(), 64 * 1024);
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
    if (imap_ != nullptr) {
        mailimap_free(imap_);  // closes the stream without a word: a stop must not wait
    }
}

void TImapSession::Secure(const TImapUrl& url, const std::string& caFile) {
    int r = AskCapabilities(imap_);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバの機能を確かめられません");
    }
    if (!mailimap_has_extension(imap_, const_cast<char*>("STARTTLS"))) {
        Throw("IMAP サーバ " + url.host +
              " が STARTTLS (暗号化) に対応していないため接続しません。暗号化しない接続は"
              "使いません。imaps:// で接続できるか確かめてください");
    }
    r = mailimap_starttls(imap_);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバが STARTTLS を受け付けません");
    }
    stream_.StartTls(url.host, caFile);
    // What the server said before TLS is not to be trusted.
    r = AskCapabilities(imap_);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバの機能を確かめられません");
    }
}

void TImapSession::LogIn(const TImapUrl& url, const std::string& secret) {
    if (secret.empty()) {
        Throw(url.auth == TImapUrl::TAuth::kXOAuth2 ? "IMAP のアクセストークンがありません"
                                                    : "IMAP のパスワードがありません");
    }
    const int r = url.auth == TImapUrl::TAuth::kXOAuth2
                      ? mailimap_oauth2_authenticate(imap_, url.user.c_str(), secret.c_str())
                      : mailimap_login(imap_, url.user.c_str(), secret.c_str());
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバにユーザ " + url.user + " でログインできません");
    }
}

void TImapSession::Fail(int code, const std::string& what) const {
    std::string text = what;
    if (code == MAILIMAP_ERROR_STREAM || stream_.Cancelled()) {
        text += ": " + (stream_.Fault().empty() ? std::string("IMAP サーバとの接続が切れました")
                                                : stream_.Fault());
    } else if (code == MAILIMAP_ERROR_PARSE) {
        text += ": IMAP サーバの応答が正しくありません";
    } else if (code == MAILIMAP_ERROR_MEMORY) {
        throw std::bad_alloc();
    }
    if (code != MAILIMAP_ERROR_STREAM && imap_ != nullptr && imap_->imap_response != nullptr &&
        imap_->imap_response[0] != '\0') {
        text += std::string(" (サーバの応答: ") + imap_->imap_response + ")";
    }
    Throw(text);
}

TImapSession::TSelected TImapSession::Examine(const std::string& utf8Folder) {
    const std::string name = TImapFolderName::ToModifiedUtf7(utf8Folder);
    const int r = mailimap_examine(imap_, name.c_str());
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
    TFetchList result;
    // "n:*" is the last mail even when its UID is below n: filtered below.
    const int r = afterUid == 0 ? mailimap_fetch(imap_, set.set, type.type, &result.list)
                                : mailimap_uid_fetch(imap_, set.set, type.type, &result.list);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダのメールを一覧できません");
    }
    messages.reserve(static_cast<std::size_t>(clist_count(result.list)));
    for (clistiter* it = clist_begin(result.list); it != nullptr; it = clist_next(it)) {
        const auto* att = static_cast<mailimap_msg_att*>(clist_content(it));
        TMessage message;
        ForEachStatic(att, [&](const mailimap_msg_att_static& s) {
            if (s.att_type == MAILIMAP_MSG_ATT_UID) {
                message.uid = s.att_data.att_uid;
            } else if (s.att_type == MAILIMAP_MSG_ATT_RFC822_SIZE) {
                message.size = s.att_data.att_rfc822_size;
            }
        });
        if (message.uid > afterUid) {
            messages.push_back(message);
        }
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
    std::string command = "UID FETCH ";
    for (std::size_t i = 0; i < messages.size();) {
        std::size_t j = i + 1;
        while (j < messages.size() && messages[j].uid == messages[j - 1].uid + 1) {
            ++j;
        }
        command += (i == 0 ? "" : ",") + std::to_string(messages[i].uid);
        if (j - i > 1) {
            command += ":" + std::to_string(messages[j - 1].uid);
        }
        i = j;
    }
    command += part == TPart::kHeader ? " (UID BODY.PEEK[HEADER])\r\n" : " (UID BODY.PEEK[])\r\n";
    int r = imap_->imap_state == MAILIMAP_STATE_SELECTED ? mailimap_send_current_tag(imap_)
                                                         : MAILIMAP_ERROR_BAD_STATE;
    if (r == MAILIMAP_NO_ERROR &&
        (mailstream_write(imap_->imap_stream, command.data(), command.size()) !=
             static_cast<ssize_t>(command.size()) ||
         mailstream_flush(imap_->imap_stream) == -1)) {
        r = MAILIMAP_ERROR_STREAM;
    }
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP サーバからメールを受け取れません");
    }
    sentTags_.push_back(imap_->imap_tag);
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
    mailimap_set_msg_att_handler(imap_, &TImapSession::OnMail, this);
    // Only while progress callbacks are set does libetpan give each FETCH
    // answer to the handler as it is parsed; otherwise it keeps them all
    // until the end of the batch.
    mailprogress_function* const ignore = [](std::size_t, std::size_t, void*) {};
    mailimap_set_progress_callback(imap_, ignore, ignore, nullptr);
    mailimap_response* response = nullptr;
    int r = mailimap_read_line(imap_) == nullptr ? MAILIMAP_ERROR_STREAM
                                                 : mailimap_parse_response(imap_, &response);
    mailimap_set_progress_callback(imap_, nullptr, nullptr, nullptr);
    mailimap_set_msg_att_handler(imap_, nullptr, nullptr);
    imap_->imap_tag = newest;
    if (r == MAILIMAP_NO_ERROR) {
        if (const mailimap_response_info* info = imap_->imap_response_info;
            info != nullptr && info->rsp_fetch_list != nullptr) {
            for (clistiter* it = clist_begin(info->rsp_fetch_list); it != nullptr;
                 it = clist_next(it)) {
                Deliver(static_cast<const mailimap_msg_att*>(clist_content(it)));
            }
        }
        if (response->rsp_resp_done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type !=
            MAILIMAP_RESP_COND_STATE_OK) {
            r = MAILIMAP_ERROR_UID_FETCH;
        }
        mailimap_response_free(response);
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
    clist* list = nullptr;
    const int r = mailimap_list(imap_, "", "*", &list);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダを一覧できません");
    }
    std::vector<TFolder> folders;
    for (clistiter* it = clist_begin(list); it != nullptr; it = clist_next(it)) {
        const auto* entry = static_cast<mailimap_mailbox_list*>(clist_content(it));
        TFolder folder;
        folder.name = TImapFolderName::FromModifiedUtf7(entry->mb_name);
        folder.delimiter = entry->mb_delimiter;
        folder.selectable = entry->mb_flag == nullptr ||
                            entry->mb_flag->mbf_sflag != MAILIMAP_MBX_LIST_SFLAG_NOSELECT;
        folders.push_back(std::move(folder));
    }
    mailimap_list_result_free(list);
    std::sort(folders.begin(), folders.end(),
              [](const TFolder& a, const TFolder& b) { return a.name < b.name; });
    return folders;
}
