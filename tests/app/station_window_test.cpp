// The gang station window on the simulated line of two ports, on a virtual clock: the
// runner's thread reaches the tiles and totals through queued calls, and a close stops it.

#include "app/station_window.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>

#include "frontend/gang_station.h"
#include "frontend/interrupt_flag.h"
#include "production/result_text.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/virtual_clock.h"
#include "ui/message_boxes.h"

namespace bw {
namespace {

// Holds every feature transfer while `held`, so a test can close the window while writes are
// certainly in progress.
class GatePlatform : public HidPlatform {
  public:
    explicit GatePlatform(SimulatedPlatform& line) : line_(line) {}
    void hold() {
        const std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void release() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
    }
    std::vector<HidInterfaceInfo> enumerate() override { return line_.enumerate(); }
    HidHandle open(const std::string& path, std::string* error) override {
        return line_.open(path, error);
    }
    int setFeature(HidHandle h, const std::uint8_t* d, std::size_t n) override {
        pass();
        return line_.setFeature(h, d, n);
    }
    int getFeature(HidHandle h, std::uint8_t* d, std::size_t n) override {
        pass();
        return line_.getFeature(h, d, n);
    }
    void close(HidHandle h) override { line_.close(h); }
    void beginOperation() override { line_.beginOperation(); }
    void endOperation() override { line_.endOperation(); }
    void operationEnded(HidHandle h) override { line_.operationEnded(h); }
    std::unique_ptr<PresenceWatcher> watchPresence() override { return line_.watchPresence(); }

  private:
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !held_; });
    }
    SimulatedPlatform& line_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
};

struct Station {
    Station(const std::string& scenario, int count, const std::string& slotText = "2",
            const std::function<void(DeviceOptionText&)>& tweak = {})
        : line(ParseScenario(scenario), &clock) {
        const std::string image = dir.filePath(QStringLiteral("image.bin")).toStdString();
        std::ofstream(image, std::ios::binary) << std::string(2048, '\x5A');
        DeviceOptionText text;
        text.sleep = "5";
        text.writeId = true;
        text.sn = "10";
        if (tweak) tweak(text);
        options = ResolveDeviceOptions(text);
        run.count = count;
        run.slotsText = slotText;
        station = std::make_unique<GangStation>(image, options, run, "binwright-gui");
        std::ostringstream said;
        EXPECT_FALSE(station->load(said, said)) << said.str();
        window = std::make_unique<StationWindow>(gate, *station, &waits);
        window->show();
    }
    ~Station() { gate.release(); }
    QString Result(int slot) const { return window->Tile(slot)->result->text(); }
    QColor ResultColour(int slot) const {
        return window->Tile(slot)->result->palette().color(QPalette::WindowText);
    }

    QTemporaryDir dir;
    test::VirtualClock clock;
    SimulatedPlatform line;
    GatePlatform gate{line};
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

    EXPECT_EQ(s.window->Tile(1)->title->text(), QStringLiteral("Slot 1   port1"));
    EXPECT_EQ(s.Result(1), QStringLiteral("Pass"));
    const ResultView pass = ViewOf(Operation::Write, Outcome::Pass, 0);
    EXPECT_EQ(s.ResultColour(1), QColor(pass.colour.r, pass.colour.g, pass.colour.b));
    EXPECT_TRUE(s.window->Tile(1)->serial->text().startsWith(QStringLiteral("SN 1")));
    // The faulty port's mice fail, in the failure's red, and take no number into the mouse.
    EXPECT_EQ(s.Result(2), QStringLiteral("Fail"));
    EXPECT_EQ(s.ResultColour(2), QColor(kRed.r, kRed.g, kRed.b));
    // Why, as the main window says it under its result.
    EXPECT_TRUE(s.window->Tile(2)->detail->text().contains(QStringLiteral("not acknowledged")))
        << s.window->Tile(2)->detail->text().toStdString();

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

// A close lets the mice in progress end and stays open with their results and a summary of
// what ended how; the next close closes.
TEST(StationWindow, ACloseLetsTheMiceEndAndShowsWhatEndedHow) {
    Station s("slots=2,mice=20", 0);
    QSignalSpy closed(s.window.get(), &StationWindow::closed);
    QSignalSpy ended(s.window.get(), &StationWindow::finished);
    s.window->Start();
    ASSERT_TRUE(RunUntil(*s.window, [&] { return s.window->totalMice->text().toInt() >= 3; }));
    // The first close is refused while the mice in progress end.
    EXPECT_FALSE(s.window->close());
    EXPECT_TRUE(s.window->Running());
    ASSERT_TRUE(ended.wait(kGuardMs));
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.window->Running());
    EXPECT_TRUE(s.window->isVisible());
    EXPECT_EQ(closed.count(), 0);
    const QString summary = s.window->status->text();
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Stopped"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("passed"))) << summary.toStdString();
    EXPECT_EQ(s.window->totalPasses->text(), s.window->totalMice->text());
    EXPECT_EQ(s.window->ExitCode(), exitcode::Pass);
    EXPECT_EQ(s.line.openHandleCount(), 0);
    EXPECT_TRUE(s.window->close());
    EXPECT_EQ(closed.count(), 1);
}

