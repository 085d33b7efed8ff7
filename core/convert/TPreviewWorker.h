#pragma once
// Runs a TMailPreview on a thread of its own, so that opening a large store
// (its readers index it) and searching through it never hold up the caller.
// Requests describe what should be shown; the thread works on the newest
// one, and any new request but StopSearch stops a search in progress. The
// answers reach the sink on the worker thread, never after the destructor
// has begun.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "convert/TMailPreview.h"
#include "imap/TImapAccess.h"

class TPreviewWorker {
  public:
    struct TSink {
        std::function<void(TPreviewShot)> shown;
        std::function<void(int index, int count)> progress;  // a search is at mail `index`
        std::function<void(TPreviewSearch)> searched;
    };

    explicit TPreviewWorker(TSink sink);
    // Stops the thread and waits for it: a search ends before its next mail
    // and a server's connection closes at once (a local store being indexed
    // is waited for).
    ~TPreviewWorker();
    TPreviewWorker(const TPreviewWorker&) = delete;
    TPreviewWorker& operator=(const TPreviewWorker&) = delete;

    // `htmlText`: HTML-only mails are previewed as text (TMailOptions);
    // `imap`: what an IMAP store needs besides its URL. Its connection
    // closes at once when this worker goes or `imap.stop` is asked.
    void Open(int mailType, std::string sjisLocation, bool htmlText = false, TImapAccess imap = {});
    void SetParams(std::vector<TOrderedParamString> params, std::size_t position);
    void ShowMail(int index);
    // Looks for the next mail with a value after the one shown, then shows
    // nothing new: the caller decides with the answer.
    void FindNext();
    void StopSearch();

  private:
    struct TState;
    static void Run(TState& state, const std::stop_token& quit);

    std::unique_ptr<TState> state_;
    std::jthread thread_;  // last: joined before the state goes
};
