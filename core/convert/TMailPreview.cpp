#include "convert/TMailPreview.h"

#include <algorithm>
#include <exception>

#include "base/SjisText.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TConvertValidator.h"
#include "mail/TMailStoreFactory.h"
#include "settings/TConvertParam.h"

namespace {

std::string ErrorText(const std::exception& e) {
    const std::string text = e.what();
    return text.empty() ? TSjisUnicode::FromUtf8("原因不明のエラーです。") : text;
}

}  // namespace

// The converter owns its reader; the preview builds a converter for every
// parameter change but keeps one reader, whose index may have been costly.
class TMailPreview::TBorrowedReader : public TBasicMailParser {
  public:
    explicit TBorrowedReader(TBasicMailParser& reader) : reader_(reader) {}
    int GetCount() override { return reader_.GetCount(); }
    std::unique_ptr<TBasicMail> GetMail(int index) override { return reader_.GetMail(index); }

  private:
    TBasicMailParser& reader_;
};

TMailPreview::~TMailPreview() = default;

void TMailPreview::Open(int mailType, const std::string& sjisLocation, bool htmlText,
                        const TImapAccess& imap) {
    converter_.reset();
    reader_.reset();
    cachedIndex_ = -1;
    cachedMail_.reset();
    count_ = 0;
    storeProblem_.clear();
    if (const auto problem = TConvertValidator::CheckLocation(mailType, sjisLocation)) {
        storeProblem_ = problem->message;
        return;
    }
    try {
        TStoreOpening opening;
        opening.imap = imap;
        opening.preview = true;
        reader_ = TMailStoreFactory::Create(mailType, sjisLocation, opening);
        TMailOptions options;
        options.warning = [this](const std::string& message) { warnings_.push_back(message); };
        options.htmlText = htmlText;
        reader_->SetOptions(std::move(options));
        count_ = std::max(reader_->GetCount(), 0);
    } catch (const std::exception& e) {
        reader_.reset();
        storeProblem_ = ErrorText(e);
        return;
    }
    if (!params_.empty()) {
        SetParams(std::move(params_), position_);
    }
}

void TMailPreview::SetParams(std::vector<TOrderedParamString> params, std::size_t position) {
    params_ = std::move(params);
    position_ = std::min(position, params_.empty() ? 0 : params_.size() - 1);
    converter_.reset();
    bodyIndex_.reset();
    if (!reader_ || params_.empty()) {
        return;
    }
    converter_ = std::make_unique<TCSVConverter>(std::make_unique<TBorrowedReader>(*reader_),
                                                 std::make_unique<TConvertParam>(params_));
    if (params_[position_].GetPosType() == TOrderedParamString::PosBody) {
        // The converter hands extraction the body parameters in list order.
        bodyIndex_ = static_cast<std::size_t>(
            std::count_if(params_.begin(), params_.begin() + static_cast<long>(position_),
                          [](const TOrderedParamString& p) {
                              return p.GetPosType() == TOrderedParamString::PosBody;
                          }));
    }
}

std::shared_ptr<const TBasicMail> TMailPreview::ReadMail(int index, std::string* problem) {
    if (index != cachedIndex_) {
        warnings_.clear();
        cachedMail_.reset();
        cachedProblem_.clear();
        cachedIndex_ = index;
        try {
            cachedMail_ = reader_->GetMail(index);
        } catch (const std::exception& e) {
            cachedProblem_ = ErrorText(e);
        }
        cachedWarnings_ = std::move(warnings_);
        warnings_.clear();
    }
    *problem = cachedProblem_;
    return cachedMail_;
}

std::string TMailPreview::ValueOf(const TBasicMail& mail) const {
    const TCSVConverter::TRow row = converter_->BuildRow(mail);
    const std::size_t column = converter_->ColumnOf(position_);
    return column < row.size() ? row[column] : std::string();
}

TPreviewShot TMailPreview::Show(int index) {
    TPreviewShot shot;
    shot.count = count_;
    if (!reader_) {
        shot.problem = storeProblem_;
        return shot;
    }
    if (count_ == 0) {
        return shot;
    }
    shot.index = std::clamp(index, 0, count_ - 1);
    shot.mail = ReadMail(shot.index, &shot.problem);
    shot.warnings = cachedWarnings_;
    if (!shot.mail || !converter_) {
        return shot;
    }
    const TOrderedParamString& param = params_[position_];
    try {
        shot.value = ValueOf(*shot.mail);
        if (bodyIndex_) {
            for (const auto& span : TFieldExtractor::LocateBodyValues(shot.mail->GetBody(),
                                                                      converter_->BodyParams())) {
                if (span.param == *bodyIndex_) {
                    shot.span = span;
                }
            }
        } else if (param.GetPosType() == TOrderedParamString::PosHeader) {
            shot.headerKey = sjis::ToUpper(param.GetParamKey());
        }
    } catch (const std::exception& e) {
        // A failing regular-expression search fails the whole mail's row.
        shot.value.clear();
        shot.span.reset();
        shot.problem = ErrorText(e);
    }
    return shot;
}

TPreviewSearch TMailPreview::FindNext(int index, const std::stop_token& stop,
                                      const std::function<void(int index)>& progress) {
    TPreviewSearch result;
    if (!converter_) {
        return result;
    }
    for (int i = std::max(index + 1, 0); i < count_; ++i) {
        if (stop.stop_requested()) {
            result.stopped = true;
            return result;
        }
        if (progress) {
            progress(i);
        }
        warnings_.clear();
        try {
            const std::unique_ptr<TBasicMail> mail = reader_->GetMail(i);
            if (mail && !ValueOf(*mail).empty()) {
                result.found = i;
                return result;
            }
        } catch (const std::exception&) {
            // A mail that cannot be read or searched holds no value.
        }
    }
    return result;
}
