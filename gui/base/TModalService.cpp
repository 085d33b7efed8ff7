#include "gui/base/TModalService.h"

namespace {

TModalService* installed = nullptr;

class TUnansweredModalService : public TModalService {
  public:
    TModalResult Message(QWidget*, const QString&, TMsgKind, TMsgButtons buttons, int) override {
        return EscapeAnswer(buttons);
    }
    std::optional<QString> OpenFile(QWidget*, const TFileRequest&) override { return std::nullopt; }
    std::optional<QString> SaveFile(QWidget*, const TFileRequest&) override { return std::nullopt; }
    std::optional<QString> BrowseFolder(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
};

}  // namespace

TModalService& TModalService::Current() {
    if (installed != nullptr) {
        return *installed;
    }
    static TUnansweredModalService nobody;
    return nobody;
}

TModalService* TModalService::Install(TModalService* service) {
    TModalService* previous = installed;
    installed = service;
    return previous;
}

TModalResult TModalService::EscapeAnswer(TMsgButtons buttons) {
    switch (buttons) {
        case TMsgButtons::Ok:
        case TMsgButtons::OkHelp:
            return TModalResult::Ok;
        case TMsgButtons::OkCancel:
        case TMsgButtons::YesNoCancel:
        case TMsgButtons::SaveDiscardCancel:
            return TModalResult::Cancel;
        case TMsgButtons::YesNo:
        case TMsgButtons::YesNoHelp:
            break;
    }
    return TModalResult::No;
}
