#include "image/factory_record.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "image/sim_rig.h"

namespace bw::test {
namespace {

TEST(FactoryRecordLayout, DesignValuesAreBigEndian) {
    const FactoryRecordBytes expected{0x00, 0x05, 0x20, 0x20, 0x05, 0x27,
                                      0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(BuildFactoryRecord(FactoryFields{}), expected);

    const FactoryFields back = DecodeFactoryRecord(expected);
    EXPECT_EQ(back.type, 5);
    EXPECT_EQ(back.date, 0x20200527);
    EXPECT_EQ(back.number, 1);
    EXPECT_EQ(back.factory, 0);
    EXPECT_EQ(back.line, 0);
    EXPECT_EQ(back.station, 0);
}

TEST(FactoryRecordLayout, WideValuesKeepTheirLowBitsAndRowsTheirIndex) {
    FactoryFields fields;
    fields.number = 0x1000000;  // advanced past six digits: stored as zero
    fields.factory = 7;
    fields.line = 25;
    fields.station = -1;  // no row selected
    const FactoryRecordBytes r = BuildFactoryRecord(fields);
    EXPECT_EQ(r[6], 0);
    EXPECT_EQ(r[7], 0);
    EXPECT_EQ(r[8], 0);
    EXPECT_EQ(r[9], 7);
    EXPECT_EQ(r[10], 25);
    EXPECT_EQ(r[11], 0xFF);
}

TEST(FactoryRecordLayout, AllOnesAndAllZeroReadBack) {
    FactoryRecordBytes ones;
    ones.fill(0xFF);
    const FactoryFields f = DecodeFactoryRecord(ones);
    EXPECT_EQ(f.type, 0xFFFF);
    EXPECT_LT(f.date, 0) << "negative: the date field shows nothing";
    EXPECT_EQ(f.number, 0xFFFFFF);
    EXPECT_EQ(f.factory, -1);
    EXPECT_EQ(f.line, -1);
    EXPECT_EQ(f.station, -1);
    // Writing again from that state stores 0xFF in the row bytes.
    const FactoryRecordBytes again = BuildFactoryRecord(f);
    EXPECT_EQ(again, ones);

    const FactoryFields z = DecodeFactoryRecord(FactoryRecordBytes{});
    EXPECT_EQ(z.type, 0);
    EXPECT_EQ(z.date, 0);
    EXPECT_EQ(z.number, 0);
    EXPECT_EQ(z.factory, 0);
    EXPECT_EQ(z.line, 0);
    EXPECT_EQ(z.station, 0);

    FactoryRecordBytes pastLists{};
    pastLists[9] = 8;
    pastLists[10] = 26;
    pastLists[11] = 25;
    const FactoryFields p = DecodeFactoryRecord(pastLists);
    EXPECT_EQ(p.factory, -1);
    EXPECT_EQ(p.line, -1);
    EXPECT_EQ(p.station, -1);
}

TEST(WriteFactoryRecord, WritesTwelveBytesAtTheRecordAddress) {
    SimRig rig(0);
    FactoryFields fields;
    fields.type = 0xABCD;
    ASSERT_TRUE(WriteFactoryRecord(rig.state, fields, 3, rig.host));
    const FactoryRecordBytes record = BuildFactoryRecord(fields);
    EXPECT_EQ(rig.state.FactoryRecord, record);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), rig.memory().begin() + 160));
    EXPECT_EQ(rig.memory()[159], 0xFF);
    EXPECT_EQ(rig.memory()[172], 0xFF);
}

TEST(WriteFactoryRecord, AttemptCounts) {
    SimRig none(0);
    EXPECT_FALSE(WriteFactoryRecord(none.state, {}, 0, none.host));
    EXPECT_TRUE(none.filter.sets.empty());

    Scenario s;
    s.faults.nack = 0x06;
    SimRig refusing(s);
    EXPECT_FALSE(WriteFactoryRecord(refusing.state, {}, 3, refusing.host));
    EXPECT_EQ(refusing.filter.sends4(0x06), 3 * 5);
}

TEST(ReadFactoryRecord, ReadsTheDeviceRecordAndCloses) {
    SimRig rig(0);
    const FactoryRecordBytes record = BuildFactoryRecord(FactoryFields{});
    std::copy(record.begin(), record.end(), rig.memory().begin() + 160);

    EXPECT_EQ(ReadFactoryRecord(rig.state, 0, rig.host), Outcome::Pass);
    EXPECT_EQ(rig.state.FactoryRecord, record);
    EXPECT_EQ(rig.filter.blockAddresses4(0x04), std::vector<int>{160});
    EXPECT_EQ(rig.filter.commands4().front(), 1);
    EXPECT_EQ(rig.filter.commands4().back(), 2);
    EXPECT_GE(rig.host.showCount, 1);
    EXPECT_FALSE(rig.host.loadingVisible);
}

TEST(ReadFactoryRecord, OtherIcTypesSendNothingAndFail) {
    for (int ic : {1, 2}) {
        SimRig rig(ic);
        EXPECT_EQ(ReadFactoryRecord(rig.state, ic, rig.host), Outcome::Fail);
        EXPECT_TRUE(rig.filter.sets.empty());
        EXPECT_EQ(rig.host.showCount, 1);
        EXPECT_FALSE(rig.host.loadingVisible);
    }
}

TEST(ReadFactoryRecord, LostPieceFailsAndLeavesTheRecordAlone) {
    Scenario s;
    s.faults.losePiece = 2;
    SimRig rig(s);
    rig.memory().fill(0x11);
    FactoryRecordBytes before;
    before.fill(0x42);
    rig.state.FactoryRecord = before;

    EXPECT_EQ(ReadFactoryRecord(rig.state, 0, rig.host), Outcome::Fail);
    EXPECT_EQ(rig.state.FactoryRecord, before);
    EXPECT_EQ(rig.filter.commands4().back(), 2);
}

}  // namespace
}  // namespace bw::test
