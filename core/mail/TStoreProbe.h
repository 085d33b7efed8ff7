#pragma once
// What the first bytes of a file tell about the store it is: the tests the
// store kinds' rows (TStoreKind) and TMailStoreCheck are made of.

#include <cstddef>
#include <string_view>

class TStoreProbe {
  public:
    // How much of a file the guesses look at: projects are small and their
    // sections are near the start.
    static constexpr std::size_t kHeadSize = 64 * 1024;

    static std::string_view FirstLine(std::string_view bytes);
    static bool IsBlank(std::string_view bytes);
    static bool IsDbx(std::string_view bytes);
    static bool StartsMbox(std::string_view bytes);
    // Where the mbox reader would start a mail: a line beginning with "From ".
    static bool HasMboxStart(std::string_view bytes);
    // Where the Thunderbird reader would start a mail: a "From - " line.
    static bool HasThunderbirdStart(std::string_view bytes);
    // Thunderbird writes "From - " lines and flags every mail in its header.
    static bool LooksThunderbird(std::string_view bytes);
    // A project file: one of its sections at a line start near the top.
    static bool IsProject(std::string_view bytes);
    // Shuriken files repeat their first line before every mail.
    static bool RepeatsFirstLine(std::string_view bytes);
    // "Name: value" with a header name of printable ASCII: one mail's file.
    static bool StartsWithHeader(std::string_view bytes);
};
