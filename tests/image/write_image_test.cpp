#include "image/write_image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "image/factory_record.h"
#include "image/operations.h"
#include "image/sim_rig.h"

namespace bw::test {
namespace {

bool IsWriteCommandFor(const Frame& f, int address) {
    return f[0] == 0x04 && f[1] == 0x06 && (f[2] | f[3] << 8) == address;
}

class WriteImageTest : public ::testing::Test {
  protected:
    Outcome Write(SimRig& rig, const WriteParams& params, const FactoryFields& factory = {}) {
        return WriteImage(rig.state, rig.ic, params, factory, rig.host);
    }
};

TEST_F(WriteImageTest, DefaultWriteStoresTheImageAndReadsBackEightBlocks) {
    SimRig rig(0);
    ASSERT_TRUE(rig.opened);
    rig.state.ImageBuffer = PatternImage();

    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Pass);
    EXPECT_EQ(rig.memory(), rig.state.ImageBuffer);
    EXPECT_EQ(rig.filter.blockAddresses4(0x06), std::vector<int>{0});
    EXPECT_EQ(rig.filter.blockAddresses4(0x04),
              (std::vector<int>{0, 256, 512, 768, 1024, 1280, 1536, 1792}));
    // Ends with the read-back's close, then the write's own close.
    const std::vector<int> cmds = rig.filter.commands4();
    ASSERT_GE(cmds.size(), 4u);
    EXPECT_EQ(std::vector<int>(cmds.end() - 4, cmds.end()), (std::vector<int>{8, 2, 8, 2}));
    EXPECT_FALSE(rig.host.loadingVisible);
    EXPECT_EQ(rig.filter.begins, 1);
    EXPECT_EQ(rig.filter.ends, 1);

    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Pass);
}

TEST_F(WriteImageTest, FactoryRecordIsWrittenAndKeptInTheImage) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    const Image original = rig.state.ImageBuffer;
    WriteParams params;
    params.writeId = true;
    FactoryFields fields;
    fields.number = 0x123456;

    EXPECT_EQ(Write(rig, params, fields), Outcome::Pass);
    Image expected = original;
    const FactoryRecordBytes record = BuildFactoryRecord(fields);
    std::copy(record.begin(), record.end(), expected.begin() + FactoryRecordOffset);
    EXPECT_EQ(rig.memory(), expected);
    EXPECT_EQ(rig.state.ImageBuffer, expected);
    EXPECT_EQ(rig.filter.blockAddresses4(0x06), (std::vector<int>{0, FactoryRecordOffset}));
}

// The record a write leaves in ImageBuffer stays out of the next mouse: had its record not
// arrived (or not been asked for), that mouse would hold the number of the one before.
TEST_F(WriteImageTest, NextMouseGetsTheImageOwnBytesNotTheLastRecord) {
    SimRig rig(0);
    rig.state.takeImage(PatternImage(), rig.state.ImageType);
    WriteParams params;
    params.writeId = true;
    FactoryFields fields;
    fields.number = 0x123456;
    ASSERT_EQ(Write(rig, params, fields), Outcome::Pass);

    rig.memory().fill(0xFF);  // the next mouse
    rig.filter.refuse = [](const Frame& f) { return IsWriteCommandFor(f, FactoryRecordOffset); };
    fields.number = 0x123457;
    EXPECT_EQ(Write(rig, params, fields), Outcome::Fail);
    EXPECT_EQ(rig.memory(), PatternImage());  // the record area as the image has it

    rig.memory().fill(0xFF);
    rig.filter.refuse = nullptr;
    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Pass);
    EXPECT_EQ(rig.memory(), PatternImage());
}

TEST_F(WriteImageTest, RecordThatDoesNotArriveFailsTheReadBackEveryRun) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    rig.filter.refuse = [](const Frame& f) { return IsWriteCommandFor(f, FactoryRecordOffset); };
    WriteParams params;
    params.writeId = true;

    EXPECT_EQ(Write(rig, params), Outcome::Fail);
    // Three record attempts of five sends each; three read-back runs (one device test each
    // besides the write's own).
    EXPECT_EQ(rig.filter.sends4(0x06) - 1, 3 * 5);
    EXPECT_EQ(rig.filter.sends4(0x01), 1 + 3);
    EXPECT_FALSE(rig.state.FactoryRecordSent);  // so no product number is logged
}