// A second close while mice are being written asks first, names the half-written slots and
// stops them only when the operator says so; afterwards it lists the slots it aborted.
TEST(StationWindow, ASecondCloseAsksBeforeAbortingAndNamesTheSlots) {
    Station s("slots=2,mice=20", 0);
    QStringList questions;
    bool answer = false;
    SetQuestionHook([&](const QString& text) {
        questions << text;
        return answer;
    });
    s.gate.hold();
    s.window->Start();
    ASSERT_TRUE(RunUntil(*s.window, [&] {
        return s.window->Tile(1)->result->text() == QStringLiteral("Checking mouse") &&
               s.window->Tile(2)->result->text() == QStringLiteral("Checking mouse");
    }));
    EXPECT_FALSE(s.window->close());
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_FALSE(s.window->close());  // asked, and declined: the writes go on
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("slots 1, 2"))) << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains(QStringLiteral("half written")));
    EXPECT_FALSE(s.window->status->text().startsWith(QStringLiteral("Aborting")));
    answer = true;
    EXPECT_FALSE(s.window->close());
    EXPECT_EQ(questions.size(), 2);
    EXPECT_TRUE(s.window->status->text().startsWith(QStringLiteral("Aborting")));
    s.gate.release();
    QSignalSpy ended(s.window.get(), &StationWindow::finished);
    ASSERT_TRUE(ended.wait(kGuardMs));
    QCoreApplication::processEvents();
    SetQuestionHook({});
    EXPECT_TRUE(s.window->isVisible());
    const QString said = s.window->messages->toPlainText();
    EXPECT_TRUE(said.contains(QStringLiteral("aborted: slots 1, 2"))) << said.toStdString();
    EXPECT_TRUE(s.window->status->text().contains(QStringLiteral("2 aborted")))
        << s.window->status->text().toStdString();
    EXPECT_EQ(s.Result(1), QStringLiteral("Fail"));
    EXPECT_EQ(s.window->totalPasses->text(), QStringLiteral("0"));
    EXPECT_EQ(s.line.openHandleCount(), 0);
}

// SIGTERM (a service stopped) is a close: the mice in progress end, then the window goes
// without waiting for the operator, and the program's exit code says so.
TEST(StationWindow, SigtermIsACloseThatEndsTheProgramWhenTheMiceEnded) {
    Station s("slots=2,mice=20", 0);
    InterruptFlag flag;
    s.window->WatchSignals(flag);
    QSignalSpy closed(s.window.get(), &StationWindow::closed);
    s.gate.hold();
    s.window->Start();
    ASSERT_TRUE(RunUntil(*s.window, [&] {
        return s.window->Tile(1)->result->text() == QStringLiteral("Checking mouse");
    }));
    std::raise(SIGTERM);
    ASSERT_TRUE(RunUntil(*s.window, [&] {
        return s.window->status->text().startsWith(QStringLiteral("Stopping"));
    }));
    s.gate.release();
    ASSERT_TRUE(closed.wait(kGuardMs));
    EXPECT_FALSE(s.window->Running());
    EXPECT_EQ(s.window->ExitCode(), exitcode::Terminated);
    // The mouse that was being written was finished, not cut.
    EXPECT_EQ(s.Result(1), QStringLiteral("Pass"));
}

// The gang window reads back every byte written, as every front end does by default.
TEST(StationWindow, EveryWriteIsReadBack) {
    Station s("ic=1,slots=1,mice=1,stuck-byte=300", 1, "1", [](DeviceOptionText& text) {
        text.ic = "1";
        text.writeId = false;
    });
    QSignalSpy ended(s.window.get(), &StationWindow::finished);
    s.window->Start();
    ASSERT_TRUE(ended.wait(kGuardMs));
    EXPECT_EQ(s.Result(1), QStringLiteral("Fail"));
    EXPECT_TRUE(s.window->Tile(1)->detail->text().contains(QStringLiteral("differs")));
}

// Ports are slotted in their natural order (port2 before port10), each tile names its port
// once, and sixteen slots fit a 1024 x 768 screen.
TEST(StationWindow, ManySlotsInPortOrderFitASmallScreen) {
    Station s("slots=16,mice=16", 16, "16");
    QSignalSpy ended(s.window.get(), &StationWindow::finished);
    s.window->Start();
    ASSERT_TRUE(ended.wait(kGuardMs));
    for (int slot = 1; slot <= 16; ++slot) {
        EXPECT_EQ(s.window->Tile(slot)->title->text(),
                  QStringLiteral("Slot %1   port%1").arg(slot));
    }
    const QSize needed = s.window->minimumSizeHint();
    EXPECT_LE(needed.width(), 1024);
    EXPECT_LE(needed.height(), 768 - 60) << needed.height();  // the title bar and a panel
}

// Options the station cannot use end the program with exit code 2 before a window shows
// (a --gang option without it, a value that does not resolve, --no-ledger with --ledger, a
// station name the ledger would not take).
TEST(StationOptions, RefusedBeforeAnyWindowWithExitCode2) {
    QTemporaryDir dir;
    const std::string said = dir.filePath(QStringLiteral("stderr")).toStdString();
    struct Row {
        const char* args;
        const char* names;  // what stderr names
    };
    for (const Row& row :
         {Row{"--sn 5", "--sn"}, Row{"--gang image.bin --sn X", "--sn"},
          Row{"--gang image.bin --ic 7", "--ic"}, Row{"--gang image.bin --retries 0", "--retries"},
          Row{"--no-ledger", "--no-ledger"},
          Row{"--gang image.bin --write-id --no-ledger --ledger l.db", "--no-ledger"},
          Row{"--gang image.bin --write-id --station-name 'a\tb'", "station"}}) {
        SCOPED_TRACE(row.args);
        const int status = std::system(
            (std::string(BINWRIGHT_GUI_PATH) + " --simulate " + row.args + " 2>" + said).c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        std::ifstream in(said);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(row.names), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace bw
