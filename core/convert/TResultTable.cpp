#include "convert/TResultTable.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::size_t kOffsetSize = sizeof(std::uint32_t);
// Slabs grow from 4 KiB to 1 MiB as a table grows: small tables stay small,
// large ones allocate rarely.
constexpr std::size_t kFirstSlabWords = 1024;
constexpr std::size_t kLargestSlabWords = 256 * 1024;

}  // namespace

std::string_view TResultTable::TRowView::operator[](std::size_t column) const {
    if (block_ == nullptr) {
        return {};
    }
    const std::uint32_t begin = column == 0 ? 0 : block_[column - 1];
    const char* text = reinterpret_cast<const char*>(block_ + columns_);
    return {text + begin, block_[column] - begin};
}

TResultTable::TRow TResultTable::TRowView::Cells() const {
    TRow cells;
    cells.reserve(size());
    for (std::size_t c = 0; c < size(); ++c) {
        cells.emplace_back((*this)[c]);
    }
    return cells;
}

TResultTable::TResultTable(const std::vector<std::string>& fieldNames)
    : columns_(static_cast<int>(fieldNames.size()) + 1) {
    TRow letters(static_cast<std::size_t>(columns_));
    TRow titles(static_cast<std::size_t>(columns_));
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        letters[i + 1] = ColumnLetter(static_cast<int>(i));
        titles[i + 1] = fieldNames[i];
    }
    rows_.push_back(MakeBlock([&](std::size_t c) { return std::string_view(letters[c]); }));
    rows_.push_back(MakeBlock([&](std::size_t c) { return std::string_view(titles[c]); }));
}

template <typename TCellOf>
std::size_t TResultTable::TextSize(TCellOf cell) const {
    std::size_t bytes = 0;
    for (std::size_t c = 0; c < static_cast<std::size_t>(columns_); ++c) {
        bytes += cell(c).size();
    }
    if (bytes > UINT32_MAX) {
        throw std::length_error("result row too long");
    }
    return bytes;
}

template <typename TCellOf>
void TResultTable::WriteBlock(TCellOf cell, char* image) const {
    const auto columns = static_cast<std::size_t>(columns_);
    char* text = image + columns * kOffsetSize;
    std::uint32_t end = 0;
    for (std::size_t c = 0; c < columns; ++c) {
        const std::string_view value = cell(c);
        if (!value.empty()) {
            std::memcpy(text + end, value.data(), value.size());
        }
        end += static_cast<std::uint32_t>(value.size());
        std::memcpy(image + c * kOffsetSize, &end, kOffsetSize);
    }
}

template <typename TCellOf>
TResultTable::TBlock TResultTable::MakeBlock(TCellOf cell) {
    const std::size_t bytes = TextSize(cell);
    if (bytes == 0) {
        return nullptr;
    }
    const auto columns = static_cast<std::size_t>(columns_);
    std::uint32_t* block = Allot(columns + (bytes + kOffsetSize - 1) / kOffsetSize);
    WriteBlock(cell, reinterpret_cast<char*>(block));
    return block;
}

std::uint32_t* TResultTable::Allot(std::size_t words) {
    if (words > kLargestSlabWords / 4) {
        // A huge row gets a slab of its own; the one being filled goes on.
        TSlab own(new std::uint32_t[words]);
        slabs_.push_back(own);
        return own.get();
    }
    if (filling_ == nullptr || fillingWords_ - fillingUsed_ < words) {
        fillingWords_ =
            filling_ == nullptr ? kFirstSlabWords : std::min(2 * fillingWords_, kLargestSlabWords);
        // A row larger than the next slab's size (but not huge) gets a slab it fits in.
        fillingWords_ = std::max(fillingWords_, words);
        filling_.reset(new std::uint32_t[fillingWords_]);
        fillingUsed_ = 0;
        Prefault(filling_.get(), fillingWords_);
    }
    Hold(filling_);
    std::uint32_t* room = filling_.get() + fillingUsed_;
    fillingUsed_ += words;
    return room;
}

// A new slab is filled row by row; taking all its pages in one call costs
// far less than a page fault for each of them.
void TResultTable::Prefault(std::uint32_t* slab, std::size_t words) {
#if defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(slab) + page - 1) / page * page;
    const auto end = reinterpret_cast<std::uintptr_t>(slab + words) / page * page;
    if (end > begin) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);  // a hint only
    }
#else
    (void)slab;
    (void)words;
#endif
}

void TResultTable::Hold(const TSlab& slab) {
    if (slabs_.empty() || slabs_.back() != slab) {
        slabs_.push_back(slab);
    }
}

std::size_t TResultTable::CheckedColumn(int column) const {
    if (column < 0 || column >= columns_) {
        throw std::out_of_range("result table column");
    }
    return static_cast<std::size_t>(column);
}

void TResultTable::SetRowCount(int count) {
    rows_.resize(static_cast<std::size_t>(std::max(count, 0)));
}

TResultTable::TRowView TResultTable::Row(int row) const {
    return TRowView(rows_.at(static_cast<std::size_t>(row)), columns_);
}

void TResultTable::SetRow(int row, const TRow& cells) {
    TBlock& target = rows_.at(static_cast<std::size_t>(row));
    target = MakeBlock([&](std::size_t c) {
        return c < cells.size() ? std::string_view(cells[c]) : std::string_view();
    });
}

void TResultTable::SetCell(int row, int column, std::string_view text) {
    const TRowView old = Row(row);
    const std::size_t changed = CheckedColumn(column);
    rows_[static_cast<std::size_t>(row)] =
        MakeBlock([&](std::size_t c) { return c == changed ? text : old[c]; });
}

auto TResultTable::MailCells(const std::string& numberText, const TRow& values) {
    return [&numberText, &values](std::size_t c) {
        if (c == 0) {
            return std::string_view(numberText);
        }
        return c - 1 < values.size() ? std::string_view(values[c - 1]) : std::string_view();
    };
}

void TResultTable::PutRow(int number, TRow&& values) {
    const std::string numberText = std::to_string(number);
    rows_.push_back(MakeBlock(MailCells(numberText, values)));
}

void TResultTable::Pack(int number, TRow&& values, std::string& out) const {
    const std::string numberText = std::to_string(number);
    const auto cells = MailCells(numberText, values);
    const std::size_t bytes = TextSize(cells);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(columns_) * kOffsetSize + bytes);
    WriteBlock(cells, out.data() + at);
}

void TResultTable::PutPacked(int /*number*/, std::string_view packed) {
    const std::size_t offsets = static_cast<std::size_t>(columns_) * kOffsetSize;
    if (packed.size() < offsets) {
        throw std::invalid_argument("packed row of another width");
    }
    std::uint32_t* block = Allot((packed.size() + kOffsetSize - 1) / kOffsetSize);
    std::memcpy(block, packed.data(), packed.size());
    rows_.push_back(block);
}

void TResultTable::MoveRowsTo(TResultTable& target) {
    if (target.columns_ != columns_) {
        throw std::invalid_argument("result tables of different widths");
    }
    target.rows_.insert(target.rows_.end(), rows_.begin(), rows_.end());
    rows_.clear();
    for (const TSlab& slab : slabs_) {
        target.Hold(slab);
    }
    slabs_.clear();
}

std::string TResultTable::ColumnLetter(int index) {
    std::string letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return letters;
}
