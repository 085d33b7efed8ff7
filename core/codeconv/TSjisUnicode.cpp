#include "codeconv/TSjisUnicode.h"

#include <array>
#include <cstdint>

#include "base/SjisText.h"
#include "codeconv/TIconv.h"

namespace {

// UTF-8 form of every CP932 character, read once from iconv: converting
// through the table is several times faster than iconv itself, which matters
// for UTF-8 CSV files of hundreds of megabytes. An empty entry is a code
// CP932 does not assign.
class TCp932ToUtf8Table {
  public:
    struct TEntry {
        std::uint8_t length = 0;
        char bytes[3] = {};
    };

    static const TCp932ToUtf8Table& Get() {
        static const TCp932ToUtf8Table table;
        return table;
    }

    const TEntry& Single(unsigned char c) const { return single_[c]; }
    const TEntry& Double(unsigned char lead, unsigned char trail) const {
        return double_[(lead - 0x80) * 256 + trail];
    }

  private:
    TCp932ToUtf8Table() {
        TIconv converter("UTF-8", "CP932");
        for (int c = 0x80; c < 0x100; ++c) {
            if (!sjis::IsLeadByte(static_cast<unsigned char>(c))) {
                Fill(converter, std::string(1, static_cast<char>(c)), single_[c]);
            }
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!sjis::IsLeadByte(static_cast<unsigned char>(lead))) {
                continue;
            }
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (sjis::IsTrailByte(static_cast<unsigned char>(trail))) {
                    const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                    Fill(converter, std::string(code, 2), double_[(lead - 0x80) * 256 + trail]);
                }
            }
        }
    }

    static void Fill(TIconv& converter, const std::string& code, TEntry& entry) {
        std::string out;
        converter.Convert(code, out, &TIconv::SkipSjis, std::string_view());
        if (!out.empty() && out.size() <= sizeof entry.bytes) {
            entry.length = static_cast<std::uint8_t>(out.size());
            out.copy(entry.bytes, out.size());
        }
    }

    std::array<TEntry, 256> single_{};
    std::array<TEntry, 0x80 * 256> double_{};
};

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string TSjisUnicode::ToUtf8(std::string_view sjis) {
    std::size_t unmapped = 0;
    return ToUtf8(sjis, unmapped);
}

std::string TSjisUnicode::ToUtf8(std::string_view sjis, std::size_t& unmapped) {
    unmapped = 0;
    if (IsAscii(sjis)) {
        return std::string(sjis);
    }
    const TCp932ToUtf8Table& table = TCp932ToUtf8Table::Get();
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    const std::size_t n = sjis.size();
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            std::size_t run = i + 1;
            while (run < n && static_cast<unsigned char>(sjis[run]) < 0x80) {
                ++run;
            }
            out.append(sjis.data() + i, run - i);
            i = run;
            continue;
        }
        const TCp932ToUtf8Table::TEntry* entry = &table.Single(c);
        std::size_t width = 1;
        if (sjis::IsLeadByte(c)) {
            if (i + 1 >= n) {
                out += '?';  // cut at the end
                ++unmapped;
                break;
            }
            const auto trail = static_cast<unsigned char>(sjis[i + 1]);
            if (sjis::IsTrailByte(trail)) {
                entry = &table.Double(c, trail);
                width = 2;
            }
        }
        if (entry->length == 0) {
            out += '?';
            ++unmapped;
        } else {
            out.append(entry->bytes, entry->length);
        }
        i += width;
    }
    return out;
}

std::string TSjisUnicode::FromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    std::string out;
    out.reserve(utf8.size());
    TIconv::ForThread("CP932", "UTF-8").Convert(utf8, out, &TIconv::SkipUtf8);
    return out;
}

std::filesystem::path TSjisUnicode::ToPath(std::string_view sjisPath) {
    return std::filesystem::path(ToUtf8(sjisPath));
}

std::string TSjisUnicode::FromPath(const std::filesystem::path& path) {
    return FromUtf8(path.string());
}
