#include "cli/device_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/device_commands.h"
#include "cli/terminal_host.h"

namespace bw {
namespace {

TEST(DeviceOptions, DefaultsAreTheWindowsDesignValues) {
    const DeviceOptions o = ResolveDeviceOptions(DeviceOptionText{});
    EXPECT_EQ(o.ic, 0);
    EXPECT_EQ(o.vid, 0x3A5C);
    EXPECT_EQ(o.pid, 0x0C21);
    EXPECT_EQ(o.params.total, 1);
    EXPECT_EQ(o.params.retries, 3);
    EXPECT_EQ(o.params.format, DataFormat::TwoK);
    EXPECT_EQ(o.params.blocks, 8);
    EXPECT_EQ(o.params.sleep, 100);
    EXPECT_FALSE(o.params.writeId);
    EXPECT_EQ(o.factory.type, 0x0005);
    EXPECT_EQ(o.factory.date, 0x20200527);
    EXPECT_EQ(o.factory.number, 0x000001);
    EXPECT_EQ(o.factory.factory, 0);
    EXPECT_EQ(o.factory.line, 0);
    EXPECT_EQ(o.factory.station, 0);
}

TEST(DeviceOptions, IcTypeChoosesTheDefaultIdentity) {
    EXPECT_EQ(ParseIcType("0"), 0);
    EXPECT_EQ(ParseIcType("kvde52XX"), 1);
    EXPECT_EQ(ParseIcType("KVDE847"), 2);
    EXPECT_EQ(ParseIcType("3"), -1);
    EXPECT_EQ(ParseIcType(""), -1);
    // Built with designated initializers: assigning a literal to a std::string member makes
    // GCC 12 at -O3 report a false -Wrestrict inside the library's inlined copy.
    EXPECT_EQ(ResolveDeviceOptions({.ic = "2"}).pid, 0x0C37);
    EXPECT_EQ(ResolveDeviceOptions({.ic = "2", .pid = "0x1"}).pid, 1);
}

TEST(DeviceOptions, HexFieldsKeepTheir32BitPattern) {
    const DeviceOptions o =
        ResolveDeviceOptions({.format = "256", .date = "FFFFFFFF", .line = "z"});
    EXPECT_EQ(o.factory.date, -1);
    EXPECT_EQ(o.factory.line, 25);
    EXPECT_EQ(o.params.format, DataFormat::Block256);
}

TEST(DeviceOptions, ZeroCountsAreAcceptedAsInTheWindow) {
    const DeviceOptions o = ResolveDeviceOptions({.total = "0", .retries = "0", .sleep = "0"});
    EXPECT_EQ(o.params.total, 0);
    EXPECT_EQ(o.params.retries, 0);
    EXPECT_EQ(o.params.sleep, 0);
}

TEST(FactoryFieldsText, ZeroRecordShowsEmptyFieldsAndFirstRows) {
    EXPECT_EQ(FormatFactoryFields(FactoryFields{0, 0, 0, 0, 0, 0}),
              "Product: \nDate: \nSN: \nFactory: 1\nLine: A\nStation: 1\n");
    EXPECT_EQ(FormatFactoryFields(FactoryFields{0xC21, 0x20200527, 0x10, 7, -1, 8}),
              "Product: C21\nDate: 20200527\nSN: 10\nFactory: 8\nLine: \nStation: \n");
}

TEST(TerminalHost, ProgressOnlyOnATerminal) {
    std::ostringstream quiet;
    {
        TerminalHost host(quiet, false);
        host.progress(1, 4);
        host.progress(4, 4);
    }
    EXPECT_TRUE(quiet.str().empty());

    std::ostringstream shown;
    {
        TerminalHost host(shown, true);
        host.progress(1, 4);
        host.progress(1, 4);  // same percentage: not repeated
        host.progress(2, 4);
    }
    EXPECT_NE(shown.str().find("25%"), std::string::npos);
    EXPECT_NE(shown.str().find("50%"), std::string::npos);
    EXPECT_EQ(shown.str().find("25%"), shown.str().rfind("25%"));
}

}  // namespace
}  // namespace bw
