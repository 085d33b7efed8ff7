#pragma once
// What one conversion job needs from the program that runs it: how it tells
// a refusal or a failure, where long work runs, how the store is reached and
// how the rows are converted and saved (the command at once, the desktop
// program in its result window). Every call comes from the thread that runs
// the job unless said otherwise.

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imap/TImapAccess.h"
#include "params/TOrderedParamString.h"
#include "params/TParamCheck.h"

class TCSVConverter;
class TOnlyNewRun;

// Why a job ends before any mail is read. `message` holds the words a window
// shows (Shift_JIS) and `helpTopic` its Help button (0: none); the other
// fields let a program word it its own way.
struct TJobRefusal {
    enum class TStep {
        Params,         // no parameters
        Location,       // the location is missing or not the kind the store needs
        StoreKind,      // a store file that is not of the chosen kind
        Output,         // the output (or its backup) is one of the run's inputs
        OnlyNewOutput,  // only new mail, but no CSV to keep the record for
    };
    TStep step = TStep::Params;
    std::string message;
    int helpTopic = 0;
    std::string reason;            // Location: the check's words without the location
    std::optional<int> looksLike;  // StoreKind: what the store looks like, when known
    std::string english;           // Output: the refusal in English
};

class TConversionJobHost {
  public:
    virtual ~TConversionJobHost() = default;

    // A check refused the job: nothing was read or written.
    virtual void Refused(const TJobRefusal& refusal) = 0;
    // The record of converted mails or the store could not be opened.
    virtual void Failed(const std::exception& error) = 0;
    // A regular expression that does not compile: its column stays empty.
    virtual void RegexUnusable(const TParamCheck::TRegexError& error,
                               const TOrderedParamString& param) {
        (void)error;
        (void)param;
    }
    // Runs `work`, which opens the record and the store and may take long
    // (it reads the whole store); rethrows what it threw. A window keeps
    // painting meanwhile.
    virtual void RunAside(const std::function<void()>& work) { work(); }
    // The job ends because its stop was asked, before any mail was
    // converted; returns the exit status.
    virtual int Stopped() = 0;
    // The password and certificates of a remote store (the job adds its
    // stop); may throw, which ends the job with the exception.
    virtual TImapAccess StoreAccess() { return {}; }
    // Converts the mails and saves the rows; returns the exit status.
    // `onlyNew`: the run of only new mail (the host commits it once the CSV
    // is saved), or null.
    virtual int Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) = 0;
};
