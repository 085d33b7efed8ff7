// Mails per second and peak memory of the Maildir and Thunderbird readers
// against the mbox reader on the same mails (bench/run-store-kinds-bench.sh):
//   bench_store_kinds make MBOX FOLDER   writes FOLDER/Maildir (one file a
//       mail, in cur/) and FOLDER/thunderbird (the mails as Thunderbird
//       writes them) from MBOX
//   bench_store_kinds read TYPE PATH JOBS   lists the store and builds every
//       mail record on JOBS threads, as a conversion does; prints one line
//       "mails seconds mails/s peak-RSS-MB failed seconds-to-list
//       cpu-seconds" (user and system time of all threads)

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "mail/TMBOXParser.h"
#include "mail/TMailStoreFactory.h"

namespace {

void WriteFile(const std::filesystem::path& path, std::string_view a, std::string_view b = {}) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, a.data(), a.size()) != static_cast<ssize_t>(a.size()) ||
        ::write(fd, b.data(), b.size()) != static_cast<ssize_t>(b.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

int Make(const std::string& mbox, const std::filesystem::path& folder) {
    TMBOXParser parser(mbox, 2);
    const std::string_view all = parser.Text();
    std::filesystem::create_directories(folder / "Maildir" / "cur");
    std::filesystem::create_directories(folder / "Maildir" / "new");
    std::filesystem::create_directories(folder / "Maildir" / "tmp");
    std::ofstream tb(folder / "thunderbird", std::ios::binary);
    constexpr std::string_view kHead =
        "From - Mon Jun 03 09:00:00 2024\nX-Mozilla-Status: 0001\nX-Mozilla-Status2: 00000000\n";
    for (int i = 0; i < parser.GetCount(); ++i) {
        const std::uint64_t end = i + 1 < parser.GetCount() ? parser.MailStart(i + 1) : all.size();
        std::string_view mail = all.substr(parser.MailStart(i), end - parser.MailStart(i));
        mail.remove_prefix(std::min(mail.find('\n') + 1, mail.size()));  // the From line
        // As a delivery agent names them: time, microseconds, process.
        const std::string name = std::to_string(1700000000 + i / 100) + ".M" +
                                 std::to_string(i % 100 * 9973) +
                                 "P4242.bench,S=" + std::to_string(mail.size()) + ":2,S";
        WriteFile(folder / "Maildir" / "cur" / name, mail);
        tb << kHead << mail;
    }
    return 0;
}

int Read(int type, const std::string& path, int jobs) {
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<TBasicMailParser> reader = TMailStoreFactory::Create(type, path, jobs);
    const int count = reader->GetCount();
    const double listed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
    const auto work = [&] {
        for (int i = next++; i < count; i = next++) {
            try {
                reader->GetMail(i);
            } catch (const std::exception&) {
                ++failed;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs; ++t) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto cpu = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    std::printf("%d %.2f %.0f %.0f %d %.2f %.2f\n", count, seconds, count / seconds,
                usage.ru_maxrss / 1024.0, failed.load(), listed,
                cpu(usage.ru_utime) + cpu(usage.ru_stime));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "make") {
        return Make(args[1], args[2]);
    }
    if (args.size() == 4 && args[0] == "read") {
        return Read(std::stoi(args[1]), args[2], std::stoi(args[3]));
    }
    std::cerr << "usage: bench_store_kinds make MBOX FOLDER | read TYPE PATH JOBS\n";
    return 2;
}
