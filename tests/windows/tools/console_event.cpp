// console_event EVENT MS PROGRAM [ARGS...]: starts PROGRAM, sends it the console event EVENT
// (break, close, logoff or shutdown) after MS milliseconds, waits for it and prints
// "exit code N". The event arrives as Windows' console delivers it: a thread started in the
// program at kernel32's CtrlRoutine, which calls the program's console handlers. (Wine's
// GenerateConsoleCtrlEvent passes Ctrl-C on but no Ctrl-Break, and no console sends the
// other three there.) For the Windows smoke test.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool EventNamed(const wchar_t* name, DWORD* event) {
    const struct {
        const wchar_t* name;
        DWORD event;
    } kEvents[] = {{L"break", CTRL_BREAK_EVENT},
                   {L"close", CTRL_CLOSE_EVENT},
                   {L"logoff", CTRL_LOGOFF_EVENT},
                   {L"shutdown", CTRL_SHUTDOWN_EVENT}};
    for (const auto& e : kEvents) {
        if (std::wcscmp(name, e.name) == 0) {
            *event = e.event;
            return true;
        }
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD event = 0;
    if (argc < 4 || !EventNamed(argv[1], &event)) {
        std::fputs("usage: console_event break|close|logoff|shutdown MS PROGRAM [ARGS...]\n",
                   stderr);
        return 2;
    }
    std::wstring command;
    for (int i = 3; i < argc; ++i)
        command += (i > 3 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &start, &child)) {
        std::fprintf(stderr, "console_event: cannot start the program (error %lu)\n",
                     GetLastError());
        return 2;
    }
    // Every process maps kernel32 at the same address, so this one's CtrlRoutine is the
    // program's too.
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
    if (routine == nullptr) {
        std::fputs("console_event: kernel32 has no CtrlRoutine\n", stderr);
        TerminateProcess(child.hProcess, 2);
        return 2;
    }
    if (WaitForSingleObject(child.hProcess, std::wcstoul(argv[2], nullptr, 10)) == WAIT_TIMEOUT) {
        HANDLE thread =
            CreateRemoteThread(child.hProcess, nullptr, 0, routine,
                               reinterpret_cast<void*>(static_cast<UINT_PTR>(event)), 0, nullptr);
        if (thread == nullptr)
            std::fprintf(stderr, "console_event: no event sent (error %lu)\n", GetLastError());
        else
            CloseHandle(thread);
    }
    if (WaitForSingleObject(child.hProcess, 120000) == WAIT_TIMEOUT) {
        std::fputs("console_event: the program did not end within 120 s\n", stderr);
        TerminateProcess(child.hProcess, 1);
    }
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    std::fflush(stdout);
    std::printf("exit code %lu\n", code);
    return 0;
}