TEST_F(WriteImageTest, Block256WritesOnlyTheFirstNBlocksAndReadsThemBack) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    WriteParams params;
    params.format = DataFormat::Block256;
    params.blocks = 4;

    EXPECT_EQ(Write(rig, params), Outcome::Pass);
    const Image& mem = rig.memory();
    EXPECT_TRUE(std::equal(mem.begin(), mem.begin() + 1024, rig.state.ImageBuffer.begin()));
    EXPECT_TRUE(
        std::all_of(mem.begin() + 1024, mem.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(rig.filter.blockAddresses4(0x06), (std::vector<int>{0, 256, 512, 768}));
    EXPECT_EQ(rig.filter.blockAddresses4(0x04), (std::vector<int>{0, 256, 512, 768}));
}

// A 2K write reads back all eight blocks, whatever N; only the opt-out keeps to the first N.
TEST_F(WriteImageTest, ReadBackCoversEveryBlockIn2KModeUnlessOptedOut) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    WriteParams params;
    params.blocks = 3;
    ASSERT_EQ(Write(rig, params), Outcome::Pass);
    EXPECT_EQ(rig.filter.blockAddresses4(0x04),
              (std::vector<int>{0, 256, 512, 768, 1024, 1280, 1536, 1792}));
    rig.filter.sets.clear();
    params.verifyAfterWrite = false;
    ASSERT_EQ(Write(rig, params), Outcome::Pass);
    EXPECT_EQ(rig.filter.blockAddresses4(0x04), (std::vector<int>{0, 256, 512}));

    // A changed byte past block 2 is never compared; one inside block 2 is.
    rig.memory()[900] ^= 0x01;
    rig.filter.sets.clear();
    EXPECT_TRUE(ReadBackCheck(rig.state, params, rig.host));
    rig.memory()[700] ^= 0x01;
    EXPECT_FALSE(ReadBackCheck(rig.state, params, rig.host));
}

TEST_F(WriteImageTest, RefusedWritesMakeTotalTimesRetriesThenRetriesMoreAttempts) {
    Scenario s;
    s.faults.nack = 0x06;
    SimRig rig(s);
    rig.state.ImageBuffer = PatternImage();
    WriteParams params;
    params.total = 2;
    params.retries = 3;

    EXPECT_EQ(Write(rig, params), Outcome::Fail);
    EXPECT_EQ(rig.filter.sends4(0x06), (2 * 3 + 3) * 5);
    EXPECT_EQ(rig.filter.sends4(0x04), 0) << "no read-back after a failed write";
    EXPECT_EQ(rig.filter.commands4().back(), 2);
}

TEST_F(WriteImageTest, TotalTimesNeverRepeatsASucceededWrite) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    WriteParams params;
    params.total = 3;
    EXPECT_EQ(Write(rig, params), Outcome::Pass);
    EXPECT_EQ(rig.filter.blockAddresses4(0x06).size(), 1u);
}

// Refused before the mouse is touched: a block count outside 1..8 (none would be checked),
// no retry (no attempt would be made), and a product number past the record's 24 bits when
// the record is to be written.
TEST_F(WriteImageTest, ParametersTheMouseCannotTakeAreRefusedUntouched) {
    struct Row {
        int ic;
        DataFormat format;
        int blocks;
        bool writeId;
        std::int32_t number;
        Outcome outcome;
        int retries = 3;
    };
    const std::vector<Row> rows = {
        {0, DataFormat::TwoK, 8, true, 1, Outcome::Fail, 0},
        {1, DataFormat::TwoK, 8, false, 1, Outcome::Fail, 0},
        {0, DataFormat::TwoK, 0, false, 1, Outcome::Fail},
        {0, DataFormat::Block256, 0, false, 1, Outcome::Fail},
        {0, DataFormat::Block256, 9, false, 1, Outcome::Fail},
        {1, DataFormat::Block256, 0, false, 1, Outcome::Fail},
        {2, DataFormat::TwoK, -1, false, 1, Outcome::Fail},
        {0, DataFormat::TwoK, 8, true, 0x1000000, Outcome::Fail},
        {0, DataFormat::TwoK, 8, true, -1, Outcome::Fail},
        // The number matters only where the record is written.
        {0, DataFormat::TwoK, 8, false, 0x1000000, Outcome::Pass},
        {1, DataFormat::TwoK, 8, true, 0x1000000, Outcome::Pass},
        {0, DataFormat::TwoK, 8, true, 0xFFFFFF, Outcome::Pass},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "ic " << row.ic << " N " << row.blocks << " number "
                                        << std::hex << row.number);
        SimRig rig(row.ic);
        rig.state.ImageBuffer = PatternImage();
        WriteParams params;
        params.format = row.format;
        params.blocks = row.blocks;
        params.writeId = row.writeId;
        params.retries = row.retries;
        FactoryFields fields;
        fields.number = row.number;
        EXPECT_EQ(Write(rig, params, fields), row.outcome);
        if (row.outcome == Outcome::Fail) {
            EXPECT_TRUE(rig.filter.sets.empty());
            EXPECT_EQ(rig.state.LastReason.code, ReasonCode::BadParameters);
            EXPECT_FALSE(rig.state.FactoryRecordSent);
        }
    }
}

