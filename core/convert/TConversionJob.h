#pragma once
// One conversion, as both programs run it, in this order: the Convert checks
// (parameters, location), the store's own kind, the output that must not be
// an input, the record of converted mails for a run of only new mail,
// opening the store on the request's threads, choosing the new mails,
// building the converter; then the host converts and saves. What the
// programs show, ask and how they save goes through TConversionJobHost.
//
//     TConversionJob job(request, host, stop.get_token());  // the run's one stop
//     const int status = job.Run();  // a TExitStatus code

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "convert/TConversionJobHost.h"
#include "mail/TMailOptions.h"
#include "params/TOrderedParamString.h"

// What one job converts and where to. Paths are Shift_JIS.
struct TConversionRequest {
    std::vector<TOrderedParamString> params;  // in list order
    int mailType = 0;
    std::string location;  // as the reader gets it (a relative path already resolved)
    std::string project;   // the project file; empty when it was never saved
    // The CSV the run writes by itself (the command, an automatic run): it
    // and its backup are checked against the inputs. None when a person
    // chooses it later or the rows go to standard output.
    std::optional<std::string> output;
    bool makeBackup = false;
    // Only the mails not yet converted into `onlyNewOutput` (refused when
    // that is empty).
    bool onlyNew = false;
    std::string onlyNewOutput;
    int threads = 1;  // a large store is searched for its mails on as many
    TMailOptions mailOptions;
};

class TConversionJob {
  public:
    // `stop`: the run's stop, passed down to every wait and thread of the
    // job (the record's lock, the store's reading, a server's connection).
    TConversionJob(TConversionRequest request, TConversionJobHost& host, std::stop_token stop = {})
        : request_(std::move(request)), host_(host), stop_(std::move(stop)) {}

    // Every step in order; a TExitStatus code: BadInput after a refusal or a
    // failure to open, else the host's (Stopped or Convert). Memory that
    // runs out, and what StoreAccess throws, leave as exceptions.
    int Run();

    // The output check alone, for work on the output without converting:
    // false (told to the host) when the output or its backup is an input.
    bool OutputAllowed();

  private:
    bool InputsAllowed();
    void WarnRegexErrors();
    // Null with `status` set when the job ends here.
    std::unique_ptr<TOnlyNewRun> OpenRecord(std::optional<int>& status);
    std::unique_ptr<TCSVConverter> OpenStore(TOnlyNewRun* onlyNew, std::optional<int>& status);
    // Runs one step through the host; false when it failed (said once) or
    // was stopped, with `status` set.
    bool RunStepAside(const std::function<void()>& work, std::optional<int>& status);
    void Refuse(TJobRefusal::TStep step, const std::string& message, int helpTopic);

    TConversionRequest request_;
    TConversionJobHost& host_;
    std::stop_token stop_;
};
