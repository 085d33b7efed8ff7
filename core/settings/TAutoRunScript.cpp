#include "settings/TAutoRunScript.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/TAtomicFile.h"
#include "codeconv/TSjisUnicode.h"
#include "settings/TFileErrors.h"

std::string TAutoRunScript::ShellQuote(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";  // close, escaped quote, reopen
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::string TAutoRunScript::HeadlessProgram(std::string_view program) {
    const size_t slash = program.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : program.substr(0, slash + 1);
    return std::string(folder) + "kestrify-cli";
}

std::string TAutoRunScript::Text() const {
    const std::string type = std::to_string(saveType);
    std::string line;
    if (headless) {
        // "--" so that a path starting with "-" is never taken for an option.
        line = ShellQuote(HeadlessProgram(program)) + " --save-type " + type +
               (makeBackup ? " --backup" : " --no-backup") + (onlyNew ? " --only-new" : "") +
               " -- " + ShellQuote(projectFile) + " " + ShellQuote(csvFile);
    } else {
        // "--" here too: a CSV named "-style" is no option of the program's toolkit.
        line = ShellQuote(program) + " -a -- " + ShellQuote(projectFile) + " " +
               ShellQuote(csvFile) + " " + type + (makeBackup ? " 1" : " 0") +
               (onlyNew ? " --only-new" : "");
    }
    // exec: the script's exit status is the program's.
    return "#!/bin/sh\nexec " + line + "\n";
}

void TAutoRunScript::Save(const std::filesystem::path& path) const {
    TAtomicFile file(path);
    int error = 0;
    if (!file.IsOpen() || !file.Write(Text()) || !file.Commit()) {
        error = file.Error();
    } else if (::chmod(file.Target().c_str(), 0755) != 0) {
        error = errno;
    }
    if (error != 0) {
        const TKestrifyError base = TFileErrors::CannotWrite(path);
        throw TKestrifyError(std::string(base.what()) + " (" +
                             TSjisUnicode::FromUtf8(std::strerror(error)) + ")");
    }
}
