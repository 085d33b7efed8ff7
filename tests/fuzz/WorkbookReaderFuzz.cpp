// The workbook reader (appending to an .xlsx) over arbitrary input. Random
// bytes rarely make a zip whose parts inflate, so the input is mostly taken
// as the parts themselves, separated by NUL bytes (workbook, its relations,
// the sheet, the shared strings, the styles) and stored uncompressed; an
// input starting with "PK" is read as a whole zip.

#include <sys/mman.h>
#include <unistd.h>
#include <zip.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/TKestrifyError.h"
#include "workbook/TWorkbookReader.h"

namespace {

std::string Zip(std::string_view input) {
    static constexpr std::array<const char*, 5> kParts = {
        "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml",
        "xl/sharedStrings.xml", "xl/styles.xml"};
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* zip = buffer != nullptr ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (zip == nullptr) {
        return {};
    }
    zip_source_keep(buffer);
    for (const char* name : kParts) {
        const std::size_t end = std::min(input.find('\0'), input.size());
        const std::string_view part = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        zip_source_t* source = zip_source_buffer(zip, part.data(), part.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name, source, ZIP_FL_OVERWRITE);
        if (index >= 0) {
            zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        }
    }
    std::string bytes;
    if (zip_close(zip) == 0 && zip_source_open(buffer) == 0) {
        char block[4096];
        zip_int64_t n = 0;
        while ((n = zip_source_read(buffer, block, sizeof block)) > 0) {
            bytes.append(block, static_cast<std::size_t>(n));
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string file = input.starts_with("PK") ? std::string(input) : Zip(input);
    const int fd = ::memfd_create("workbook", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    if (::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size())) {
        try {
            TWorkbookReader::ReadFirstSheet(fd, [](std::vector<std::string>&) {});
        } catch (const TKestrifyError&) {
            // refused or damaged: what the reader is for
        }
    }
    ::close(fd);
    return 0;
}
