#include "cli/windows_service.h"

#include "production/result_text.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <vector>

#include "cli/cli_app.h"
#include "cli/line_sink_buf.h"
#include "frontend/interrupt_flag.h"
#include "ledger/station_home.h"
#include "os/utf8_path.h"
#endif

namespace bw {

#ifdef _WIN32
namespace {

const wchar_t* const kEventLogKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string result = n > 0 && text != nullptr ? Utf8FromWide(std::wstring_view(text, n))
                                                  : "error " + std::to_string(error);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == '.'))
        result.pop_back();
    return result;
}

struct Handle {
    SC_HANDLE h = nullptr;
    ~Handle() {
        if (h != nullptr) CloseServiceHandle(h);
    }
};

std::wstring QuotedArgument(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring ProgramPath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

// The service's messages under its own source, the program as the message file: its
// message table passes each text through as it stands.
void RegisterEventSource(const std::wstring& source) {
    HKEY key = nullptr;
    const std::wstring path = kEventLogKey + source;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring program = ProgramPath();
    RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                   sizeof types);
    RegCloseKey(key);
}

// What the running service knows; the service manager's callbacks take no argument of ours.
struct ServiceState {
    std::wstring name;
    std::string station;
    std::string config;
    SERVICE_STATUS_HANDLE status = nullptr;
    HANDLE events = nullptr;  // the event log source
    std::atomic<bool> stopAsked{false};
    int exitCode = 0;
};
ServiceState* g_service = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD specific = 0, DWORD waitMs = 0) {
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    s.dwWin32ExitCode = exitCode;
    s.dwServiceSpecificExitCode = specific;
    s.dwWaitHint = waitMs;
    SetServiceStatus(g_service->status, &s);
}

void Log(WORD type, const std::string& text) {
    if (g_service == nullptr || g_service->events == nullptr || text.empty()) return;
    const std::wstring wide = WideFromUtf8(text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(g_service->events, type, 0, 1, nullptr, 1, 0, strings, nullptr);
}

std::string CurrentExceptionText() {
    const std::exception_ptr current = std::current_exception();
    if (!current) return "no exception (std::terminate)";
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an exception of unknown type";
    }
}

// An exception escaping one of the station's threads, or a noexcept function, would end
// the process without a word: the event log gets its text first. The service manager counts
// the end as a crash and starts the station again.
[[noreturn]] void OnTerminate() {
    try {
        Log(EVENTLOG_ERROR_TYPE, "station crashed: " + CurrentExceptionText());
    } catch (...) {
    }
    std::abort();
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            g_service->stopAsked = true;
            Report(SERVICE_STOP_PENDING, NO_ERROR, 0, 30000);
            InterruptFlag::Terminate();
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// The service manager starts a service in the system folder. The station works in its data
// folder instead, as the Linux unit does in its state folder (a config's relative paths are
// taken from the config's own folder, wherever the station works). Empty when there is none.
std::string EnterStationFolder() {
    const auto folder = ledger::StationDataFolder();
    if (!folder) return {};
    std::error_code ec;
    std::filesystem::create_directories(*folder, ec);
    if (ec || !SetCurrentDirectoryW(folder->c_str())) return {};
    return Utf8FromPath(*folder);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    ServiceState& s = *g_service;
    s.status = RegisterServiceCtrlHandlerExW(s.name.c_str(), OnControl, nullptr);
    if (s.status == nullptr) return;
    s.events = RegisterEventSourceW(nullptr, s.name.c_str());
    std::set_terminate(OnTerminate);
    Report(SERVICE_RUNNING);
    const std::string folder = EnterStationFolder();
    // The service's name is the station's name in the ledger, as the Linux unit's instance is.
    std::string program = "binwright", run = "run", configOption = "--config", config = s.config,
                nameOption = "--station-name", station = s.station;
    char* argv[] = {program.data(), run.data(),        configOption.data(),
                    config.data(),  nameOption.data(), station.data(),
                    nullptr};
    const int argc = 6;
    std::string command;
    for (int i = 0; i < argc; ++i) command += (i > 0 ? " " : "") + std::string(argv[i]);
    Log(EVENTLOG_INFORMATION_TYPE,
        "station started: " + command + (folder.empty() ? "" : " in " + folder));

    // Each line an event as soon as it is written: the log shows how far the station got.
    LineSinkBuf outBuf([](const std::string& line) { Log(EVENTLOG_INFORMATION_TYPE, line); });
    LineSinkBuf errBuf([](const std::string& line) { Log(EVENTLOG_WARNING_TYPE, line); });
    std::ostream out(&outBuf), err(&errBuf);
    CliEnvironment environment;
    try {
        s.exitCode = RunCli(argc, argv, out, err, environment);
    } catch (...) {
        // Nothing is expected to get here; the station's files were closed on the way out.
        outBuf.finish();
        errBuf.finish();
        Log(EVENTLOG_ERROR_TYPE, "station crashed: " + CurrentExceptionText());
        if (s.events != nullptr) DeregisterEventSource(s.events);
        // Ended without a stopped state, the service manager counts it a crash and starts
        // it again, as an uncaught exception's abort does for the Linux unit.
        ExitProcess(static_cast<UINT>(exitcode::Fail));
    }
    outBuf.finish();
    errBuf.finish();
    // A stop asked for by the manager is a clean end, whatever the mouse in progress did.
    const bool clean = s.exitCode == 0 || (s.stopAsked && s.exitCode == exitcode::Terminated);
    Log(clean ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_ERROR_TYPE,
        "station ended with exit code " + std::to_string(s.exitCode));
    if (s.events != nullptr) DeregisterEventSource(s.events);
    s.events = nullptr;
    Report(SERVICE_STOPPED, clean ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR,
           clean ? 0 : static_cast<DWORD>(s.exitCode));
}

}  // namespace

