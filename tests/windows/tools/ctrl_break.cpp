// ctrl_break MS PROGRAM [ARGS...]: starts PROGRAM on this console in a process group of its
// own, sends that group Ctrl-Break after MS milliseconds, waits for it and prints
// "exit code N". What a user's Ctrl-Break does, for the Windows smoke test.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: ctrl_break MS PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    if (GetConsoleWindow() == nullptr) AllocConsole();
    std::wstring command;
    for (int i = 2; i < argc; ++i) command += (i > 2 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, nullptr, &start, &child)) {
        std::fprintf(stderr, "ctrl_break: cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.dwProcessId))
        std::fprintf(stderr, "ctrl_break: no Ctrl-Break sent (error %lu)\n", GetLastError());
    WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    std::fflush(stdout);
    std::printf("exit code %lu\n", code);
    return 0;
}
