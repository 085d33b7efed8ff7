#include "codeconv/CNkf.h"

struct CNkf::TEntryPoints {};

CNkf::CNkf() = default;
CNkf::~CNkf() {
    Unload();
}
int CNkf::Load() {
    return Load(ProgramFolder() / kLibraryName);
}
int CNkf::Load(const std::filesystem::path&) {
    errorText_ = "not found NKF32.DLL";
    return -1;
}
int CNkf::Convert(std::string_view, std::string&, std::string_view) {
    return -1;
}
void CNkf::Unload() {}
bool CNkf::IsLoaded() const {
    return library_ != nullptr;
}
const std::string& CNkf::ErrorText() const {
    return errorText_;
}
std::filesystem::path CNkf::ProgramFolder() {
    return {};
}
char* CNkf::GetBuffer(std::size_t) {
    return nullptr;
}
void CNkf::ReleaseBuffer() {}
