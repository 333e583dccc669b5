// What lanbrowse needs of the operating system: whether standard error is a
// terminal, Ctrl-C, sleeping, the program's own folder, and the text of
// the last error. The POSIX and Windows versions are both in
// System.cpp; the rest of the tool is the same everywhere.
#pragma once

#include <atomic>
#include <string>

namespace lanbrowse {

// True when standard error is an interactive terminal (a console window on
// Windows), where a progress bar redrawn in place makes sense. False for
// files, pipes and devices.
bool standardErrorIsTerminal();

// True when standard output is a terminal that takes the escape sequences
// which move the cursor (on Windows, a console where they can be turned on:
// this call turns them on). False for files and pipes.
bool standardOutputIsTerminal();

// From now on, an interrupt sets *flag instead of ending the program: Ctrl-C
// and SIGTERM on POSIX; Ctrl-C, Ctrl-Break and closing the console on
// Windows. *flag must live until the program ends. Call it once.
void setFlagOnInterrupt(std::atomic<bool>* flag);

// Pauses the calling thread for about milliseconds ms; Windows rounds the
// pause up to its timer tick (15.6 ms unless a program asked for finer).
// Nothing for 0 or less.
void sleepMilliseconds(int milliseconds);

// The folder that holds the running program, without a trailing separator;
// empty when the system does not say.
std::string executableDirectory();

// The system's text for the error of the calling thread's last failed call
// (errno on POSIX, GetLastError on Windows), e.g. "Too many open files".
// Call it right after the failure, before anything else can change it.
std::string lastSystemError();

}  // namespace lanbrowse
