#include "codeconv/TCp932Tables.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "base/Utf8Text.h"

namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kEucJp = "EUC-JP-MS";

// What one byte sequence becomes. Codes above 0xFF are two CP932 bytes.
struct TEntry {
    // kIconv: iconv gave more than one character; left to iconv itself.
    enum TKind : std::uint8_t { kInvalid, kChar, kEmpty, kLead, kIconv };
    TKind kind = kInvalid;
    std::uint16_t code = 0;
};

// Writes `e` at `p`, which has room for two bytes; returns the new end.
char* Put(const TEntry& e, char* p) {
    if (e.kind != TEntry::kChar) {
        return p;
    }
    if (e.code > 0xFF) {
        *p++ = static_cast<char>(e.code >> 8);
    }
    *p++ = static_cast<char>(e.code & 0xFF);
    return p;
}

// The output written straight into `out`: no CP932 form is longer than the
// bytes it comes from (two bytes at most for two or more), so room for the
// rest of the input suffices. Byte appends cost a capacity check each.
class TDirectOut {
  public:
    TDirectOut(std::string& out, std::size_t room) : out_(out), end_(out.size()) { Open(room); }
    ~TDirectOut() { out_.resize(end_); }
    TDirectOut(const TDirectOut&) = delete;
    TDirectOut& operator=(const TDirectOut&) = delete;

    void Put(const TEntry& e) {
        if (out_.size() - end_ < 2) {
            Open(0);  // only if a table entry were longer than its input
        }
        end_ = static_cast<std::size_t>(::Put(e, out_.data() + end_) - out_.data());
    }
    void PutBytes(std::string_view bytes) {
        if (out_.size() - end_ < bytes.size()) {
            Open(bytes.size());
        }
        std::memcpy(out_.data() + end_, bytes.data(), bytes.size());
        end_ += bytes.size();
    }
    // Calls put(at, p) for `at` = from, from + step, ... while it gives true;
    // each call consumes `step` bytes of input and writes at most two bytes
    // at p, advancing it. The write position is kept in a local: bytes
    // written through a char pointer could alias this object, whose members
    // would be read again after every byte. Returns where the run ended.
    template <typename Fn>
    std::size_t PutRun(std::size_t from, Fn&& put, std::size_t step) {
        char* const begin = out_.data();
        char* p = begin + end_;
        std::size_t at = from;
        while (put(at, p)) {
            at += step;
        }
        end_ = static_cast<std::size_t>(p - begin);
        return at;
    }
    // Hands `out` back for plain appends, then makes room for `room` more.
    template <typename Fn>
    void Append(std::size_t room, Fn&& fn) {
        out_.resize(end_);
        fn(out_);
        end_ = out_.size();
        Open(room);
    }

  private:
    void Open(std::size_t room) { out_.resize(end_ + room + 2); }
    std::string& out_;
    std::size_t end_;
};

// One raw iconv descriptor that converts single characters.
class TProbe {
  public:
    TProbe(const char* from) : cd_(iconv_open("CP932", from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv_open ") + from + " -> CP932");
        }
    }
    ~TProbe() { iconv_close(cd_); }
    TProbe(const TProbe&) = delete;
    TProbe& operator=(const TProbe&) = delete;

    // `in` as one character: kLead when it is the start of a longer one.
    TEntry Convert(std::string_view in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());  // iconv's signature is not const-correct
        std::size_t srcLeft = in.size();
        char buffer[8];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
            return {errno == EINVAL ? TEntry::kLead : TEntry::kInvalid, 0};
        }
        const auto n = static_cast<std::size_t>(dst - buffer);
        if (srcLeft != 0 || n > 2) {
            throw std::runtime_error("iconv: not one character");  // no table then
        }
        if (n == 0) {
            return {TEntry::kEmpty, 0};
        }
        const auto b0 = static_cast<unsigned char>(buffer[0]);
        const auto code = n == 1 ? b0 : (b0 << 8 | static_cast<unsigned char>(buffer[1]));
        return {TEntry::kChar, static_cast<std::uint16_t>(code)};
    }

  private:
    iconv_t cd_;
};

