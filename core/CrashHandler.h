#pragma once
#include <string>

// Installs handlers for the fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE,
// SIGABRT). On a crash, unless a debugger is attached, one dump file is written
// to <temporary folder>/dump/v1.0-YYYYMMDD-HHMMSS-<pid>-<tid>.dmp holding the
// signal, the crashing thread id and a backtrace; then the signal takes its
// default course and ends the process.
void installCrashHandler();

// The folder the dumps go to ($TMPDIR, else /tmp, followed by "/dump").
std::string crashDumpFolder();
