#include "params/TDateNormalizer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>

#include "base/SjisText.h"

namespace {

using namespace std::chrono;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 12> kMonthNumbers = {"1", "2", "3", "4",  "5",  "6",
                                                            "7", "8", "9", "10", "11", "12"};

// Zone names that mail dates use instead of a numeric offset.
struct TZoneName {
    std::string_view name;
    int hoursEastOfUtc;
};
constexpr TZoneName kZoneNames[] = {{"UT", 0},   {"GMT", 0},  {"Z", 0},    {"EST", -5},
                                    {"EDT", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7},
                                    {"MDT", -6}, {"PST", -8}, {"PDT", -7}, {"JST", 9}};

constexpr minutes kJapanOffset = hours(9);

constexpr std::array<std::string_view, 7> kWeekdays = {"Mon", "Tue", "Wed", "Thu",
                                                       "Fri", "Sat", "Sun"};

std::string_view Trim(std::string_view s) {
    return sjis::TrimControl(s);
}

// string_view::find for the short texts of a date: a byte loop costs less
// than starting a library search.
std::size_t Find(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The part before the first blank; empty when there is none.
std::string_view BeforeBlank(std::string_view s) {
    const std::size_t blank = Find(s, ' ');
    return blank == std::string_view::npos ? std::string_view() : s.substr(0, blank);
}

// The part after the first blank; the whole text when there is none.
std::string_view AfterBlank(std::string_view s) {
    const std::size_t blank = Find(s, ' ');
    return blank == std::string_view::npos ? s : s.substr(blank + 1);
}

bool IsWeekday(std::string_view word) {
    return std::any_of(kWeekdays.begin(), kWeekdays.end(),
                       [&](std::string_view day) { return sjis::EqualsNoCase(word, day); });
}

// First occurrence of an ASCII word, ignoring case, on a character boundary.
std::size_t FindNoCase(std::string_view text, std::string_view word) {
    const char head = sjis::AsciiUpper(word.front());
    for (std::size_t i = 0; i + word.size() <= text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (sjis::AsciiUpper(static_cast<char>(c)) == head &&
            sjis::EqualsNoCase(text.substr(i, word.size()), word)) {
            return i;
        }
        i += sjis::IsLeadByte(c) ? 2 : 1;
    }
    return std::string_view::npos;
}

// Bit m set when the name of month m occurs (ignoring case, on a character
// boundary): one pass instead of one per month.
unsigned MonthsPresent(std::string_view text) {
    unsigned present = 0;
    for (std::size_t i = 0; i + 3 <= text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char head = sjis::AsciiUpper(static_cast<char>(c));
        if (head >= 'A' && head <= 'S') {
            for (std::size_t m = 0; m < kMonths.size(); ++m) {
                if (kMonths[m].front() == head &&
                    sjis::EqualsNoCase(text.substr(i, 3), kMonths[m])) {
                    present |= 1u << m;
                }
            }
        }
        i += sjis::IsLeadByte(c) ? 2 : 1;
    }
    return present;
}

std::optional<int> ReadNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

struct TDateFields {
    std::string_view day;
    std::string_view month;
    std::string_view year;
    std::string_view time;
    std::string_view rest;  // the time and whatever follows it
};

// Splits "5 Jun 2003 10:05:09 +0900" or "Jun 05 2003 10:05:09 +0900" (weekday
// already dropped). Month names are replaced by their numbers in `work`,
// which the returned fields point into.
TDateFields SplitFields(std::string& work) {
    TDateFields f;
    std::string_view s = work;
    const std::string_view first = BeforeBlank(s);
    const auto named = std::find(kMonths.begin(), kMonths.end(), first);
    if (named != kMonths.end()) {
        f.month = kMonthNumbers[static_cast<std::size_t>(named - kMonths.begin())];
        s = Trim(AfterBlank(s));
        f.day = Trim(s.substr(0, 3));
        s = Trim(s.substr(std::min<std::size_t>(3, s.size())));
    } else {
        f.day = first;
        const std::size_t restAt =
            static_cast<std::size_t>(Trim(AfterBlank(s)).data() - work.data());
        // Replacing a name by digits never makes a new name appear, so only
        // the names present at the start need to be looked for one by one.
        const unsigned present = MonthsPresent(std::string_view(work).substr(restAt));
        for (std::size_t m = 0; m < kMonths.size(); ++m) {
            if ((present & (1u << m)) == 0) {
                continue;
            }
            const std::size_t at = FindNoCase(std::string_view(work).substr(restAt), kMonths[m]);
            if (at != std::string_view::npos) {
                work.replace(restAt + at, kMonths[m].size(), kMonthNumbers[m]);
            }
        }
        // `work` may have shrunk; take the views again.
        s = std::string_view(work).substr(restAt);
        f.day = BeforeBlank(work);
        f.month = BeforeBlank(s);
        s = Trim(AfterBlank(s));
    }
    f.year = BeforeBlank(s);
    s = Trim(AfterBlank(s));
    // A date without a zone ends with its time.
    f.time = s.substr(0, Find(s, ' '));
    f.rest = s;
    return f;
}

std::optional<minutes> NamedZoneOffset(std::string_view rest) {
    if (Find(rest, ' ') == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view word = Trim(AfterBlank(rest));
    if (const std::size_t blank = Find(word, ' '); blank != std::string_view::npos) {
        word = word.substr(0, blank);
    }
    for (const TZoneName& zone : kZoneNames) {
        if (sjis::EqualsNoCase(word, zone.name)) {
            return kJapanOffset - hours(zone.hoursEastOfUtc);
        }
    }
    return std::nullopt;
}

// Time to add to reach Japan time: nothing when the zone cannot be read.
minutes ZoneOffset(std::string_view rest) {
    if (const auto named = NamedZoneOffset(rest)) {
        return *named;
    }
    char sign = '-';
    std::size_t at = Find(rest, '-');
    if (at == std::string_view::npos) {
        sign = '+';
        at = Find(rest, '+');
    }
    if (at == std::string_view::npos) {
        return minutes(0);
    }
    const std::string_view z = Trim(rest.substr(at + 1, 4));
    if (z.size() < 2) {
        return minutes(0);
    }
    const auto h = ReadNumber(z.substr(0, z.size() - 2), 2);
    const auto m = ReadNumber(z.substr(z.size() - 2), 2);
    if (!h || !m || *h > 23 || *m > 59) {
        return minutes(0);
    }
    const minutes zone = hours(*h) + minutes(*m);
    return sign == '-' ? kJapanOffset + zone : kJapanOffset - zone;
}

std::optional<int> ReadYear(std::string_view s) {
    auto year = ReadNumber(s, 4);
    if (!year) {
        return std::nullopt;
    }
    // Two- and three-digit years as mail dates have always meant them.
    if (s.size() == 2) {
        *year += *year < 50 ? 2000 : 1900;
    } else if (s.size() == 3) {
        *year += 1900;
    }
    return *year >= 1 ? year : std::nullopt;
}

// "h:m:s" or "h:m"; an empty text is midnight.
std::optional<seconds> ReadTime(std::string_view s) {
    if (s.empty()) {
        return seconds(0);
    }
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const std::size_t colon = Find(s, ':');
        const auto n = ReadNumber(s.substr(0, colon), 2);
        if (!n) {
            return std::nullopt;
        }
        parts[count++] = *n;
        if (colon == std::string_view::npos) {
            break;
        }
        s.remove_prefix(colon + 1);
        if (count == 3) {
            return std::nullopt;
        }
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) {
        return std::nullopt;
    }
    return hours(parts[0]) + minutes(parts[1]) + seconds(parts[2]);
}

std::optional<sys_seconds> ReadDateTime(const TDateFields& f) {
    const auto y = ReadYear(f.year);
    const auto m = ReadNumber(f.month, 2);
    const auto d = ReadNumber(f.day, 2);
    const auto t = ReadTime(f.time);
    if (!y || !m || !d || !t) {
        return std::nullopt;
    }
    const year_month_day date{year(*y), month(static_cast<unsigned>(*m)),
                              day(static_cast<unsigned>(*d))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return sys_days(date) + *t;
}

// Writes `value` with at least `width` digits; returns the end.
char* PutNumber(char* out, long long value, int width) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int pad = n; pad < width; ++pad) {
        *out++ = '0';
    }
    while (n > 0) {
        *out++ = digits[--n];
    }
    return out;
}

// "yyyy/m/d hh:nn:ss"
std::string Format(sys_seconds when) {
    const sys_days dayPart = floor<days>(when);
    const year_month_day date(dayPart);
    const hh_mm_ss<seconds> time(when - dayPart);
    char buffer[64];
    char* p = PutNumber(buffer, static_cast<int>(date.year()), 4);
    *p++ = '/';
    p = PutNumber(p, static_cast<unsigned>(date.month()), 1);
    *p++ = '/';
    p = PutNumber(p, static_cast<unsigned>(date.day()), 1);
    *p++ = ' ';
    p = PutNumber(p, time.hours().count(), 2);
    *p++ = ':';
    p = PutNumber(p, time.minutes().count(), 2);
    *p++ = ':';
    p = PutNumber(p, time.seconds().count(), 2);
    return std::string(buffer, p);
}

}  // namespace

std::string TDateNormalizer::NormalizeDate(std::string_view text) {
    if (text.empty()) {
        return std::string(text);
    }
    std::string_view s = text;
    // A weekday comes before a comma, or (as some senders write it) alone.
    if (const std::size_t comma = Find(s, ','); comma != std::string_view::npos) {
        s = Trim(s.substr(comma + 1));
    } else if (IsWeekday(BeforeBlank(s))) {
        s = Trim(AfterBlank(s));
    }
    // A buffer kept per thread: one date per mail needs no allocation.
    thread_local std::string work;
    work.assign(s);
    const TDateFields fields = SplitFields(work);
    const auto when = ReadDateTime(fields);
    if (!when) {
        return std::string(text);
    }
    const sys_seconds japan = *when + ZoneOffset(fields.rest);
    const year_month_day date(floor<days>(japan));
    if (date.year() < year(1) || date.year() > year(9999)) {
        return std::string(text);
    }
    return Format(japan);
}
