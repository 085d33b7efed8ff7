// kestrify-cli: runs a Kestrify project from a terminal or a scheduler.

#include <cstdio>
#include <exception>
#include <new>

#include "TCliHelp.h"
#include "TCliJob.h"
#include "TCliOptions.h"
#include "TStopSignal.h"
#include "TTerminal.h"
#include "TUsageError.h"
#include "convert/TExitStatus.h"

int main(int argc, char** argv) {
    TTerminal terminal(stderr);
    try {
        const TCliOptions options = TCliOptions::Parse(argc, argv);
        switch (options.action) {
            case TCliOptions::TAction::Help:
                std::fputs(TCliHelp::Help().c_str(), stdout);
                return TExitStatus::Success;
            case TCliOptions::TAction::Version:
                std::puts(TCliHelp::Version().c_str());
                return TExitStatus::Success;
            case TCliOptions::TAction::Convert:
                break;
        }
        TStopSignal::Install();
        return TCliJob(options, terminal).Run();
    } catch (const TUsageError& e) {
        terminal.Line(std::string("kestrify-cli: ") + e.what());
        return TExitStatus::BadInput;
    } catch (const std::bad_alloc&) {
        terminal.Line("kestrify-cli: メモリが不足しています。 (out of memory)");
        return TExitStatus::OutOfMemory;
    } catch (const std::exception& e) {
        terminal.MessageSjis(e.what());
        return TExitStatus::BadInput;
    }
}
