#include "base/TThreadStop.h"

namespace {

thread_local const std::function<bool()>* current = nullptr;

}  // namespace

TThreadStop::TScope::TScope(const std::function<bool()>& requested) : outer_(current) {
    current = &requested;
}

TThreadStop::TScope::~TScope() {
    current = outer_;
}

bool TThreadStop::Requested() {
    return current != nullptr && *current && (*current)();
}
