#pragma once
#include <functional>

// SIGINT and SIGTERM end the program the way closing its windows does: the
// handler only writes to a pipe, and `quit` runs on the UI thread, where it
// closes the open modal windows so that the shutdown runs in its order.
// Once, after the QApplication exists.
void quitOnTerminationSignals(std::function<void()> quit);
