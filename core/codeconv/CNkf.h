#pragma once
// Run-time binding to the optional kanji-filter library NKF32.DLL, looked for
// in the program's own folder. The library is normally absent; then Load
// fails with an error text and the built-in code-page converter is used.
//
// The library keeps its option in global state, so calls into it are
// serialised across threads.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class CNkf {
  public:
    // File name of the library beside the program.
    static constexpr const char* kLibraryName = "NKF32.DLL";
    // Input up to this size (with 2 x n + 1 <= block size) needs no allocation.
    static constexpr std::size_t kBlockSize = 1024;

    CNkf();
    ~CNkf();  // Unload
    CNkf(const CNkf&) = delete;
    CNkf& operator=(const CNkf&) = delete;

    // Loads the library from the program's folder: 0 on success, -1 with the
    // error text set ("not found NKF32.DLL", "GetProcAddress( X ) error.").
    int Load();
    // Same, from an explicit file (tests, diagnostics).
    int Load(const std::filesystem::path& library);

    // Converts `input` (up to its first 0 byte) with `option` ("s": to
    // Shift_JIS) into `output`: 0 on success; -1 with the error text set and
    // `output` untouched when not loaded or no buffer could be had.
    int Convert(std::string_view input, std::string& output, std::string_view option = "s");

    void Unload();
    bool IsLoaded() const;
    const std::string& ErrorText() const;

    // The folder the running program was started from.
    static std::filesystem::path ProgramFolder();

  private:
    struct TEntryPoints;
    char* GetBuffer(std::size_t inputLength);
    void ReleaseBuffer();

    void* library_ = nullptr;
    std::unique_ptr<TEntryPoints> entries_;
    std::string errorText_;
    char block_[2 * kBlockSize];  // twice the promised size, see GetBuffer
    std::unique_ptr<char[]> allocated_;
    std::size_t capacity_ = 0;
    char* current_ = nullptr;
};
