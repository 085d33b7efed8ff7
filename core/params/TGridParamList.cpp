#include "params/TGridParamList.h"

#include <utility>

void TGridParamList::Add(const TOrderedParamString& param) {
    entries_.emplace_back(param);
    Renumber();
}

void TGridParamList::Remove(int i) {
    const int removed = entries_.at(i).GetFieldOrder();
    entries_.erase(entries_.begin() + i);
    for (auto& e : entries_) {
        if (e.GetFieldOrder() > removed) {
            e.SetFieldOrder(e.GetFieldOrder() - 1);
        }
    }
    Renumber();
}

void TGridParamList::MoveUp(int i) {
    if (i < 1 || i >= Count()) {
        return;
    }
    std::swap(entries_[i - 1], entries_[i]);
    SetOrdersAt(i - 1);
    SetOrdersAt(i);
}

void TGridParamList::MoveDown(int i) {
    if (i < 0 || i + 1 >= Count()) {
        return;
    }
    std::swap(entries_[i], entries_[i + 1]);
    SetOrdersAt(i);
    SetOrdersAt(i + 1);
}

void TGridParamList::Set(int i, const TOrderedParamString& param) {
    entries_.at(i) = TGridParamString(param);
    Renumber();
}

void TGridParamList::SetOrdersAt(int i) {
    if (autoSetFieldNumber_) {
        entries_[i].SetFieldOrder(i);
    }
    if (autoSetParamOrder_) {
        entries_[i].SetParamOrder(i);
    }
}

void TGridParamList::Renumber() {
    if (autoSetParamOrder_) {
        for (int i = 0; i < Count(); ++i) {
            entries_[i].SetParamOrder(i);
        }
    }
    if (autoSetFieldNumber_) {
        for (int i = 0; i < Count(); ++i) {
            entries_[i].SetFieldOrder(i);
        }
    }
}
