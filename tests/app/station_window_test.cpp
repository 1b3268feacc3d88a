// The gang station window in Qt, as a view: the tiles drawn from their state, the layout of
// many slots, the close handed to the behaviour. What the station does is the model's
// (tests/window/station_window_model_test.cpp).

#include "app/station_window.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <fstream>

namespace bw {
namespace {

// Answers the close as the behaviour would and counts what reached it.
struct Events : window::StationWindowEvents {
    bool letClose = false;
    int closeQueries = 0;
    int ticks = 0;
    bool OnCloseQuery() override {
        ++closeQueries;
        return letClose;
    }
    void OnTick() override { ++ticks; }
};

// A result fills the tile in its colour; a phase's longer label is smaller; the bar, the
// serial and the time follow the state.
TEST(StationWindow, ATileDrawsItsState) {
    StationWindow window(2);
    window.SetTile({.slot = 2,
                    .port = "1-2.3",
                    .text = "Writing 2048 bytes",
                    .colour = {0, 0, 255},
                    .serial = "SN 12",
                    .progressDone = 512,
                    .progressTotal = 2048,
                    .elapsedSeconds = 1.5});
    SlotTile* tile = window.Tile(2);
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(window.Tile(1), nullptr);
    EXPECT_EQ(tile->title->text(), QStringLiteral("Slot 2   port 1-2.3"));
    EXPECT_EQ(tile->result->text(), QStringLiteral("Writing 2048 bytes"));
    EXPECT_EQ(tile->result->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    const int phasePoints = tile->result->font().pointSize();
    EXPECT_EQ(tile->progress->maximum(), 2048);
    EXPECT_EQ(tile->progress->value(), 512);
    EXPECT_EQ(tile->serial->text(), QStringLiteral("SN 12"));
    EXPECT_EQ(tile->elapsed->text(), QStringLiteral("1.5 s"));

    window.SetTile({.slot = 2,
                    .port = "1-2.3",
                    .text = "Fail",
                    .colour = {255, 0, 0},
                    .large = true,
                    .detail = "not acknowledged",
                    .serial = "SN -"});
    EXPECT_GT(tile->result->font().pointSize(), phasePoints);
    EXPECT_EQ(tile->result->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(tile->detail->text(), QStringLiteral("not acknowledged"));
    EXPECT_EQ(tile->detail->toolTip(), QStringLiteral("not acknowledged"));
    EXPECT_EQ(tile->progress->value(), 0);  // no bar without a total
    EXPECT_TRUE(tile->elapsed->text().isEmpty());
}

// Sixteen slots fit a 1024 x 768 screen, six smaller tiles to a row.
TEST(StationWindow, ManySlotsFitASmallScreen) {
    StationWindow window(16);
    for (int slot = 1; slot <= 16; ++slot)
        window.SetTile(
            {.slot = slot, .port = "port" + std::to_string(slot), .text = "Pass", .large = true});
    const QSize needed = window.minimumSizeHint();
    EXPECT_LE(needed.width(), 1024);
    EXPECT_LE(needed.height(), 768 - 60) << needed.height();  // the title bar and a panel
}

// The close goes to the behaviour, which may refuse it; Close() closes without asking; the
// tick reaches it while started.
TEST(StationWindow, TheCloseAndTheTickGoToTheBehaviour) {
    StationWindow window(1);
    Events events;
    window.SetEvents(&events);
    QSignalSpy closed(&window, &StationWindow::closed);
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_EQ(events.closeQueries, 1);
    EXPECT_TRUE(window.isVisible());
    window.StartTicks(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.ticks >= 2; }, 5000));
    window.Close();
    EXPECT_EQ(events.closeQueries, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(closed.count(), 1);
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
