#include "convert/TConversionJob.h"

#include <new>

#include "codeconv/TSjisUnicode.h"
#include "convert/TCSVConverter.h"
#include "convert/TConvertValidator.h"
#include "convert/TExitStatus.h"
#include "convert/TOutputTargetCheck.h"
#include "mail/TMailStoreCheck.h"
#include "mail/TMailStoreFactory.h"
#include "settings/TConvertParam.h"
#include "state/TOnlyNewRun.h"

namespace {

TJobRefusal Refusal(TJobRefusal::TStep step, const std::string& message, int helpTopic) {
    TJobRefusal refusal;
    refusal.step = step;
    refusal.message = message;
    refusal.helpTopic = helpTopic;
    return refusal;
}

}  // namespace

int TConversionJob::Run() {
    // All refusals come before anything is read: a store of another kind
    // would give an empty table that looks finished, an output that is an
    // input would destroy it.
    if (!InputsAllowed() || !OutputAllowed()) {
        return TExitStatus::BadInput;
    }
    WarnRegexErrors();
    std::optional<int> status;
    std::unique_ptr<TOnlyNewRun> onlyNew;
    if (request_.onlyNew) {
        onlyNew = OpenRecord(status);
        if (!onlyNew) {
            return *status;
        }
    }
    std::unique_ptr<TCSVConverter> converter = OpenStore(onlyNew.get(), status);
    if (!converter) {
        return *status;
    }
    return host_.Convert(std::move(converter), onlyNew.get());
}

bool TConversionJob::InputsAllowed() {
    const int type = request_.mailType;
    const std::string& location = request_.location;
    if (auto problem = TConvertValidator::CheckParams(request_.params.size())) {
        Refuse(TJobRefusal::TStep::Params, problem->message, problem->helpTopic);
        return false;
    }
    if (auto problem = TConvertValidator::CheckLocation(type, location)) {
        // A window names a location that is not there at all.
        const TConvertProblem named =
            TConvertValidator::CheckExists(type, location).value_or(*problem);
        TJobRefusal refusal = Refusal(TJobRefusal::TStep::Location, named.message, named.helpTopic);
        refusal.reason = problem->message;
        host_.Refused(refusal);
        return false;
    }
    const TMailStoreCheck::TResult shape = TMailStoreCheck::Check(type, location);
    if (!shape.fits) {
        const TConvertProblem problem =
            TConvertValidator::NotOfKind(type, location, shape.looksLike);
        TJobRefusal refusal =
            Refusal(TJobRefusal::TStep::StoreKind, problem.message, problem.helpTopic);
        refusal.looksLike = shape.looksLike;
        host_.Refused(refusal);
        return false;
    }
    return true;
}

bool TConversionJob::OutputAllowed() {
    // A remote store has no file the output could be.
    if (!request_.output || TMailStoreFactory::IsRemoteType(request_.mailType)) {
        return true;
    }
    const TOutputTargetCheck check(request_.project, request_.location);
    const std::optional<TOutputRefusal> refused =
        check.Refuse(*request_.output, request_.makeBackup);
    if (!refused) {
        return true;
    }
    TJobRefusal refusal = Refusal(TJobRefusal::TStep::Output, refused->message, 0);
    refusal.english = refused->english;
    host_.Refused(refusal);
    return false;
}

void TConversionJob::WarnRegexErrors() {
    for (const TParamCheck::TRegexError& e : TParamCheck::RegexErrors(request_.params)) {
        host_.RegexUnusable(e, request_.params[static_cast<std::size_t>(e.index)]);
    }
}

std::unique_ptr<TOnlyNewRun> TConversionJob::OpenRecord(std::optional<int>& status) {
    if (request_.onlyNewOutput.empty()) {
        Refuse(TJobRefusal::TStep::OnlyNewOutput,
               TSjisUnicode::FromUtf8("新しいメールだけを変換するには、保存先の CSV ファイルを"
                                      "プロジェクトに指定してください。"),
               0);
        status = TExitStatus::BadInput;
        return nullptr;
    }
    std::unique_ptr<TOnlyNewRun> onlyNew;
    // Waits for another run on the same output.
    const bool opened = RunStepAside(
        [&] { onlyNew = std::make_unique<TOnlyNewRun>(request_.onlyNewOutput, stop_); }, status);
    return opened ? std::move(onlyNew) : nullptr;
}

bool TConversionJob::RunStepAside(const std::function<void()>& work, std::optional<int>& status) {
    try {
        host_.RunAside(work);
        return true;
    } catch (const std::bad_alloc&) {
        throw;  // said once, with its own status
    } catch (const std::exception& e) {
        // A stop ends a wait or closes a server's connection, which fails
        // the step with an error that is no news.
        if (stop_.stop_requested()) {
            status = host_.Stopped();
        } else {
            host_.Failed(e);
            status = TExitStatus::BadInput;
        }
        return false;
    }
}

std::unique_ptr<TCSVConverter> TConversionJob::OpenStore(TOnlyNewRun* onlyNew,
                                                         std::optional<int>& status) {
    const int type = request_.mailType;
    TImapAccess access =
        TMailStoreFactory::IsRemoteType(type) ? host_.StoreAccess() : TImapAccess{};
    access.stop = stop_;  // the connection closes as soon as the run stops
    std::unique_ptr<TBasicMailParser> reader;
    // Opening a store reads all of it to find its mails.
    const bool opened = RunStepAside(
        [&] {
            reader = TMailStoreFactory::Create(type, request_.location, request_.threads, access);
            reader->SetOptions(request_.mailOptions);
            if (onlyNew != nullptr) {
                reader = onlyNew->Choose(std::move(reader), type, request_.location);
            }
        },
        status);
    if (!opened) {
        return nullptr;
    }
    auto converter = std::make_unique<TCSVConverter>(
        std::move(reader), std::make_unique<TConvertParam>(request_.params));
    if (stop_.stop_requested()) {
        status = host_.Stopped();
        return nullptr;
    }
    return converter;
}

void TConversionJob::Refuse(TJobRefusal::TStep step, const std::string& message, int helpTopic) {
    host_.Refused(Refusal(step, message, helpTopic));
}
