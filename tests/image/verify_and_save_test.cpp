#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "image/bin_file.h"
#include "image/operations.h"
#include "image/sim_rig.h"

namespace bw::test {
namespace {

namespace fs = std::filesystem;

// A rig whose device memory already holds the image.
SimRig& Prepared(SimRig& rig, std::uint8_t seed = 1) {
    rig.state.ImageBuffer = PatternImage(seed);
    rig.memory() = rig.state.ImageBuffer;
    return rig;
}

TEST(VerifyImage, FirstIcTypeLeavesOutTheFactoryRecordOnly) {
    SimRig rig(0);
    Prepared(rig);
    for (int offset = FactoryRecordOffset; offset < FactoryRecordOffset + 12; ++offset) {
        rig.memory()[offset] ^= 0x5A;
    }
    EXPECT_EQ(VerifyImage(rig.state, 0, rig.host), Outcome::Pass);
    EXPECT_FALSE(rig.state.VerifyMismatch);
    EXPECT_EQ(rig.filter.blockAddresses4(0x04),
              (std::vector<int>{0, 256, 512, 768, 1024, 1280, 1536, 1792}));
    EXPECT_EQ(rig.filter.commands4().back(), 2);

    for (int offset : {159, 172, 200, 2047}) {
        SCOPED_TRACE(offset);
        SimRig other(0);
        Prepared(other);
        other.memory()[offset] ^= 0x01;
        EXPECT_EQ(VerifyImage(other.state, 0, other.host), Outcome::Fail);
        EXPECT_TRUE(other.state.VerifyMismatch);
    }
}

TEST(VerifyImage, FirstIcTypeComparesAllBlocksWhateverWasWritten) {
    SimRig rig(0);
    rig.state.ImageBuffer = PatternImage();
    WriteParams params;
    params.format = DataFormat::Block256;
    params.blocks = 4;
    ASSERT_EQ(WriteImage(rig.state, 0, params, {}, rig.host), Outcome::Pass);
    EXPECT_EQ(VerifyImage(rig.state, 0, rig.host), Outcome::Fail);
}

TEST(VerifyImage, OtherIcTypesCompareEveryByte) {
    for (int ic : {1, 2}) {
        SCOPED_TRACE(ic);
        SimRig equal(ic);
        Prepared(equal);
        EXPECT_EQ(VerifyImage(equal.state, ic, equal.host), Outcome::Pass);
        EXPECT_FALSE(equal.host.loadingVisible);

        SimRig record(ic);
        Prepared(record);
        record.memory()[FactoryRecordOffset + 3] ^= 0x01;
        EXPECT_EQ(VerifyImage(record.state, ic, record.host), Outcome::Fail);
        EXPECT_TRUE(record.state.VerifyMismatch);
    }
}

TEST(VerifyImage, LostPiecesNeverPass) {
    for (int ic : {0, 1}) {
        SCOPED_TRACE(ic);
        Scenario s = ScenarioFor(ic);
        s.faults.losePiece = 2;
        SimRig rig(s);
        // An image of 0xFF would match the fill bytes of a lost piece.
        rig.state.ImageBuffer.fill(0xFF);
        rig.memory().fill(0xFF);
        EXPECT_EQ(VerifyImage(rig.state, ic, rig.host), Outcome::Fail);
        EXPECT_FALSE(rig.host.loadingVisible);
    }
}

TEST(ReadDeviceImage, ReadsExactlyTheDeviceMemory) {
    for (int ic : {0, 1, 2}) {
        SCOPED_TRACE(ic);
        SimRig rig(ic);
        rig.memory() = PatternImage(static_cast<std::uint8_t>(ic + 3));
        rig.state.HasImage = false;
        if (ic != 0) rig.state.ImageType.clear();  // no image needed here
        EXPECT_EQ(ReadDeviceImage(rig.state, ic, rig.host), Outcome::Pass);
        EXPECT_EQ(rig.state.DeviceImageBuffer, rig.memory());
        EXPECT_FALSE(rig.host.loadingVisible);
        EXPECT_EQ(rig.filter.ends, 1);
    }
}

TEST(ReadDeviceImage, LostPiecesFailTheSave) {
    for (int ic : {0, 1}) {
        SCOPED_TRACE(ic);
        Scenario s = ScenarioFor(ic);
        s.faults.losePiece = 100;
        SimRig rig(s);
        EXPECT_EQ(ReadDeviceImage(rig.state, ic, rig.host), Outcome::Fail);
    }
}

TEST(ReadDeviceImage, SavedFileLoadsAndVerifiesOnTheSameMouse) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("bw_roundtrip_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    SimRig rig(0);
    rig.memory() = PatternImage(9);

    ASSERT_EQ(ReadDeviceImage(rig.state, 0, rig.host), Outcome::Pass);
    const std::string file = SaveTargetName((dir / "dump").string());
    std::string message;
    ASSERT_TRUE(SaveBinFile(file, rig.state.DeviceImageBuffer, &message)) << message;
    ASSERT_EQ(LoadBinFile(file, rig.state.ImageBuffer).error, BinLoadError::None);
    EXPECT_EQ(VerifyImage(rig.state, 0, rig.host), Outcome::Pass);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace bw::test
