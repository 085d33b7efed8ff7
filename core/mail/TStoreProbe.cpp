#include "mail/TStoreProbe.h"

#include <string>

#include "base/SjisText.h"
#include "mail/TMozillaStatus.h"

std::string_view TStoreProbe::FirstLine(std::string_view bytes) {
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

bool TStoreProbe::IsBlank(std::string_view bytes) {
    return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool TStoreProbe::IsDbx(std::string_view bytes) {
    return bytes.starts_with("\xCF\xAD\x12\xFE");
}

bool TStoreProbe::StartsMbox(std::string_view bytes) {
    return bytes.starts_with("From ");
}

bool TStoreProbe::HasMboxStart(std::string_view bytes) {
    if (StartsMbox(bytes)) {
        return true;
    }
    for (std::size_t at = bytes.find("From "); at != std::string_view::npos;
         at = bytes.find("From ", at + 1)) {
        if (at > 0 && (bytes[at - 1] == '\n' || bytes[at - 1] == '\r')) {
            return true;
        }
    }
    return false;
}

bool TStoreProbe::HasThunderbirdStart(std::string_view bytes) {
    constexpr std::string_view kSeparator = "From - ";
    for (std::size_t at = bytes.find(kSeparator); at != std::string_view::npos;
         at = bytes.find(kSeparator, at + 1)) {
        if (at == 0 || bytes[at - 1] == '\n' || bytes[at - 1] == '\r') {
            return true;
        }
    }
    return false;
}

bool TStoreProbe::LooksThunderbird(std::string_view bytes) {
    return bytes.starts_with("From - ") &&
           TMozillaStatus::Read(bytes.substr(0, kHeadSize)).status.has_value();
}

bool TStoreProbe::IsProject(std::string_view bytes) {
    const std::string head = sjis::ToUpper(bytes.substr(0, kHeadSize));
    for (const char* section : {"[EML]", "[SYSTEM]", "[CSV]"}) {
        const std::size_t at = head.find(section);
        if (at != std::string::npos &&
            (at == 0 || head[at - 1] == '\n' || head[at - 1] == '\r' || head[at - 1] == '\xBF')) {
            return true;
        }
    }
    return false;
}

bool TStoreProbe::RepeatsFirstLine(std::string_view bytes) {
    const std::string_view first = FirstLine(bytes);
    if (first.empty()) {
        return false;
    }
    const std::string_view head = bytes.substr(0, kHeadSize);
    for (std::size_t at = head.find(first, first.size()); at != std::string_view::npos;
         at = head.find(first, at + 1)) {
        const std::size_t end = at + first.size();
        const bool lineStart = head[at - 1] == '\n' || head[at - 1] == '\r';
        const bool lineEnd = end == head.size() || head[end] == '\r' || head[end] == '\n';
        if (lineStart && lineEnd) {
            return true;
        }
    }
    return false;
}

bool TStoreProbe::StartsWithHeader(std::string_view bytes) {
    const std::string_view first = FirstLine(bytes);
    const std::size_t colon = first.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(first[i]);
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}