int InstallStationService(const std::string& service, const std::string& station,
                          const std::string& config, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(PathFromUtf8(config), ec);
    if (ec || !std::filesystem::is_regular_file(file, ec)) {
        err << "binwright service install: --config \"" << config << "\" is not a file\n";
        return exitcode::Usage;
    }
    const std::wstring name = WideFromUtf8(service);
    const std::wstring command = QuotedArgument(ProgramPath()) + L" service run " +
                                 WideFromUtf8(station) + L" --config " +
                                 QuotedArgument(file.native());
    Handle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE)};
    if (manager.h == nullptr) {
        err << "binwright service install: the service manager refused: "
            << ErrorText(GetLastError()) << " (run it as an administrator)\n";
        return exitcode::Fail;
    }
    const std::wstring display = L"Binwright station " + WideFromUtf8(station);
    Handle created{CreateServiceW(manager.h, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr)};
    if (created.h == nullptr) {
        err << "binwright service install: " << service << ": " << ErrorText(GetLastError())
            << "\n";
        return exitcode::Fail;
    }
    std::wstring about = L"Writes every mouse plugged in: binwright run --config " + file.native() +
                         L" --station-name " + WideFromUtf8(station);
    SERVICE_DESCRIPTIONW description{about.data()};
    ChangeServiceConfig2W(created.h, SERVICE_CONFIG_DESCRIPTION, &description);
    // Started again 10 s after a crash, as the Linux unit is.
    SC_ACTION restart{SC_ACTION_RESTART, 10000};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 86400;
    failure.cActions = 1;
    failure.lpsaActions = &restart;
    ChangeServiceConfig2W(created.h, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
    RegisterEventSource(name);
    out << "installed the service " << service << ": " << Utf8FromWide(command)
        << "\nstart it with: sc start " << service << "\n";
    return exitcode::Pass;
}

int UninstallStationService(const std::string& service, std::ostream& out, std::ostream& err) {
    const std::wstring name = WideFromUtf8(service);
    Handle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (manager.h == nullptr) {
        err << "binwright service uninstall: the service manager refused: "
            << ErrorText(GetLastError()) << " (run it as an administrator)\n";
        return exitcode::Fail;
    }
    Handle opened{
        OpenServiceW(manager.h, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)};
    if (opened.h == nullptr) {
        err << "binwright service uninstall: " << service << ": " << ErrorText(GetLastError())
            << "\n";
        return exitcode::Fail;
    }
    SERVICE_STATUS status{};
    if (ControlService(opened.h, SERVICE_CONTROL_STOP, &status)) {
        // The station finishes the mouse in progress first: a write takes seconds.
        for (int i = 0; i < 600 && QueryServiceStatus(opened.h, &status) &&
                        status.dwCurrentState != SERVICE_STOPPED;
             ++i)
            Sleep(100);
    }
    if (!DeleteService(opened.h)) {
        err << "binwright service uninstall: " << service << ": " << ErrorText(GetLastError())
            << "\n";
        return exitcode::Fail;
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kEventLogKey + name).c_str());
    out << "removed the service " << service << "\n";
    return exitcode::Pass;
}

int RunStationService(const std::string& service, const std::string& station,
                      const std::string& config, std::ostream& err) {
    ServiceState state;
    state.name = WideFromUtf8(service);
    state.station = station;
    state.config = config;
    g_service = &state;
    InterruptFlag::AsService();
    SERVICE_TABLE_ENTRYW table[] = {{state.name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        const DWORD error = GetLastError();
        g_service = nullptr;
        err << "binwright service run: "
            << (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                    ? std::string("the service manager starts this; use `sc start ") + service +
                          "`, or `binwright run --config FILE` in a console"
                    : ErrorText(error))
            << "\n";
        return exitcode::Usage;
    }
    g_service = nullptr;
    return state.exitCode;
}

#else

namespace {
int NotHere(std::ostream& err) {
    err << "binwright service: Windows only; on Linux a station runs as the systemd unit "
           "binwright-station@NAME.service\n";
    return exitcode::Usage;
}
}  // namespace

int InstallStationService(const std::string&, const std::string&, const std::string&, std::ostream&,
                          std::ostream& err) {
    return NotHere(err);
}
int UninstallStationService(const std::string&, std::ostream&, std::ostream& err) {
    return NotHere(err);
}
int RunStationService(const std::string&, const std::string&, const std::string&,
                      std::ostream& err) {
    return NotHere(err);
}

#endif

}  // namespace bw
