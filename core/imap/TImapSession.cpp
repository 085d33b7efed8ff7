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

std::vector<TImapSession::TMessage> TImapSession::ListMessages() {
    std::vector<TMessage> messages;
    if (imap_->imap_selection_info == nullptr || imap_->imap_selection_info->sel_exists == 0) {
        return messages;  // "1:*" on an empty folder is an error on some servers
    }
    TSet set;
    TFetchType type;
    mailimap_set_add_interval(set.set, 1, 0);
    mailimap_fetch_type_new_fetch_att_list_add(type.type, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(type.type, mailimap_fetch_att_new_rfc822_size());
    TFetchList result;
    const int r = mailimap_fetch(imap_, set.set, type.type, &result.list);
    if (r != MAILIMAP_NO_ERROR) {
        Fail(r, "IMAP のフォルダのメールを一覧できません");
    }
    messages.reserve(static_cast<std::size_t>(clist_count(result.list)));
    for (clistiter* it = clist_begin(result.list); it != nullptr; it = clist_next(it)) {
        const auto* att = static_cast<mailimap_msg_att*>(clist_content(it));
        TMessage message;
        for (clistiter* i = clist_begin(att->att_list); i != nullptr; i = clist_next(i)) {
            const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
            if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC) {
                continue;
            }
            const mailimap_msg_att_static* s = item->att_data.att_static;
            if (s->att_type == MAILIMAP_MSG_ATT_UID) {
                message.uid = s->att_data.att_uid;
            } else if (s->att_type == MAILIMAP_MSG_ATT_RFC822_SIZE) {
                message.size = s->att_data.att_rfc822_size;
            }
        }
        if (message.uid != 0) {
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
    for (clistiter* i = clist_begin(att->att_list); i != nullptr; i = clist_next(i)) {
        const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
        if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC) {
            continue;
        }
        const mailimap_msg_att_static* s = item->att_data.att_static;
        if (s->att_type == MAILIMAP_MSG_ATT_UID) {
            uid = s->att_data.att_uid;
        } else if (s->att_type == MAILIMAP_MSG_ATT_BODY_SECTION) {
            body = s->att_data.att_body_section;
        }
    }
    if (uid == 0 || body == nullptr || body->sec_body_part == nullptr) {
        return;  // a flag change or a mail that is gone
    }
    ++delivered_;
    try {
        (*handler_)(uid, std::string_view(body->sec_body_part, body->sec_length));
    } catch (...) {
        // Not through libetpan's C frames: raised again when the fetch returns.
        handlerError_ = std::current_exception();
    }
}

void TImapSession::Fetch(std::span<const TMessage> messages, const TMailHandler& handler) {
    if (messages.empty()) {
        return;
    }
    TSet set;
    for (std::size_t i = 0; i < messages.size();) {
        std::size_t j = i + 1;
        while (j < messages.size() && messages[j].uid == messages[j - 1].uid + 1) {
            ++j;
        }
        mailimap_set_add_interval(set.set, messages[i].uid, messages[j - 1].uid);
        i = j;
    }
    TFetchType type;
    mailimap_fetch_type_new_fetch_att_list_add(type.type, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(
        type.type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new(nullptr)));
    handler_ = &handler;
    handlerError_ = nullptr;
    delivered_ = 0;
    mailimap_set_msg_att_handler(imap_, &TImapSession::OnMail, this);
    TFetchList result;
    const int r = mailimap_uid_fetch(imap_, set.set, type.type, &result.list);
    mailimap_set_msg_att_handler(imap_, nullptr, nullptr);
    if (r == MAILIMAP_NO_ERROR && delivered_ == 0) {
        // libetpan 1.9 calls the handler for some responses only; the others
        // come in the list at the end of the batch.
        for (clistiter* it = clist_begin(result.list); it != nullptr; it = clist_next(it)) {
            Deliver(static_cast<const mailimap_msg_att*>(clist_content(it)));
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
