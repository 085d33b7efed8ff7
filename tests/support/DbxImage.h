#pragma once
// Builds Outlook Express folder files in memory: the header fields, index
// tree nodes, message information objects and chains of data blocks that
// the reader looks at, laid out one after another.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TDbxImage {
  public:
    struct TEntry {
        std::uint32_t message;
        std::uint32_t child = 0;
        std::uint32_t childValues = 0;
    };

    TDbxImage() : bytes_(0x100, '\0') {}

    void SetHeader(std::uint32_t count, std::uint32_t root) {
        Put32(0xC4, count);
        Put32(0xE4, root);
    }

    // The text split into blocks of at most `blockSize` bytes.
    std::uint32_t AddText(std::string_view text, std::size_t blockSize = 0x200) {
        std::vector<std::uint32_t> blocks;
        for (std::size_t at = 0; at < text.size() || blocks.empty(); at += blockSize) {
            const std::string_view piece = text.substr(at, blockSize);
            const std::uint32_t b = Append(0x10 + piece.size());
            Put32(b + 0x08, static_cast<std::uint32_t>(piece.size()));
            bytes_.replace(b + 0x10, piece.size(), piece);
            if (!blocks.empty()) {
                Put32(blocks.back() + 0x0C, b);
            }
            blocks.push_back(b);
            if (text.empty()) {
                break;
            }
        }
        return blocks.front();
    }

    // A message object whose field 3 holds the first block, in the field
    // itself (`direct`) or in the data area.
    std::uint32_t AddMessage(std::uint32_t firstBlock, bool direct = true,
                             std::uint8_t field4Id = 0x81) {
        constexpr std::uint8_t kFields = 5;
        const std::uint32_t m = Append(0x0C + 4 * kFields + 8);
        bytes_[m + 0x0A] = static_cast<char>(kFields);
        bytes_[m + 0x1C] = static_cast<char>(field4Id);
        if (direct) {
            bytes_[m + 0x18] = static_cast<char>(0x84);
            Put24(m + 0x19, firstBlock);
        } else {
            constexpr std::uint8_t kPosition = 4;
            bytes_[m + 0x18] = 0x04;
            bytes_[m + 0x19] = static_cast<char>(kPosition);
            Put32(m + 0x0C + 4 * kFields + kPosition, firstBlock);
        }
        return m;
    }

    std::uint32_t AddNode(std::uint32_t firstChild, std::uint32_t firstChildValues,
                          const std::vector<TEntry>& entries) {
        const std::uint32_t n = Append(0x18 + 12 * entries.size());
        Put32(n + 0x08, firstChild);
        bytes_[n + 0x11] = static_cast<char>(entries.size());
        Put32(n + 0x14, firstChildValues);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Put32(n + 0x18 + 12 * i, entries[i].message);
            Put32(n + 0x18 + 12 * i + 4, entries[i].child);
            Put32(n + 0x18 + 12 * i + 8, entries[i].childValues);
        }
        return n;
    }

    void Put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_[at + i] = static_cast<char>(v >> (8 * i));
        }
    }
    void Put24(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 3; ++i) {
            bytes_[at + i] = static_cast<char>(v >> (8 * i));
        }
    }

    const std::string& Bytes() const { return bytes_; }
    std::string& Bytes() { return bytes_; }

  private:
    std::uint32_t Append(std::size_t size) {
        const auto at = static_cast<std::uint32_t>(bytes_.size());
        bytes_.append(size, '\0');
        return at;
    }

    std::string bytes_;
};
