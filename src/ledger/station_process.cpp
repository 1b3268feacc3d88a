#include "ledger/station_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bw::ledger {

std::string ThisHost() {
#ifdef _WIN32
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return "?";
    // The name as UTF-8, as every text of the ledger.
    char text[4 * (MAX_COMPUTERNAME_LENGTH + 1)] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(size), text,
                                          sizeof text - 1, nullptr, nullptr);
    return bytes > 0 ? std::string(text, static_cast<std::size_t>(bytes)) : "?";
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "?";
    return name;
#endif
}

std::int64_t ThisProcessId() {
#ifdef _WIN32
    return static_cast<std::int64_t>(GetCurrentProcessId());
#else
    return static_cast<std::int64_t>(getpid());
#endif
}

bool ProcessRuns(std::int64_t processId) {
    if (processId <= 0) return true;
#ifdef _WIN32
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool runs = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
#else
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
#endif
}

}  // namespace bw::ledger
