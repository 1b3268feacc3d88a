#include "image/device_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "image/factory_record.h"
#include "image/operations.h"
#include "image/sim_rig.h"

namespace bw::test {
namespace {

struct MatchCase {
    const char* name;
    std::function<void(Scenario&)> device;
    std::string loadedType;
    MatchOutcome expected;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceMatchTest : public ::testing::TestWithParam<MatchCase> {
  protected:
    SimRig Rig() {
        Scenario s;
        if (GetParam().device) GetParam().device(s);
        return SimRig(s);
    }
};

const MatchCase kCases[] = {
    {"Ready", nullptr, "KVDE31X", MatchOutcome::MatchReady},
    {"Chip75", [](Scenario& s) { s.chip = 0x75; }, "KVDE31X", MatchOutcome::MatchReady},
    {"ChipFD", [](Scenario& s) { s.chip = 0xFD; }, "KVDE31X", MatchOutcome::MatchReady},
    {"SilentOnCommand1", [](Scenario& s) { s.faults.nack = 1; }, "KVDE31X",
     MatchOutcome::MatchNoAnswer},
    {"SilentOnStatus", [](Scenario& s) { s.faults.nack = 3; }, "KVDE31X",
     MatchOutcome::MatchNoAnswer},
    {"UnknownChip", [](Scenario& s) { s.chip = 0x36; }, "KVDE31X", MatchOutcome::MatchWrongDevice},
    {"NoImageLoaded", nullptr, "", MatchOutcome::MatchWrongDevice},
    {"ImageOfOtherType", nullptr, "KVDE52xx", MatchOutcome::MatchWrongDevice},
    {"TypeComparedExactly", nullptr, "kvde31x", MatchOutcome::MatchWrongDevice},
    {"BadStatusByte", [](Scenario& s) { s.status1 = 0xAB; }, "KVDE31X",
     MatchOutcome::MatchBadStatus},
    {"UnknownChipBeatsBadStatus",
     [](Scenario& s) {
         s.chip = 0x36;
         s.status1 = 0xAB;
     },
     "KVDE31X", MatchOutcome::MatchWrongDevice},
    {"Bit2Clear", [](Scenario& s) { s.status2 = 0x00; }, "KVDE31X", MatchOutcome::MatchBit2Clear},
};

TEST_P(DeviceMatchTest, Outcome) {
    SimRig rig = Rig();
    rig.state.ImageType = GetParam().loadedType;
    EXPECT_EQ(CheckDeviceMatch(rig.state, rig.host), GetParam().expected);
}

TEST(DeviceMatchFlags, SetFromTheStatusReplyAndResetBeforeIt) {
    Scenario s;
    s.chip = 0x75;
    s.status2 = 0x00;
    SimRig bit2Clear(s);
    bit2Clear.state.StatusBit2 = true;
    EXPECT_EQ(CheckDeviceMatch(bit2Clear.state, bit2Clear.host), MatchOutcome::MatchBit2Clear);
    EXPECT_FALSE(bit2Clear.state.StatusBit2);
    EXPECT_EQ(bit2Clear.state.ChipCode, 0x75);

    s = {};
    s.chip = 0x36;
    SimRig unknown(s);
    unknown.state.ChipCode = 0x35;
    EXPECT_EQ(CheckDeviceMatch(unknown.state, unknown.host), MatchOutcome::MatchWrongDevice);
    EXPECT_EQ(unknown.state.ChipCode, 0);
    EXPECT_TRUE(unknown.state.StatusBit2);

    s = {};
    s.faults.nack = 3;
    SimRig silent(s);
    silent.state.ChipCode = 0x35;
    silent.state.StatusBit2 = true;
    EXPECT_EQ(CheckDeviceMatch(silent.state, silent.host), MatchOutcome::MatchNoAnswer);
    EXPECT_EQ(silent.state.ChipCode, 0);
    EXPECT_FALSE(silent.state.StatusBit2);
}

// Which operations close the exchange (commands 8 then 2) after each outcome.
bool Closes(Operation op, MatchOutcome match) {
    if (op == Operation::ReadFactory || match == MatchOutcome::MatchReady) return true;
    return match == MatchOutcome::MatchBit2Clear &&
           (op == Operation::Verify || op == Operation::Save);
}

Outcome ExpectedOutcome(Operation op, MatchOutcome match) {
    switch (match) {
        case MatchOutcome::MatchNoAnswer:
            return Outcome::NoAnswer;
        case MatchOutcome::MatchBadStatus:
            return Outcome::BadStatus;
        case MatchOutcome::MatchWrongDevice:
        case MatchOutcome::MatchBit2Clear:
            return Outcome::MismatchMouse;
        case MatchOutcome::MatchReady:
            break;
    }
    (void)op;
    return Outcome::Pass;
}

TEST_P(DeviceMatchTest, EachOperationReactsAndClosesAsItShould) {
    const MatchOutcome match = GetParam().expected;
    for (Operation op :
         {Operation::Write, Operation::Verify, Operation::Save, Operation::ReadFactory}) {
        SCOPED_TRACE(static_cast<int>(op));
        SimRig rig = Rig();
        rig.state.ImageType = GetParam().loadedType;
        rig.state.ImageBuffer = rig.memory();  // verify compares equal memory
        Outcome outcome{};
        switch (op) {
            case Operation::Write:
                outcome = WriteImage(rig.state, 0, WriteParams{}, {}, rig.host);
                break;
            case Operation::Verify:
                outcome = VerifyImage(rig.state, 0, rig.host);
                break;
            case Operation::Save:
                outcome = ReadDeviceImage(rig.state, 0, rig.host);
                break;
            case Operation::ReadFactory:
                outcome = ReadFactoryRecord(rig.state, 0, rig.host);
                break;
        }
        EXPECT_EQ(outcome, ExpectedOutcome(op, match));
        const std::vector<int> cmds = rig.filter.commands4();
        const bool closed = cmds.size() >= 2 && cmds[cmds.size() - 2] == 8 && cmds.back() == 2;
        EXPECT_EQ(closed, Closes(op, match));
        if (match != MatchOutcome::MatchReady) {
            // Nothing of the memory is touched before the device test passed.
            EXPECT_EQ(rig.filter.sends4(0x04) + rig.filter.sends4(0x06), 0);
        }
        EXPECT_FALSE(rig.host.loadingVisible);
        EXPECT_EQ(rig.filter.begins, 1);
        EXPECT_EQ(rig.filter.ends, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DeviceMatchTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bw::test
