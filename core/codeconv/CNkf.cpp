#include "codeconv/CNkf.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

namespace {

using GetVersionFn = void (*)(char*);
using SetOptionFn = int (*)(const char*);
using ConvertFn = void (*)(char*, const char*);

constexpr std::array<const char*, 6> kEntryNames = {
    "GetNkfVersion", "SetNkfOption", "NkfConvert", "ToHankaku", "ToZenkakuKana", "EncodeSubject"};

// The library keeps its option in global state: one conversion at a time.
std::mutex& LibraryMutex() {
    static std::mutex m;
    return m;
}

std::filesystem::path FindProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace

struct CNkf::TEntryPoints {
    std::array<void*, kEntryNames.size()> raw{};
    SetOptionFn SetNkfOption() const { return reinterpret_cast<SetOptionFn>(raw[1]); }
    ConvertFn NkfConvert() const { return reinterpret_cast<ConvertFn>(raw[2]); }
};

CNkf::CNkf() = default;

CNkf::~CNkf() {
    Unload();
}

std::filesystem::path CNkf::ProgramFolder() {
    static const std::filesystem::path folder = FindProgramFolder();
    return folder;
}

int CNkf::Load() {
    const auto folder = ProgramFolder();
    if (folder.empty()) {
        Unload();
        errorText_ = std::string("not found ") + kLibraryName;
        return -1;
    }
    return Load(folder / kLibraryName);
}

int CNkf::Load(const std::filesystem::path& library) {
    Unload();
    // Only ever the named file: a bare name would make dlopen search the
    // system's library path.
    // The file is normally absent and every mail asks: a stat is cheaper
    // than a failing dlopen.
    std::error_code ec;
    const auto file = std::filesystem::absolute(library, ec);
    const bool present = !ec && std::filesystem::is_regular_file(file, ec);
    void* handle = present ? dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE) : nullptr;
    if (handle == nullptr) {
        errorText_ = std::string("not found ") + kLibraryName;
        return -1;
    }
    auto entries = std::make_unique<TEntryPoints>();
    for (std::size_t i = 0; i < kEntryNames.size(); ++i) {
        entries->raw[i] = dlsym(handle, kEntryNames[i]);
        if (entries->raw[i] == nullptr) {
            dlclose(handle);
            errorText_ = std::string("GetProcAddress( ") + kEntryNames[i] + " ) error.";
            return -1;
        }
    }
    library_ = handle;
    entries_ = std::move(entries);
    errorText_.clear();
    std::lock_guard lock(LibraryMutex());
    entries_->SetNkfOption()("s");
    return 0;
}

int CNkf::Convert(std::string_view input, std::string& output, std::string_view option) {
    // The library reads a C string: it stops at the first 0 byte.
    const std::string in(input.substr(0, input.find('\0')));
    const std::string opt(option);
    std::lock_guard lock(LibraryMutex());
    if (!IsLoaded()) {
        errorText_ = std::string("not found ") + kLibraryName;
        return -1;
    }
    entries_->SetNkfOption()(opt.c_str());
    char* buffer = GetBuffer(in.size());
    if (buffer == nullptr) {
        errorText_ = "memory allocation erorr.(get_buffer_pointer)";
        return -1;
    }
    entries_->NkfConvert()(buffer, in.c_str());
    output.assign(buffer, strnlen(buffer, capacity_));
    return 0;
}

// The library takes no buffer size; it promises at most 2 x n + 1 bytes. The
// buffer handed over is twice that, so a library that breaks its promise by
// a little still writes into memory of ours, and reading stops at its end.
char* CNkf::GetBuffer(std::size_t inputLength) {
    ReleaseBuffer();
    const std::size_t promised = 2 * inputLength + 1;
    if (promised <= kBlockSize) {
        current_ = block_;
        capacity_ = sizeof block_;
    } else {
        allocated_.reset(new (std::nothrow) char[2 * promised]);
        if (!allocated_) {
            return nullptr;
        }
        current_ = allocated_.get();
        capacity_ = 2 * promised;
    }
    std::memset(current_, 0, capacity_);
    return current_;
}

void CNkf::ReleaseBuffer() {
    allocated_.reset();
    current_ = nullptr;
    capacity_ = 0;
}

void CNkf::Unload() {
    ReleaseBuffer();
    entries_.reset();
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
}

bool CNkf::IsLoaded() const {
    return library_ != nullptr;
}

const std::string& CNkf::ErrorText() const {
    return errorText_;
}
