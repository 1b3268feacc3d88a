// The console's events on Windows: Ctrl-C is SIGINT, Ctrl-Break is SIGTERM (the service
// manager's stop too), each with the stop request and the exit code of the signal. The
// events arrive as the console delivers them, on a thread started at kernel32's CtrlRoutine.
// (Closing the console, logoff and shutdown hold their thread until the process ends: the
// Wine smoke test sends those to a whole `run`.)
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "frontend/interrupt_flag.h"
#include "production/result_text.h"

namespace bw {
namespace {

// Runs the process's console handlers for `event` and waits for them.
bool Deliver(DWORD event) {
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
    if (routine == nullptr) return false;
    HANDLE thread = CreateThread(nullptr, 0, routine,
                                 reinterpret_cast<void*>(static_cast<UINT_PTR>(event)), 0, nullptr);
    if (thread == nullptr) return false;
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

TEST(ConsoleEvents, CtrlBreakIsSigtermAndCtrlCIsSigint) {
    struct Case {
        DWORD event;
        int exitCode;
    };
    for (const Case c : {Case{CTRL_BREAK_EVENT, exitcode::Terminated},
                         Case{CTRL_C_EVENT, exitcode::Interrupted}}) {
        SCOPED_TRACE(c.event);
        InterruptFlag flag;
        EXPECT_EQ(flag.request(), StopRequest::None);
        ASSERT_TRUE(Deliver(c.event));
        EXPECT_EQ(flag.request(), StopRequest::Finish);
        EXPECT_EQ(flag.exitCode(exitcode::Pass), c.exitCode);
    }
}

TEST(ConsoleEvents, TwoCtrlCWithinTheWindowAbort) {
    auto now = std::chrono::steady_clock::time_point{};
    InterruptFlag flag([&] { return now; });
    ASSERT_TRUE(Deliver(CTRL_C_EVENT));
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    now += std::chrono::seconds(1);
    ASSERT_TRUE(Deliver(CTRL_C_EVENT));
    EXPECT_EQ(flag.request(), StopRequest::Abort);
}

TEST(ConsoleEvents, TheServiceManagersStopIsSigtermEvenBeforeTheCommandStarts) {
    InterruptFlag::Terminate();
    InterruptFlag flag;
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    EXPECT_EQ(flag.exitCode(exitcode::Pass), exitcode::Terminated);
}

}  // namespace
}  // namespace bw
