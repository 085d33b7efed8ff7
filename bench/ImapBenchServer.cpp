// A private Dovecot serving the mails of an mbox over TLS, for
// bench/run-imap-bench.sh: the same mails are also written as a local
// Maildir, so the command can be timed on both. Prints the IMAPS port and
// the CA file, then serves until its standard input closes.
//
//   imap_bench_server MBOX MAILDIR

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "TDovecot.h"
#include "TempDir.h"

namespace {

std::vector<std::string> SplitMbox(const std::string& mbox) {
    std::vector<std::string> mails;
    std::size_t at = 0;
    while (at < mbox.size()) {
        const std::size_t body = mbox.find('\n', at) + 1;  // after the "From " line
        std::size_t end = mbox.find("\nFrom ", body);
        end = end == std::string::npos ? mbox.size() : end + 1;
        mails.push_back(mbox.substr(body, end - body));
        at = end;
    }
    return mails;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: imap_bench_server MBOX MAILDIR\n";
        return 2;
    }
    const std::vector<std::string> mails = SplitMbox(TTempDir::Read(argv[1]));
    const std::filesystem::path maildir = argv[2];
    for (const char* sub : {"cur", "new", "tmp"}) {
        std::filesystem::create_directories(maildir / sub);
    }
    for (std::size_t i = 0; i < mails.size(); ++i) {
        std::ofstream(maildir / "cur" / (std::to_string(1000000000 + i) + ".M" + std::to_string(i) +
                                         "P1.bench:2,"),
                      std::ios::binary)
            << mails[i];
    }
    TDovecot server;
    server.AddMails("INBOX", mails);
    std::cout << server.ImapsPort() << " " << server.CaFile() << " " << TDovecot::kPassword
              << std::endl;
    char c = 0;
    while (read(0, &c, 1) > 0) {
    }
    return 0;
}
