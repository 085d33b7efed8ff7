#pragma once
// The checks the Convert command makes before it creates a reader: there
// must be parameters, and the mail location must exist as the kind of store
// needs it (a folder or a file). Shared by the main window and the headless
// command so both refuse the same jobs with the same words.

#include <cstddef>
#include <optional>
#include <string>

// Why a conversion cannot start: the Shift_JIS message for an error box with
// OK and Help, and the help topic of its Help button.
struct TConvertProblem {
    std::string message;
    int helpTopic = 0;
};

class TConvertValidator {
  public:
    // The first problem found, in the order the command checks; none when
    // the conversion may start.
    static std::optional<TConvertProblem> Check(std::size_t paramCount, int mailType,
                                                const std::string& sjisLocation);

    static std::optional<TConvertProblem> CheckParams(std::size_t paramCount);
    // `sjisLocation` is a Shift_JIS path; a number no store kind has is refused.
    static std::optional<TConvertProblem> CheckLocation(int mailType,
                                                        const std::string& sjisLocation);

    // The checks of the window, which names what it refuses: nothing at a
    // given location, or a file store that is not of the chosen kind (the
    // store's own check), besides the checks above.
    static std::optional<TConvertProblem> CheckNamed(std::size_t paramCount, int mailType,
                                                     const std::string& sjisLocation);
    // "<path>\nDBXファイルではないようです。\nUnix mbox形式のファイルのようです。"
    static std::optional<TConvertProblem> CheckStoreKind(int mailType,
                                                         const std::string& sjisLocation);
    // "<path>\nこのメールの場所は存在しません。" for a local store's location
    // that is not there at all; none otherwise.
    static std::optional<TConvertProblem> CheckExists(int mailType,
                                                      const std::string& sjisLocation);
    // The words of CheckStoreKind for a store of local kind `mailType` that
    // TMailStoreCheck found not to fit.
    static TConvertProblem NotOfKind(int mailType, const std::string& sjisLocation,
                                     std::optional<int> looksLike);
};