std::string Utf8Of(std::uint32_t cp) {
    std::string s;
    utf8::Append(s, cp);
    return s;
}

// CP932 form of every character of the Basic Multilingual Plane. Beyond it
// CP932 holds nothing, but iconv drops the tag characters U+E0000-E007F.
// Read from iconv one page of 256 characters at a time, when a text first
// needs one: mails use a few dozen pages, and probing all of them cost
// more at start-up than converting thousands of mails.
class TUtf8Table {
  public:
    static TUtf8Table* Get() {
        static TUtf8Table* table = Build();
        return table;
    }
    // Whether every 7-bit character becomes its own byte, so runs of them
    // can be copied as they are.
    bool AsciiIsItself() const { return asciiIsItself_; }
    const TEntry& operator[](std::uint32_t cp) {
        static const TEntry kInvalid{};
        if (cp < 0x10000) {
            const TEntry* page = pages_[cp >> 8].load(std::memory_order_acquire);
            return (page != nullptr ? page : BuildPage(cp >> 8))[cp & 0xFF];
        }
        return cp - kTags < tags_.size() ? tags_[cp - kTags] : kInvalid;
    }

  private:
    static TUtf8Table* Build() {
        try {
            static TUtf8Table table;
            return &table;
        } catch (const std::exception&) {
            return nullptr;  // callers keep using iconv
        }
    }
    TUtf8Table() : probe_(kUtf8), entries_(0x10000) {
        for (std::uint32_t i = 0; i < tags_.size(); ++i) {
            tags_[i] = probe_.Convert(Utf8Of(kTags + i));
        }
        const TEntry* ascii = BuildPage(0);
        asciiIsItself_ = std::all_of(ascii, ascii + 0x80, [ascii](const TEntry& e) {
            return e.kind == TEntry::kChar && e.code == &e - ascii;
        });
    }
    [[gnu::noinline]] const TEntry* BuildPage(std::uint32_t page) {
        std::lock_guard lock(mutex_);
        TEntry* entries = &entries_[page << 8];
        if (pages_[page].load(std::memory_order_relaxed) == nullptr) {
            for (std::uint32_t low = 0; low < 0x100; ++low) {
                const std::uint32_t cp = page << 8 | low;
                if (cp >= 0xD800 && cp <= 0xDFFF) {
                    continue;
                }
                try {
                    entries[low] = probe_.Convert(Utf8Of(cp));
                } catch (const std::exception&) {
                    entries[low] = {TEntry::kIconv, 0};
                }
            }
            pages_[page].store(entries, std::memory_order_release);
        }
        return entries;
    }
    static constexpr std::uint32_t kTags = 0xE0000;
    TProbe probe_;
    std::mutex mutex_;
    std::vector<TEntry> entries_;
    std::array<std::atomic<const TEntry*>, 0x100> pages_{};
    std::array<TEntry, 0x80> tags_{};
    bool asciiIsItself_ = false;
};

// Strict UTF-8 at `i`: the code point and the sequence's length, or 0 for
// a sequence that is broken, overlong, a surrogate or beyond U+10FFFF.
std::size_t Utf8Sequence(std::string_view text, std::size_t i, std::uint32_t& cp) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len;
    std::uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < len) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) {
            return 0;
        }
        cp = cp << 6 | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

// The entry of a well-formed three-byte sequence at `i` (kana and kanji)
// that the table holds as one character, or null for every other case.
const TEntry* ThreeByteChar(TUtf8Table& table, std::string_view text, std::size_t i) {
    if (text.size() - i < 3) {
        return nullptr;  // also where the text ends
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0xE0 || c > 0xEF) {
        return nullptr;
    }
    const auto t1 = static_cast<unsigned char>(text[i + 1]);
    const auto t2 = static_cast<unsigned char>(text[i + 2]);
    if ((t1 & 0xC0) != 0x80 || (t2 & 0xC0) != 0x80) {
        return nullptr;
    }
    const std::uint32_t cp = (c & 0x0Fu) << 12 | (t1 & 0x3Fu) << 6 | (t2 & 0x3Fu);
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return nullptr;
    }
    const TEntry& e = table[cp];
    return e.kind == TEntry::kChar ? &e : nullptr;
}

