// Runs the whole result window offscreen as an automatic run (convert, then
// save the CSV and close) and reports what a user would feel:
//   bench_result_window PROJECT.KFY MBOX OUTPUT.csv [JOBS]
// prints mails per second from opening the store to the window's closing
// (the save included: the span kestrify-cli's run covers, less the start-up
// of a process and of Qt), the conversion alone, the longest stall of the
// event loop while converting (a 1 ms timer that should fire every
// millisecond), the CPU time of the window's thread and of the conversion's
// threads, and the peak resident memory of the process. Every 100 ms the
// grid is scrolled to the last row that arrived, as a user watching the rows
// would. On a busy machine the wall-clock stall includes waiting for a core;
// the CPU time the window's thread spent between two ticks is given beside
// it.

#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include <ctime>
#include <fstream>
#include <string>

#include "gui/base/TQtText.h"
#include "gui/convert/TFormConvert.h"
#include "gui/convert/TItemGrid.h"
#include "gui/convert/TResultTableModel.h"
#include "mail/TMailStoreFactory.h"
#include "params/TGridParamList.h"
#include "settings/TSettingFile.h"

namespace {

// CPU time of the calling thread: on a loaded machine a stall of the wall
// clock may be other processes' doing; this is the window's own.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time of the whole process (all threads, user + system).
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Peak resident set size in MiB, from the kernel's own count.
double PeakRssMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return 0;
}

// The parameters in the order the main window's grid holds them.
std::vector<TOrderedParamString> ProjectParams(const std::string& project) {
    TSettingFile file(project);
    file.Read();
    TGridParamList list;
    for (const TOrderedParamString& p : file.GetParams()) {
        list.Add(p);
    }
    std::vector<TOrderedParamString> params;
    for (int i = 0; i < list.Count(); ++i) {
        params.push_back(list.Get(i));
    }
    return params;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_result_window PROJECT.KFY MBOX OUTPUT.csv [JOBS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int jobs = argc > 4 ? std::atoi(argv[4]) : 1;

    // From here on as in kestrify-cli's run: the store is opened (indexed),
    // converted and saved.
    QElapsedTimer clock;
    clock.start();
    const double startCpu = ProcessCpuMs();
    const double startWindowCpu = ThreadCpuMs();
    auto converter = std::make_unique<TCSVConverter>(
        TMailStoreFactory::Create(TMailStoreFactory::MboxFile,
                                  TQtText::ToSjis(QString::fromLocal8Bit(argv[2])), jobs),
        std::make_unique<TConvertParam>(
            ProjectParams(TQtText::ToSjis(QString::fromLocal8Bit(argv[1])))));
    TAutoExexParam run;
    run.SetCsvFile(TQtText::ToSjis(QString::fromLocal8Bit(argv[3])));
    run.SetSaveType(0);
    run.SetMakeBackup(false);

    TParamFormConvert geometry;
    TFormConvert form(nullptr, std::move(converter), geometry);
    form.SetThreads(jobs);
    form.SetAutoExexParam(run);

    qint64 longestStall = 0;
    double longestBusy = 0;
    double lastCpu = ThreadCpuMs();
    qint64 lastTick = 0;
    qint64 converted = -1;  // ms when the conversion ended
    double windowCpu = 0;   // of the window's thread until then
    double workersCpu = 0;  // of all other threads until then
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (converted < 0) {
            longestStall = std::max(longestStall, now - lastTick);
            longestBusy = std::max(longestBusy, ThreadCpuMs() - lastCpu);
        }
        lastTick = now;
        lastCpu = ThreadCpuMs();
    });
    QObject::connect(&form, &TFormConvert::ConversionEnded, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        longestBusy = std::max(longestBusy, ThreadCpuMs() - lastCpu);
        converted = now;
        windowCpu = ThreadCpuMs() - startWindowCpu;
        workersCpu = ProcessCpuMs() - startCpu - windowCpu;
    });
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const auto* model = static_cast<const TResultTableModel*>(form.Grid()->model());
        if (model->MailRows() > 0) {
            form.Grid()->scrollTo(model->index(model->MailRows() - 1, 0));
        }
    });

    lastTick = clock.elapsed();
    lastCpu = ThreadCpuMs();
    ticker.start(1);
    watcher.start(100);
    form.exec();
    const qint64 total = clock.elapsed();
    if (converted < 0) {
        converted = total;
    }
    const int mails = form.Report().count;
    std::printf("mails              %d (%d jobs)\n", mails, jobs);
    std::printf("total              %.2f s, %.0f mails/s (save included)\n", total / 1000.0,
                mails * 1000.0 / std::max<qint64>(total, 1));
    std::printf("conversion         %.2f s, %.0f mails/s (the store's opening included)\n",
                converted / 1000.0, mails * 1000.0 / std::max<qint64>(converted, 1));
    std::printf("  CPU              window's thread %.2f s, conversion threads %.2f s\n",
                windowCpu / 1000.0, workersCpu / 1000.0);
    std::printf("longest stall      %lld ms (wall clock)\n", static_cast<long long>(longestStall));
    std::printf("longest busy       %.1f ms (CPU time of the window's thread between two ticks)\n",
                longestBusy);
    std::printf("peak RSS           %.1f MiB\n", PeakRssMiB());
    std::printf("CPU time           %.2f s (all threads, user + system, Qt's start-up included)\n",
                ProcessCpuMs() / 1000.0);
    std::printf("saved              %s\n", form.Report().automaticSaved ? "yes" : "no");
    return form.Report().automaticSaved ? 0 : 1;
}
