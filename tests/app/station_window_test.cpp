// The gang station window on the simulated line of two ports, on a virtual clock: the
// runner's thread reaches the tiles and totals through queued calls, and a close stops it.

#include "app/station_window.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/gang_station.h"
#include "production/result_text.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/virtual_clock.h"

namespace bw {
namespace {

struct Station {
    Station(const std::string& scenario, int count) : line(ParseScenario(scenario), &clock) {
        const std::string image = dir.filePath(QStringLiteral("image.bin")).toStdString();
        std::ofstream(image, std::ios::binary) << std::string(2048, '\x5A');
        DeviceOptionText text;
        text.sleep = "5";
        text.writeId = true;
        text.sn = "10";
        options = ResolveDeviceOptions(text);
        run.count = count;
        run.slotsText = "2";
        station = std::make_unique<GangStation>(image, options, run, "binwright-gui");
        std::ostringstream said;
        EXPECT_FALSE(station->load(said, said)) << said.str();
        window = std::make_unique<StationWindow>(line, *station, &waits);
        window->show();
    }
    QString Result(int slot) const { return window->Tile(slot)->result->text(); }
    QColor ResultColour(int slot) const {
        return window->Tile(slot)->result->palette().color(QPalette::WindowText);
    }

    QTemporaryDir dir;
    test::VirtualClock clock;
    SimulatedPlatform line;
    test::VirtualWaits waits{clock};
    DeviceOptions options;
    RunOptions run;
    std::unique_ptr<GangStation> station;
    std::unique_ptr<StationWindow> window;
};

constexpr int kGuardMs = 60000;  // a hang guard only; the clock of the line is virtual

// Runs the window's events until `done` holds; false when the guard ran out first.
template <typename F>
bool RunUntil(StationWindow& window, F done) {
    for (int waited = 0; !done(); waited += 20) {
        if (waited > kGuardMs) return false;
        QSignalSpy(&window, &StationWindow::finished).wait(20);
    }
    return true;
}

TEST(StationWindow, TilesShowEachResultAndTheTotalsCountThem) {
    Station s("slots=2,mice=4,fault-slot=2,nack=1", 4);
    ASSERT_NE(s.window->Tile(2), nullptr);  // --slots 2: both tiles before the first mouse
    EXPECT_EQ(s.Result(1), QStringLiteral("No mouse"));
    EXPECT_EQ(s.window->nextSerial->text(), QStringLiteral("10"));
    QSignalSpy ended(s.window.get(), &StationWindow::finished);
    s.window->Start();
    ASSERT_TRUE(ended.wait(kGuardMs));

    EXPECT_EQ(s.window->Tile(1)->title->text(), QStringLiteral("Slot 1   port port1"));
    EXPECT_EQ(s.Result(1), QStringLiteral("Pass"));
    const ResultView pass = ViewOf(Operation::Write, Outcome::Pass, 0);
    EXPECT_EQ(s.ResultColour(1), QColor(pass.colour.r, pass.colour.g, pass.colour.b));
    EXPECT_TRUE(s.window->Tile(1)->serial->text().startsWith(QStringLiteral("SN 1")));
    // The faulty port's mice fail, in the failure's red, and take no number into the mouse.
    EXPECT_EQ(s.Result(2), QStringLiteral("Fail"));
    EXPECT_EQ(s.ResultColour(2), QColor(kRed.r, kRed.g, kRed.b));

    EXPECT_EQ(s.window->totalMice->text(), QStringLiteral("4"));
    const int passes = s.window->totalPasses->text().toInt();
    EXPECT_GE(passes, 1);
    EXPECT_LE(passes, 3);
    EXPECT_EQ(s.window->totalFails->text().toInt(), 4 - passes);
    EXPECT_EQ(s.window->yield->text(), QStringLiteral("%1 %").arg(25.0 * passes, 0, 'f', 1));
    // Four numbers taken, one per mouse, whether or not the mouse received its own.
    EXPECT_EQ(s.window->nextSerial->text(), QStringLiteral("14"));
    EXPECT_EQ(s.window->ExitCode(), exitcode::Fail);
    EXPECT_FALSE(s.window->Running());
}

TEST(StationWindow, ClosingAsksTheRunnerToFinishAndClosesWhenItEnded) {
    Station s("slots=2,mice=20", 0);
    QSignalSpy closed(s.window.get(), &StationWindow::closed);
    s.window->Start();
    ASSERT_TRUE(RunUntil(*s.window, [&] { return s.window->totalMice->text().toInt() >= 3; }));
    // The first close is refused while the mice in progress end.
    EXPECT_FALSE(s.window->close());
    EXPECT_TRUE(s.window->Running());
    ASSERT_TRUE(closed.wait(kGuardMs));
    EXPECT_FALSE(s.window->Running());
    EXPECT_FALSE(s.window->isVisible());
    EXPECT_EQ(s.window->totalPasses->text(), s.window->totalMice->text());
    EXPECT_EQ(s.window->ExitCode(), exitcode::Pass);
    EXPECT_EQ(s.line.openHandleCount(), 0);
}

// Options the station cannot use end the program with exit code 2 before a window shows
// (a --gang option without it, a value that does not resolve, --no-ledger with --ledger, a
// station name the ledger would not take).
TEST(StationOptions, RefusedBeforeAnyWindowWithExitCode2) {
    for (const char* args : {"--sn 5", "--gang image.bin --sn X", "--gang image.bin --ic 7",
                             "--no-ledger", "--gang image.bin --write-id --no-ledger --ledger l.db",
                             "--gang image.bin --write-id --station-name 'a\tb'"}) {
        SCOPED_TRACE(args);
        const int status = std::system(
            (std::string(BINWRIGHT_GUI_PATH) + " --simulate " + args + " 2>/dev/null").c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
}

}  // namespace
}  // namespace bw
