#pragma once

#include <atomic>

// How a run is asked to stop: SIGINT (Ctrl-C), SIGTERM and SIGHUP (a closed terminal or a
// lost ssh session) alike.
namespace Stopping {

// Catches the three signals, and ignores SIGPIPE so that a tool that ends early, or a reader
// of the report that goes away, does not end this program.
void CatchSignals();

// True from the first signal, or from Request().
const std::atomic<bool>& Requested();
void Request();

// Whether a signal came after the first: the run is to end at once.
bool RequestedAgain();

// While on, a signal ends the program at once with status 130: for the time before the run
// has anything to clean up, such as while folders are searched or a list is read.
void SetEndAtOnce(bool atOnce);

} // namespace Stopping
