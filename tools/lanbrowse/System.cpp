// lanbrowse's operating system calls, for POSIX and for Windows.
#include "System.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <climits>

#include <unistd.h>
#endif

namespace lanbrowse {
namespace {

// Read by the handlers, which may run on another thread (Windows) or
// between any two instructions (POSIX); a lock-free atomic is safe in both.
std::atomic<bool>* interruptFlag = nullptr;

}  // namespace

#if defined(_WIN32)

namespace {

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (interruptFlag) interruptFlag->store(true);
    return TRUE;
}

}  // namespace

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool standardOutputIsTerminal() {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(output, &mode) == 0) return false;
    // ENABLE_VIRTUAL_TERMINAL_PROCESSING: consoles that lack it draw lines.
    return ::SetConsoleMode(output, mode | 0x0004) != 0;
}

void setFlagOnInterrupt(std::atomic<bool>* flag) {
    interruptFlag = flag;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

std::string executableDirectory() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    const std::string file(path, length);
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? "" : file.substr(0, slash);
}

std::string lastSystemError() {
    const DWORD error = ::GetLastError();
    char text[256] = "";
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                          0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

#else

namespace {

void onSignal(int) {
    if (interruptFlag) interruptFlag->store(true);
}

}  // namespace

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void setFlagOnInterrupt(std::atomic<bool>* flag) {
    interruptFlag = flag;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec left = {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts the sleep short; the caller checks its flag soon after.
    ::nanosleep(&left, &left);
}

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return "";
    const std::string file(path, static_cast<std::size_t>(length));
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? "" : file.substr(0, slash);
}

std::string lastSystemError() { return std::strerror(errno); }

#endif

}  // namespace lanbrowse
