#include "app/line_simulator.h"

#include <gtest/gtest.h>

#include <functional>

#include "sim/sim_platform.h"
#include "window/line_simulator_model.h"

namespace bw {
namespace {

// The Qt window's widgets reach the behaviour and show what it sets; the behaviour itself is
// tested without a toolkit.
TEST(LineSimulator, ItsWidgetsDriveTheLineAndShowWhatTheBehaviourSets) {
    SimulatedPlatform line;
    line.faults().latencyUs = 40;
    LineSimulator window;
    window::LineSimulatorModel model(line, window);
    EXPECT_EQ(window.latencyUs->value(), 40);
    EXPECT_EQ(window.status1->text(), QStringLiteral("0xaa"));
    EXPECT_TRUE(window.presence->text().startsWith(QStringLiteral("Present: 1 mouse")));

    struct Row {
        const char* what;
        std::function<void()> act;
        std::function<bool()> done;
    };
    const Row rows[] = {
        {"plug a mouse of IC type 1",
         [&] {
             window.chip->setValue(0x42);
             window.plugMouseButtons[1]->click();
         },
         [&] {
             return line.devices().size() == 2 && line.currentMouse()->icType() == 1 &&
                    line.currentMouse()->status().chip == 0x42;
         }},
        {"plug another device", [&] { window.plugOtherButton->click(); },
         [&] { return line.mouse(line.devices().back()) == nullptr; }},
        {"pull the other device", [&] { window.pullOtherButton->click(); },
         [&] { return line.devices().size() == 2; }},
        {"pull the mouse", [&] { window.pullMouseButton->click(); },
         [&] { return line.devices().size() == 1; }},
        {"presence follows", [] {},
         [&] { return window.presence->text().startsWith(QStringLiteral("Present: 1")); }},
        {"never acknowledge 9",
         [&] {
             window.nackCommand->setValue(9);
             window.nackOn->setChecked(true);
         },
         [&] { return line.faults().nack == 9; }},
        {"lose piece 2",
         [&] {
             window.losePiece->setValue(2);
             window.losePieceOn->setChecked(true);
         },
         [&] { return line.faults().losePiece == 2; }},
        {"fail after 5",
         [&] {
             window.failAfter->setValue(5);
             window.failAfterOn->click();
         },
         [&] { return line.faults().failAfter == line.transferCount() + 5; }},
        {"acknowledge on poll 3", [&] { window.ackAfter->setValue(3); },
         [&] { return line.faults().ackAfter == 3; }},
        {"fold the details", [&] { window.detailsButton->click(); },
         [&] {
             return window.details->isHidden() && !window.detailsButton->isChecked() &&
                    window.detailsButton->text() == QStringLiteral("Faults...");
         }},
        {"unfold them", [&] { window.detailsButton->click(); },
         [&] { return !window.details->isHidden() && window.detailsButton->isChecked(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_TRUE(row.done());
    }
}

}  // namespace
}  // namespace bw
