// Field extraction over arbitrary mail text and arbitrary parameters: the
// first bytes choose the options of four body parameters and one header
// parameter, the next lines are their keys and end strings, the rest is the
// mail (header lines up to the first empty line, then the body).

#include <cstdint>
#include <string>
#include <vector>

#include "TFakeMail.h"
#include "TParamMaker.h"
#include "base/LineSplitter.h"
#include "params/TFieldExtractor.h"
#include "regex/TJreException.h"

namespace {

constexpr int kBodyParams = 4;

TOrderedParamString BodyParam(std::uint8_t flags, int order, const std::string& key,
                              const std::string& endStr) {
    const int widths[] = {0, 0, 10, 37};
    TOrderedParamString p = PlainParam(key, order, "f", (flags & 1) ? 1 : 0, 0, order);
    p.SetRegExt(flags & 2);
    p.SetOneLine(flags & 4);
    p.SetTrim(flags & 8);
    p.SetAutoFormat(widths[(flags >> 4) & 3]);
    p.SetStartLine(flags & 64);
    p.SetEndStr(endStr);
    p.SetEndStrRegExp(flags & 128);
    p.SetMailAddress((flags >> 5) & 1);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kBodyParams + 1) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + kBodyParams + 1,
                           size - kBodyParams - 1);
    std::vector<std::string> lines = TLineSplitter::Split(text);
    std::size_t next = 0;
    auto take = [&] { return next < lines.size() ? lines[next++] : std::string(); };

    std::vector<TOrderedParamString> body;
    for (int i = 0; i < kBodyParams; ++i) {
        const std::string key = take();
        body.push_back(BodyParam(data[i], i, key, take()));
    }
    std::vector<TOrderedParamString> header;
    TOrderedParamString& h =
        header.emplace_back(PlainParam(take() + ":", kBodyParams, "h", 1, 1, kBodyParams));
    h.SetMailName(data[kBodyParams] & 2);
    h.SetMailAddress(data[kBodyParams] & 1);

    TFakeMail mail;
    TLines bodyLines;
    bool inHeader = true;
    for (; next < lines.size(); ++next) {
        const std::string& line = lines[next];
        if (inHeader && line.empty()) {
            inHeader = false;
        } else if (inHeader) {
            const std::size_t colon = line.find(':');
            mail.AddHeader(line.substr(0, colon == std::string::npos ? 0 : colon + 1), line);
        } else {
            bodyLines.push_back(line);
        }
    }
    TFakeMail full(std::move(bodyLines));
    for (const auto& [name, values] : mail.GetHeader()) {
        for (const auto& v : values) {
            full.AddHeader(name, v);
        }
    }
    try {
        TFieldExtractor::ExtractValues(full, header, body);
    } catch (const TJreException&) {
        // A failed search fails the mail; that is a result, not a crash.
    }
    return 0;
}
