#include "convert/TResultTable.h"

#include <algorithm>

TResultTable::TResultTable(const std::vector<std::string>& fieldNames)
    : columns_(static_cast<int>(fieldNames.size()) + 1) {
    TRow letters(columns_);
    TRow titles(columns_);
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        letters[i + 1] = ColumnLetter(static_cast<int>(i));
        titles[i + 1] = fieldNames[i];
    }
    rows_.push_back(std::move(letters));
    rows_.push_back(std::move(titles));
}

void TResultTable::SetRowCount(int count) {
    rows_.resize(static_cast<std::size_t>(std::max(count, 0)), TRow(columns_));
}

std::string TResultTable::ColumnLetter(int index) {
    std::string letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return letters;
}
