// The console's events on Windows: Ctrl-C is SIGINT, Ctrl-Break is SIGTERM (the service
// manager's stop too), each with the stop request and the exit code of the signal.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "cli/interrupt_flag.h"
#include "production/result_text.h"

namespace bw {
namespace {

// The handler runs on a thread the system starts: wait for it to have run.
StopRequest AfterEvent(InterruptFlag& flag, DWORD event) {
    if (!GenerateConsoleCtrlEvent(event, 0)) return StopRequest::None;
    for (int i = 0; i < 500 && flag.request() == StopRequest::None; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag.request();
}

TEST(ConsoleEvents, CtrlBreakIsSigtermAndCtrlCIsSigint) {
    if (GetConsoleWindow() == nullptr && !AllocConsole())
        GTEST_SKIP() << "no console to send the events in";
    {
        InterruptFlag flag;
        EXPECT_EQ(AfterEvent(flag, CTRL_BREAK_EVENT), StopRequest::Finish);
        EXPECT_EQ(flag.exitCode(exitcode::Pass), exitcode::Terminated);
    }
    {
        InterruptFlag flag;
        EXPECT_EQ(AfterEvent(flag, CTRL_C_EVENT), StopRequest::Finish);
        EXPECT_EQ(flag.exitCode(exitcode::Fail), exitcode::Interrupted);
    }
}

TEST(ConsoleEvents, TheServiceManagersStopIsSigtermEvenBeforeTheCommandStarts) {
    InterruptFlag::Terminate();
    InterruptFlag flag;
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    EXPECT_EQ(flag.exitCode(exitcode::Pass), exitcode::Terminated);
}

}  // namespace
}  // namespace bw
