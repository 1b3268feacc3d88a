#include "sim/scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace bw {
namespace {

using ::testing::HasSubstr;

std::string ErrorOf(std::string_view text) {
    try {
        ParseScenario(text);
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "no error";
}

TEST(ScenarioTest, EmptyTextIsOneReadyMouseOfTheFirstType) {
    const Scenario s = ParseScenario("");
    EXPECT_EQ(s.ic, 0);
    EXPECT_FALSE(s.vendorId || s.productId || s.release);
    EXPECT_EQ(s.status1, 0xAA);
    EXPECT_EQ(s.status2, 0x04);
    EXPECT_EQ(s.chip, 0x35);
    EXPECT_FALSE(s.split || s.pointer);
    EXPECT_EQ(s.others, 0);
    EXPECT_EQ(s.faults.nack, -1);
    EXPECT_EQ(s.faults.ackAfter, 1);
    EXPECT_EQ(s.faults.losePiece, 0);
    EXPECT_EQ(s.faults.failAfter, -1);
    EXPECT_EQ(s.mice, 0);
    EXPECT_FALSE(s.memory);
}

TEST(ScenarioTest, ReadsEveryKeyWithHexAndDecimalWhereDue) {
    const Scenario s = ParseScenario(
        "ic=2,vid=3a5c,pid=0x0C37,release=105,chip=FD,status1=55,status2=0,split=1,pointer=1,"
        "others=10,nack=7,ack-after=3,lose-piece=12,fail-after=0,latency-us=250,dump=out.bin,"
        "mice=4,stuck-byte=2a7,short-reply=9,slots=8,handling-ms=1500,fault-slot=8");
    EXPECT_EQ(s.ic, 2);
    EXPECT_EQ(s.vendorId, 0x3A5C);
    EXPECT_EQ(s.productId, 0x0C37);
    EXPECT_EQ(s.release, 0x0105);
    EXPECT_EQ(s.chip, 0xFD);
    EXPECT_EQ(s.status1, 0x55);
    EXPECT_EQ(s.status2, 0x00);
    EXPECT_TRUE(s.split);
    EXPECT_TRUE(s.pointer);
    EXPECT_EQ(s.others, 10);  // decimal, not 0x10
    EXPECT_EQ(s.faults.nack, 7);
    EXPECT_EQ(s.faults.ackAfter, 3);
    EXPECT_EQ(s.faults.losePiece, 12);
    EXPECT_EQ(s.faults.failAfter, 0);
    EXPECT_EQ(s.faults.latencyUs, 250);
    EXPECT_EQ(s.dumpFile, "out.bin");
    EXPECT_EQ(s.mice, 4);
    EXPECT_EQ(s.faults.stuckByte, 0x2A7);
    EXPECT_EQ(s.faults.shortReply, 9);
    EXPECT_EQ(s.ports.portCount, 8);
    EXPECT_EQ(s.ports.handlingMs, 1500);
    EXPECT_EQ(s.ports.faultSlot, 8);
}

TEST(ScenarioTest, ToleratesSpacesAndEmptyItems) {
    const Scenario s = ParseScenario(" ic = 1 ,, pointer=1,");
    EXPECT_EQ(s.ic, 1);
    EXPECT_TRUE(s.pointer);
}

TEST(ScenarioTest, RejectsBadKeysAndValuesNamingThem) {
    EXPECT_THAT(ErrorOf("speed=3"), HasSubstr("unknown key 'speed'"));
    EXPECT_THAT(ErrorOf("IC=1"), HasSubstr("unknown key 'IC'"));
    EXPECT_THAT(ErrorOf("ic=1,pointer"), HasSubstr("'pointer'"));
    EXPECT_THAT(ErrorOf("ic=3"), HasSubstr("'ic'"));
    EXPECT_THAT(ErrorOf("ic=-1"), HasSubstr("'ic'"));
    EXPECT_THAT(ErrorOf("ic="), HasSubstr("'ic'"));
    EXPECT_THAT(ErrorOf("vid=3G5C"), HasSubstr("'vid'"));
    EXPECT_THAT(ErrorOf("vid=10000"), HasSubstr("'vid'"));  // wider than 16 bits
    EXPECT_THAT(ErrorOf("chip=100"), HasSubstr("'chip'"));  // wider than a byte
    EXPECT_THAT(ErrorOf("nack=0x"), HasSubstr("'nack'"));
    EXPECT_THAT(ErrorOf("others=3x"), HasSubstr("'others'"));
    EXPECT_THAT(ErrorOf("others=A"), HasSubstr("'others'"));  // decimal key
    EXPECT_THAT(ErrorOf("ack-after=0"), HasSubstr("'ack-after'"));
    EXPECT_THAT(ErrorOf("fail-after=-1"), HasSubstr("'fail-after'"));
    EXPECT_THAT(ErrorOf("mice=0"), HasSubstr("'mice'"));
    EXPECT_THAT(ErrorOf("short-reply=0"), HasSubstr("'short-reply'"));
    EXPECT_THAT(ErrorOf("lose-piece=99999999999"), HasSubstr("'lose-piece'"));
    EXPECT_THAT(ErrorOf("split=2"), HasSubstr("'split'"));
    EXPECT_THAT(ErrorOf("dump="), HasSubstr("'dump'"));
    // A dump that could never be written is said at the start, not lost at the end.
    EXPECT_THAT(ErrorOf("dump=/nonexistent-folder/m"), HasSubstr("folder does not exist"));
    EXPECT_THAT(ErrorOf("slots=2,dump=/nonexistent-folder/m"), HasSubstr("'dump'"));
    EXPECT_THAT(ErrorOf("line-dir="), HasSubstr("'line-dir'"));
    EXPECT_THAT(ErrorOf("line-dir=l"), HasSubstr("give mice=N as well"));
    EXPECT_THAT(ErrorOf("stuck-byte=800"), HasSubstr("'stuck-byte'"));  // past the memory
    EXPECT_THAT(ErrorOf("ic=1,ic=2"), HasSubstr("twice"));
    EXPECT_THAT(ErrorOf("slots=0"), HasSubstr("'slots'"));
    EXPECT_THAT(ErrorOf("slots=65"), HasSubstr("'slots'"));
    EXPECT_THAT(ErrorOf("handling-ms=-1,slots=2"), HasSubstr("'handling-ms'"));
    EXPECT_THAT(ErrorOf("handling-ms=10"), HasSubstr("needs slots"));
    EXPECT_THAT(ErrorOf("fault-slot=1"), HasSubstr("needs slots"));
    EXPECT_THAT(ErrorOf("fault-slot=3,slots=2"), HasSubstr("must be 1 to 2"));
}

class MemoryFileTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(path_); }
    std::string write(std::size_t size) {
        std::ofstream out(path_, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
        return path_.string();
    }
    // One file per process: CTest runs the cases side by side, other checkouts too.
    std::filesystem::path path_ =
        std::filesystem::temp_directory_path() /
        ("bw_scenario_memory_test." + std::to_string(::getpid()) + ".bin");
};

TEST_F(MemoryFileTest, LoadsTheInitialMemory) {
    const Scenario s = ParseScenario("memory=" + write(2048));
    ASSERT_TRUE(s.memory);
    EXPECT_EQ((*s.memory)[0], 0);
    EXPECT_EQ((*s.memory)[2047], static_cast<std::uint8_t>(2047 * 7));
}

TEST_F(MemoryFileTest, RejectsAWrongSizeOrMissingFile) {
    EXPECT_THAT(ErrorOf("memory=" + write(2047)), HasSubstr("2047 bytes"));
    EXPECT_THAT(ErrorOf("memory=" + write(2049)), HasSubstr("'memory'"));
    EXPECT_THAT(ErrorOf("memory=/nonexistent/bw.bin"), HasSubstr("cannot open"));
}

}  // namespace
}  // namespace bw
