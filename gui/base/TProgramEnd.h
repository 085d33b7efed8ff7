#pragma once
// The program ending before its work is done: a stop signal (SIGINT,
// SIGTERM, SIGHUP) or memory that ran out. The first request wins and keeps
// its exit status; every event loop of the window's thread then returns, so
// the windows unwind as if closed. Work in progress stops at its next check:
// a conversion before its next mail, a save before it replaces the old file
// (its temporary file goes). A second signal ends the program at once.
// Every run's stop source follows the program's stop (Token()).

#include <exception>
#include <stop_token>

class TProgramEnd {
  public:
    // Catches the three signals (those ignored at start stay ignored); call
    // once a QCoreApplication exists.
    static void InstallSignalHandlers();
    // Asks the program to end with `status`; only the first request counts.
    static void Request(int status);
    static bool Requested();
    // Asked with the first request; a run's own stop follows it through a
    // std::stop_callback.
    static std::stop_token Token();
    // The status of the first request, 0 while none came.
    static int Status();
    // Forgets a request (tests).
    static void Reset();
    // Whether `error` means memory ran out: std::bad_alloc, or a thread that
    // could not be made (under an address-space limit its stack is what
    // ran out).
    static bool IsOutOfMemory(const std::exception_ptr& error);
};
