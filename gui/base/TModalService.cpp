#include "gui/base/TModalService.h"

#include "gui/base/TQtModalService.h"

namespace {

TModalService* installed = nullptr;

}  // namespace

TModalService& TModalService::Current() {
    if (installed != nullptr) {
        return *installed;
    }
    static TQtModalService production;
    return production;
}

TModalService* TModalService::Install(TModalService* service) {
    TModalService* previous = installed;
    installed = service;
    return previous;
}
