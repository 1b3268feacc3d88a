#include "cli/console_session.h"

#include <cstdio>

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#endif

namespace bw {

#ifdef _WIN32

ConsoleSession::ConsoleSession() {
    outputCodePage_ = GetConsoleOutputCP();
    if (outputCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
        inputMode_ = mode;
        inputModeSet_ =
            SetConsoleMode(input, (mode | ENABLE_EXTENDED_FLAGS) & ~DWORD{ENABLE_QUICK_EDIT_MODE});
    }
}

ConsoleSession::~ConsoleSession() {
    if (inputModeSet_) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), inputMode_);
    if (outputCodePage_ != 0) SetConsoleOutputCP(outputCodePage_);
}

bool ConsoleSession::ownsWindow() const {
    DWORD processes[2] = {};
    return GetConsoleProcessList(processes, 2) == 1;
}

void ConsoleSession::waitForKey() const {
    std::fputs("\nPress a key to close this window.\n", stdout);
    std::fflush(stdout);
    (void)_getch();
}

#else

ConsoleSession::ConsoleSession() = default;
ConsoleSession::~ConsoleSession() = default;

bool ConsoleSession::ownsWindow() const {
    return false;
}

void ConsoleSession::waitForKey() const {}

#endif

}  // namespace bw
