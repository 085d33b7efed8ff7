#include "settings/TAutoRunScript.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "TempDir.h"
#include "base/TKestrifyError.h"

namespace {

// A stand-in for both programs: prints its arguments, each ended by a 0 byte.
void WriteArgumentPrinter(const std::filesystem::path& path) {
    TTempDir::Write(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done\n");
    ::chmod(path.c_str(), 0755);
}

std::vector<std::string> RunScript(const std::filesystem::path& script) {
    const std::string command = "/bin/sh " + TAutoRunScript::ShellQuote(script.string());
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    ::pclose(pipe);
    std::vector<std::string> args;
    for (size_t start = 0, end; (end = out.find('\0', start)) != std::string::npos;
         start = end + 1) {
        args.push_back(out.substr(start, end - start));
    }
    return args;
}

struct ScriptCase {
    const char* name;
    bool headless;
    int saveType;
    bool backup;
    bool onlyNew;
    std::vector<std::string> tail;  // arguments after the paths (desktop) or before them
};

}  // namespace

// Paths that a shell would otherwise split, expand or run come back unchanged.
TEST(AutoRunScript, ProgramGetsExactlyThePaths) {
    const std::vector<ScriptCase> cases = {
        {"defaults", false, 0, false, false, {"0", "0"}},
        {"append with backup", false, 1, true, false, {"1", "1"}},
        {"only new", false, 0, false, true, {"0", "0", "--only-new"}},
        {"headless", true, 1, false, false, {"--save-type", "1", "--no-backup", "--"}},
        {"headless with backup", true, 0, true, false, {"--save-type", "0", "--backup", "--"}},
        {"headless only new",
         true,
         0,
         false,
         true,
         {"--save-type", "0", "--no-backup", "--only-new", "--"}},
    };
    const std::vector<std::string> paths = {
        "/tmp/案件 1/お問い合わせ.KFY", "it's \"quoted\".KFY", "$HOME/`id`/$(id).KFY",
        "-starts-with-dash.csv",        "line\nbreak.csv",     "relative/out.csv"};
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::filesystem::path folder = dir.Path() / "bin dir 'x' $y";
        std::filesystem::create_directories(folder);
        WriteArgumentPrinter(folder / "kestrify");
        WriteArgumentPrinter(folder / "kestrify-cli");
        for (size_t i = 0; i + 1 < paths.size(); ++i) {
            TAutoRunScript script;
            script.program = (folder / "kestrify").string();
            script.projectFile = paths[i];
            script.csvFile = paths[i + 1];
            script.saveType = c.saveType;
            script.makeBackup = c.backup;
            script.headless = c.headless;
            script.onlyNew = c.onlyNew;
            script.Save(dir.Path() / "run.sh");

            std::vector<std::string> expected;
            if (c.headless) {
                expected = c.tail;
                expected.insert(expected.end(), {paths[i], paths[i + 1]});
            } else {
                expected = {"-a", "--", paths[i], paths[i + 1]};
                expected.insert(expected.end(), c.tail.begin(), c.tail.end());
            }
            EXPECT_EQ(RunScript(dir.Path() / "run.sh"), expected);
        }
    }
}

TEST(AutoRunScript, OneCommandLineAfterTheInterpreterLine) {
    TAutoRunScript script;
    script.program = "/opt/kestrify/bin/kestrify";
    script.projectFile = "/home/u/a.KFY";
    script.csvFile = "out.csv";
    EXPECT_EQ(script.Text(),
              "#!/bin/sh\nexec '/opt/kestrify/bin/kestrify' -a -- '/home/u/a.KFY' 'out.csv' 0 0\n");
    EXPECT_EQ(TAutoRunScript::HeadlessProgram("/opt/kestrify/bin/kestrify"),
              "/opt/kestrify/bin/kestrify-cli");
}

TEST(AutoRunScript, SavedExecutableOverTheOldFileOrNotAtAll) {
    TTempDir dir;
    const std::filesystem::path path = dir.Path() / "run.sh";
    TTempDir::Write(path, "old");
    ::chmod(path.c_str(), 0600);
    TAutoRunScript script;
    script.program = "/usr/bin/kestrify";
    script.Save(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(TTempDir::Read(path), script.Text());

    EXPECT_THROW(script.Save(dir.Path() / "missing folder" / "run.sh"), TKestrifyError);
    EXPECT_EQ(dir.Listing(), "run.sh ");
}