// Every EUC-JP sequence of one to three bytes, probed byte by byte. The
// sequences after one lead byte (and after one two-byte lead) are read from
// iconv when a text first has that lead: probing all of them took as long
// as converting many thousands of mails, and texts use a few leads.
class TEucTable {
  public:
    static TEucTable* Get() {
        static TEucTable* table = Build();
        return table;
    }
    const TEntry& Single(unsigned char b0) const { return single_[b0]; }
    const TEntry& Double(unsigned char b0, unsigned char b1) {
        const TEntry* row = doubles_[b0].load(std::memory_order_acquire);
        return (row != nullptr ? row : BuildDouble(b0))[b1];
    }
    // The entry of three bytes; only reached when Double gave kLead.
    const TEntry& Triple(unsigned char b0, unsigned char b1, unsigned char b2) {
        const TEntry* row = triples_[b0 << 8 | b1].load(std::memory_order_acquire);
        return (row != nullptr ? row : BuildTriple(b0, b1))[b2];
    }

  private:
    using TRow = std::array<TEntry, 0x100>;

    static TEucTable* Build() {
        try {
            static TEucTable table;
            return &table;
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    TEucTable() : probe_(kEucJp) {
        for (int b0 = 0; b0 < 0x100; ++b0) {
            const char s0[] = {static_cast<char>(b0)};
            single_[b0] = probe_.Convert(std::string_view(s0, 1));
        }
    }
    [[gnu::noinline]] const TEntry* BuildDouble(unsigned char b0) {
        std::lock_guard lock(mutex_);
        if (const TEntry* row = doubles_[b0].load(std::memory_order_relaxed)) {
            return row;
        }
        TRow& row = rows_.emplace_back();
        for (int b1 = 0; b1 < 0x100; ++b1) {
            const char s1[] = {static_cast<char>(b0), static_cast<char>(b1)};
            row[b1] = Probe(std::string_view(s1, 2));
        }
        doubles_[b0].store(row.data(), std::memory_order_release);
        return row.data();
    }
    [[gnu::noinline]] const TEntry* BuildTriple(unsigned char b0, unsigned char b1) {
        std::lock_guard lock(mutex_);
        if (const TEntry* row = triples_[b0 << 8 | b1].load(std::memory_order_relaxed)) {
            return row;
        }
        TRow& row = rows_.emplace_back();
        for (int b2 = 0; b2 < 0x100; ++b2) {
            const char s2[] = {static_cast<char>(b0), static_cast<char>(b1), static_cast<char>(b2)};
            row[b2] = Probe(std::string_view(s2, 3));
            if (row[b2].kind == TEntry::kLead) {
                row[b2] = {};  // EUC-JP has no longer characters: read as broken
            }
        }
        triples_[b0 << 8 | b1].store(row.data(), std::memory_order_release);
        return row.data();
    }
    // A sequence iconv reads as more than one character has no entry; the
    // converters reading it fall back to iconv for the whole text.
    TEntry Probe(std::string_view bytes) {
        try {
            return probe_.Convert(bytes);
        } catch (const std::exception&) {
            return {TEntry::kIconv, 0};
        }
    }

    TProbe probe_;
    std::mutex mutex_;
    std::deque<TRow> rows_;  // never moved once built
    std::array<TEntry, 0x100> single_{};
    std::array<std::atomic<const TEntry*>, 0x100> doubles_{};
    std::vector<std::atomic<const TEntry*>> triples_ =
        std::vector<std::atomic<const TEntry*>>(0x10000);
};

// What TIconv::Convert does at a sequence it cannot convert. Near the end
// iconv may see the start of a character cut short rather than a bad one,
// so the last bytes are left to iconv itself (`i` then ends the text).
void Replace(std::string_view text, std::size_t& i, std::string& out, const char* encoding,
             TIconv::SkipFn skip) {
    constexpr std::size_t kLongestSequence = 6;
    if (text.size() - i <= kLongestSequence) {
        TIconv::ForThread("CP932", encoding).Convert(text.substr(i), out, skip);
        i = text.size();
        return;
    }
    out += '?';
    const std::size_t n = std::max<std::size_t>(1, skip(text.substr(i)));
    i += std::min(n, text.size() - i);
}

}  // namespace

bool TCp932Tables::AppendFromUtf8(std::string_view text, std::string& out) {
    TUtf8Table* table = TUtf8Table::Get();
    if (table == nullptr) {
        return false;
    }
    TDirectOut direct(out, text.size());
    const bool asciiIsItself = table->AsciiIsItself();
    std::size_t i = 0;
    while (i < text.size()) {
        if (asciiIsItself && static_cast<unsigned char>(text[i]) < 0x80) {
            std::size_t end = i + 1;
            while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) {
                ++end;
            }
            direct.PutBytes(text.substr(i, end - i));
            i = end;
            continue;
        }
        if (ThreeByteChar(*table, text, i) != nullptr) {
            // Runs of kana and kanji, the common case, in a loop of their own.
            i = direct.PutRun(
                i,
                [&](std::size_t at, char*& p) {
                    const TEntry* e = ThreeByteChar(*table, text, at);
                    if (e == nullptr) {
                        return false;
                    }
                    p = ::Put(*e, p);
                    return true;
                },
                3);
            continue;
        }
        std::uint32_t cp = static_cast<unsigned char>(text[i]);
        const std::size_t len = cp < 0x80 ? 1 : Utf8Sequence(text, i, cp);
        const TEntry* e = len != 0 ? &(*table)[cp] : nullptr;
        if (e == nullptr || e->kind == TEntry::kInvalid) {
            direct.Append(text.size() - i,
                          [&](std::string& o) { Replace(text, i, o, kUtf8, &TIconv::SkipUtf8); });
            continue;
        }
        if (e->kind == TEntry::kIconv) {
            direct.Append(text.size() - i - len, [&](std::string& o) {
                TIconv::ForThread("CP932", kUtf8)
                    .Convert(text.substr(i, len), o, &TIconv::SkipUtf8);
            });
        } else {
            direct.Put(*e);
        }
        i += len;
    }
    return true;
}

