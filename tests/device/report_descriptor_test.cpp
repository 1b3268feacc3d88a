#include "device/report_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace bw {
namespace {

using Bytes = std::vector<std::uint8_t>;

int Length(const Bytes& d) {
    return FeatureReportByteLength(d.data(), d.size());
}

// Vendor-defined collection, report ID 4, seven feature bytes: the mouse's command interface.
const Bytes kVendorReport4 = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x04,        //   Report ID (4)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x07,        //   Report Count (7)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0xC0,              // End Collection
};

// A plain boot mouse: inputs only.
const Bytes kBootMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
    0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
};

TEST(ReportDescriptor, VendorFeatureWithReportIdIsEightBytes) {
    EXPECT_EQ(Length(kVendorReport4), 8);
    const auto tlcs = ParseTopLevelCollections(kVendorReport4.data(), kVendorReport4.size());
    ASSERT_EQ(tlcs.size(), 1u);
    EXPECT_EQ(tlcs[0].usagePage, 0xFF00);
    EXPECT_EQ(tlcs[0].usage, 0x01);
}

TEST(ReportDescriptor, NoReportIdsStillCountsTheIdByte) {
    const Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75,
                     0x08, 0x95, 0x07, 0x09, 0x01, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 8);
}

TEST(ReportDescriptor, SeveralReportIdsTakeTheLargest) {
    // Report 0x40: 7 bytes; report 0x41: 7 bytes split over two items; report 5: 2 bytes.
    const Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,        //
                     0x85, 0x05, 0x75, 0x08, 0x95, 0x02, 0xB1, 0x02,  //
                     0x85, 0x40, 0x95, 0x07, 0xB1, 0x02,              //
                     0x85, 0x41, 0x95, 0x03, 0xB1, 0x02, 0x95, 0x04, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 8);
    // A larger report beside them makes the interface 9 bytes, as the parser reports it.
    Bytes bigger = d;
    bigger.insert(bigger.end() - 1, {0x85, 0x06, 0x95, 0x08, 0xB1, 0x02});
    EXPECT_EQ(Length(bigger), 9);
}

TEST(ReportDescriptor, BitFieldsRoundUpToBytes) {
    // 3 x 1 bit + 5 bits padding + 12 bits = 20 bits -> 3 bytes + ID.
    const Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0xB1,
                     0x02, 0x75, 0x05, 0x95, 0x01, 0xB1, 0x03, 0x75, 0x0C, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 4);
}

TEST(ReportDescriptor, InputsAndOutputsDoNotCount) {
    EXPECT_EQ(Length(kBootMouse), 0);
    const auto tlcs = ParseTopLevelCollections(kBootMouse.data(), kBootMouse.size());
    ASSERT_EQ(tlcs.size(), 1u);
    EXPECT_EQ(tlcs[0].usagePage, 0x01);
    EXPECT_EQ(tlcs[0].usage, 0x02);
    EXPECT_EQ(tlcs[0].featureLength, 0);
}

TEST(ReportDescriptor, MouseAndVendorCollectionsAreSeparate) {
    Bytes d = kBootMouse;
    d.insert(d.end(), kVendorReport4.begin(), kVendorReport4.end());
    const auto tlcs = ParseTopLevelCollections(d.data(), d.size());
    ASSERT_EQ(tlcs.size(), 2u);
    EXPECT_EQ(tlcs[0].featureLength, 0);
    EXPECT_EQ(tlcs[1].featureLength, 8);
    EXPECT_EQ(tlcs[1].usagePage, 0xFF00);
    EXPECT_EQ(Length(d), 8);
}

TEST(ReportDescriptor, PushAndPopRestoreGlobals) {
    // Push with size 8 count 7, change to count 30 for an input, pop back for the feature.
    const Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x04, 0x75, 0x08,
                     0x95, 0x07, 0xA4, 0x95, 0x1E, 0x81, 0x02, 0xB4, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 8);
    // A pop without a push is ignored.
    const Bytes unbalanced = {0xB4, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(unbalanced), 3);
}

TEST(ReportDescriptor, LongItemsAndFourByteDataAreSkippedCorrectly) {
    // A long item whose data contains bytes that would look like a feature item,
    // then a 4-byte report count.
    const Bytes d = {0xA1, 0x01, 0xFE, 0x03, 0x10, 0xB1, 0x02, 0xB1, 0x75,
                     0x08, 0x97, 0x07, 0x00, 0x00, 0x00, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 8);
}

TEST(ReportDescriptor, TruncatedInputNeverReadsPastTheEnd) {
    // Every prefix of a valid descriptor parses; the result never exceeds the full one.
    for (std::size_t n = 0; n <= kVendorReport4.size(); ++n) {
        const Bytes prefix(kVendorReport4.begin(), kVendorReport4.begin() + n);
        const int len = Length(prefix);
        EXPECT_TRUE(len == 0 || len == 8) << "prefix " << n;
    }
    // Cut inside the data of a 2-byte item and inside a long item header.
    const Bytes cut = {0xA1, 0x01, 0x75, 0x08, 0x95, 0x07, 0xB1, 0x02, 0x26, 0xFF};
    EXPECT_EQ(Length(cut), 8);
    const Bytes longCut = {0xFE, 0x10};
    EXPECT_EQ(Length(longCut), 0);
    EXPECT_EQ(FeatureReportByteLength(nullptr, 10), 0);
}

TEST(ReportDescriptor, HugeCountsAreClampedTo16Bits) {
    const Bytes d = {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0x00, 0x00, 0x97,
                     0xFF, 0xFF, 0xFF, 0xFF, 0xB1, 0x02, 0xC0};
    EXPECT_EQ(Length(d), 0xFFFF);
}

}  // namespace
}  // namespace bw
