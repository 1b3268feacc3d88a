#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image/factory_record.h"
#include "image/operations.h"
#include "image/sim_rig.h"
#include "production/operation_log.h"
#include "sim/scenario.h"

namespace bw::test {
namespace {

// Asks for a stop once the operation has moved `after` pieces.
class StoppingHost : public RecordingHost {
  public:
    StoppingHost(StopRequest request, int after) : request_(request), after_(after) {}
    void progress(int done, int total) override {
        RecordingHost::progress(done, total);
        ++pieces_;
    }
    StopRequest stopRequest() override { return pieces_ >= after_ ? request_ : StopRequest::None; }

  private:
    StopRequest request_;
    int after_;
    int pieces_ = 0;
};

// A ledger that cannot mark the record's number as being sent.
class HoldingGate : public FactoryRecordGate {
  public:
    bool recordMayGo(const FactoryFields&) override { return false; }
    std::string whyHeld() const override { return "the ledger is locked"; }
};

Outcome RunOperation(Operation op, SimRig& rig, const WriteParams& params, OperationHost& host) {
    switch (op) {
        case Operation::Write:
            return WriteImage(rig.state, rig.ic, params, FactoryFields{}, host);
        case Operation::Verify:
            return VerifyImage(rig.state, rig.ic, host);
        case Operation::Save:
            return ReadDeviceImage(rig.state, rig.ic, host);
        case Operation::ReadFactory:
            return ReadFactoryRecord(rig.state, rig.ic, host);
    }
    return Outcome::Skipped;
}

// Every fault the simulated line knows ends in a reason of its own, with the facts.
TEST(Reasons, EachFaultOfTheLineHasItsOwnCode) {
    struct Row {
        const char* keys;  // the scenario; the memory starts as the image
        Operation op;
        ReasonCode code;
        const char* text;  // a part of the reason's text
        bool verifyAfterWrite = false;
        const char* loadedType = nullptr;  // the image loaded for this IC type; "" none
        bool noMouse = false;              // the mouse's handles were dropped
        StopRequest stop = StopRequest::None;
        int stopAfter = 0;        // pieces before the stop request
        bool heldRecord = false;  // a write with the record, its gate refusing
    };
    using O = Operation;
    using C = ReasonCode;
    const std::vector<Row> rows = {
        {"", O::Write, C::None, ""},
        {"ack-after=6", O::Write, C::NoAnswer, "command 1 not acknowledged in 5 sends"},
        {"nack=3", O::Verify, C::NoAnswer, "command 3 not acknowledged"},
        {"nack=6", O::Write, C::WriteRefused,
         "the write command for block 1 (0x000) not acknowledged in 5 sends, after 6 attempts"},
        {"nack=7", O::Write, C::WriteRefused, "piece 1 at 0x000 (block 1) not acknowledged"},
        {"lose-piece=5", O::Verify, C::PieceLost, "piece 5 at 0x718 (block 8) never arrived"},
        {"lose-piece=5", O::Save, C::PieceLost, "piece 5 at 0x018 (block 1)"},
        {"ic=1,lose-piece=3", O::Verify, C::PieceLost, "piece 3 at 0x00E (block 1) never arrived"},
        {"fail-after=200", O::Write, C::Removed, "from transfer 201 on"},
        // Counted from the operation's start: opening took two transfers.
        {"ic=1,fail-after=30", O::Write, C::Removed, "from transfer 29 on"},
        {"short-reply=50", O::Write, C::ShortReply, "came back short"},
        {"stuck-byte=2A7", O::Write, C::Mismatch, "block 3 differs at 0x2A7 (wrote"},
        {"ic=1,stuck-byte=2A7", O::Write, C::Mismatch, "block 3 differs at 0x2A7", true},
        {"ic=1,stuck-byte=2A7", O::Write, C::None, "", false},
        {"chip=36", O::Write, C::WrongChip, "chip code 0x36"},
        {"status1=55", O::Write, C::BadStatus, "status byte 1 is 0x55, not 0xAA"},
        {"status2=00", O::Verify, C::StatusBit2Clear, "status byte 2 is 0x00"},
        {"", O::Write, C::ImageType, "loaded for KVDE52xx, not KVDE31X", false, "KVDE52xx"},
        {"", O::ReadFactory, C::ImageType, "no image is loaded", false, ""},
        {"ic=1", O::ReadFactory, C::NotSupported, "KVDE52xx has no factory record"},
        {"", O::Write, C::NoTarget, "no mouse is open", false, nullptr, true},
        {"ic=2", O::Save, C::NoTarget, "no mouse is open", false, nullptr, true},
        {"", O::Write, C::Interrupted, "aborted at a piece", false, nullptr, false,
         StopRequest::Abort, 20},
        {"nack=7", O::Write, C::Interrupted, "stopped by a signal after 1 attempt: piece 1", false,
         nullptr, false, StopRequest::Finish, 0},
        // A stop that came when nothing was left to try keeps the fault's own reason.
        {"nack=5", O::Verify, C::PieceLost, "never arrived", false, nullptr, false,
         StopRequest::Finish, 0},
        {"", O::Write, C::RecordHeld, "held back, nothing of it was sent: the ledger is locked",
         false, nullptr, false, StopRequest::None, 0, true},
        // The image's own failure stays the reason when the record is held back as well.
        {"nack=7", O::Write, C::WriteRefused, "piece 1 at 0x000", false, nullptr, false,
         StopRequest::None, 0, true},
    };
    const Image image = PatternImage(3);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.keys) + " " + OperationName(row.op));
        Scenario scenario = ParseScenario(row.keys);
        scenario.memory = image;
        // A stuck byte shows only where the mouse held something else before.
        if (scenario.faults.stuckByte >= 0) (*scenario.memory)[0x2A7] ^= 0xFF;
        SimRig rig(scenario);
        ASSERT_TRUE(rig.opened);
        rig.state.ImageBuffer = image;
        if (row.loadedType != nullptr) rig.state.ImageType = row.loadedType;
        if (row.noMouse) rig.state.link.ForgetHandles();
        WriteParams params;
        params.verifyAfterWrite = row.verifyAfterWrite;
        HoldingGate gate;
        if (row.heldRecord) {
            params.writeId = true;
            rig.state.RecordGate = &gate;
        }
        StoppingHost host(row.stop, row.stopAfter);
        const Outcome outcome = RunOperation(row.op, rig, params, host);
        const Reason& reason = rig.state.LastReason;
        EXPECT_EQ(reason.code, row.code) << reason.codeName() << ": " << reason.text;
        EXPECT_THAT(reason.text, ::testing::HasSubstr(row.text));
        // A reason accompanies every end but a pass, and only that.
        EXPECT_EQ(outcome == Outcome::Pass, reason.empty()) << static_cast<int>(outcome);
    }
}

TEST(Reasons, MismatchNamesTheFirstByteAndCountsTheRest) {
    Image wrote{};
    Image read{};
    read[0x2A7] = 0xFF;
    read[0x2B0] = 0x01;
    read[0x0A0] = 0x01;  // inside the factory record
    const Reason r = MismatchReason(wrote.data(), read.data(), 0x200, 0x300, false, "wrote");
    EXPECT_EQ(r.text, "block 3 differs at 0x2A7 (wrote 00, read FF), 2 bytes differ");
    EXPECT_EQ(r.number("offset"), 0x2A7);
    EXPECT_EQ(r.number("differing"), 2);
    EXPECT_TRUE(MismatchReason(wrote.data(), read.data(), 0, 0x200, true, "expected").empty());
    EXPECT_EQ(MismatchReason(wrote.data(), read.data(), 0, 0x200, false, "expected").text,
              "block 1 differs at 0x0A0 (expected 00, read 01), 1 byte differs");
}

}  // namespace
}  // namespace bw::test