bool TCp932Tables::AppendFromEucJp(std::string_view text, std::string& out, TIconv::SkipFn skip) {
    TEucTable* table = TEucTable::Get();
    if (table == nullptr) {
        return false;
    }
    const std::size_t n = text.size();
    TDirectOut direct(out, n);
    const auto replace = [&](std::size_t& at) {
        direct.Append(n - at, [&](std::string& o) { Replace(text, at, o, kEucJp, skip); });
    };
    std::size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const TEntry* e = &table->Single(b0);
        std::size_t len = 1;
        if (e->kind == TEntry::kLead) {
            if (i + 1 >= n) {
                replace(i);  // cut at the end
                continue;
            }
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            e = &table->Double(b0, b1);
            len = 2;
            if (e->kind == TEntry::kLead) {
                if (i + 2 >= n) {
                    replace(i);
                    continue;
                }
                e = &table->Triple(b0, b1, static_cast<unsigned char>(text[i + 2]));
                len = 3;
            }
        }
        if (e->kind == TEntry::kInvalid || e->kind == TEntry::kLead) {
            replace(i);
            continue;
        }
        if (e->kind == TEntry::kIconv) {
            direct.Append(n - i - len, [&](std::string& o) {
                TIconv::ForThread("CP932", kEucJp).Convert(text.substr(i, len), o, skip);
            });
        } else {
            direct.Put(*e);
        }
        i += len;
    }
    return true;
}