TEST_F(WriteImageTest, BlockRefusedMidAttemptStillWritesTheRestThenRepeatsTheAttempt) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    int refusedSends = 0;
    rig.filter.refuse = [&](const Frame& f) {
        if (!IsWriteCommandFor(f, 512) || refusedSends >= 5) return false;
        ++refusedSends;
        return true;
    };
    WriteParams params;
    params.format = DataFormat::Block256;
    params.blocks = 4;

    EXPECT_EQ(Write(rig, params), Outcome::Pass);
    EXPECT_EQ(rig.filter.blockAddresses4(0x06),
              (std::vector<int>{0, 256, 512, 768, 0, 256, 512, 768}));
    EXPECT_TRUE(std::equal(rig.memory().begin(), rig.memory().begin() + 1024,
                           rig.state.ImageBuffer.begin()));
}

TEST_F(WriteImageTest, PauseAfterTheExchangeIsSleepPlusOneMilliseconds) {
    auto elapsedWith = [](int sleep) {
        SimRig rig(0);
        rig.state.ImageBuffer = PatternImage();
        WriteParams params;
        params.sleep = sleep;
        EXPECT_EQ(WriteImage(rig.state, 0, params, {}, rig.host), Outcome::Pass);
        return rig.host.elapsedUs;
    };
    const auto none = elapsedWith(-1);
    EXPECT_EQ(elapsedWith(0) - none, 1000);
    EXPECT_EQ(elapsedWith(100) - none, 101000);
}

TEST_F(WriteImageTest, SecondIcTypeWritesTheWholeImageWithoutDeviceTest) {
    SimRig rig(1);
    ASSERT_TRUE(rig.opened);
    rig.state.ImageBuffer = PatternImage(5);
    rig.state.ImageType.clear();  // no device test guards this protocol

    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Pass);
    EXPECT_EQ(rig.memory(), rig.state.ImageBuffer);
    EXPECT_TRUE(rig.filter.commands4().empty());
    EXPECT_FALSE(rig.host.loadingVisible);
}

TEST_F(WriteImageTest, SecondIcTypeWithTheDeviceGoneFailsAfterTwoCycles) {
    SimRig rig(1);
    rig.state.ImageBuffer = PatternImage();
    rig.sim.unplug(rig.sim.devices().front());

    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Fail);
    int commands = 0;
    for (const Frame& f : rig.filter.sets) commands += f[0] == 0x40 ? 1 : 0;
    EXPECT_EQ(commands, 2 * 3);
}

TEST_F(WriteImageTest, UnknownIcTypeTouchesNothing) {
    SimRig rig(0);
    EXPECT_EQ(WriteImage(rig.state, 3, WriteParams{}, {}, rig.host), Outcome::Skipped);
    EXPECT_EQ(WriteImage(rig.state, -1, WriteParams{}, {}, rig.host), Outcome::Skipped);
    EXPECT_TRUE(rig.filter.sets.empty());
    EXPECT_FALSE(rig.host.loadingVisible);
}

TEST_F(WriteImageTest, LostReadPiecesNeverGiveAPass) {
    Scenario s;
    s.faults.losePiece = 3;
    SimRig rig(s);
    rig.state.ImageBuffer = PatternImage();
    EXPECT_EQ(Write(rig, WriteParams{}), Outcome::Fail);
}

}  // namespace
}  // namespace bw::test
