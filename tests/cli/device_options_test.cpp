#include "frontend/device_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/device_commands.h"
#include "cli/terminal_host.h"

namespace bw {
namespace {

// A field's text as a whole string: assigning a literal to a std::string member makes GCC 12
// at -O3 report a false -Wrestrict inside the library's inlined replace.
std::string Text(const char* text) {
    return text;
}

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
    // Every byte written is read back unless the command line opts out.
    EXPECT_TRUE(o.params.verifyAfterWrite);
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
    DeviceOptionText text;
    text.ic = Text("2");
    EXPECT_EQ(ResolveDeviceOptions(text).pid, 0x0C37);
    text.pid = Text("0x1");
    EXPECT_EQ(ResolveDeviceOptions(text).pid, 1);
}

TEST(DeviceOptions, HexFieldsKeepTheir32BitPattern) {
    DeviceOptionText text;
    text.date = Text("FFFFFFFF");
    text.line = Text("z");
    text.format = Text("256");
    const DeviceOptions o = ResolveDeviceOptions(text);
    EXPECT_EQ(o.factory.date, -1);
    EXPECT_EQ(o.factory.line, 25);
    EXPECT_EQ(o.params.format, DataFormat::Block256);
}

// Zero cycles and no pause still write; no retry would make no attempt at all.
TEST(DeviceOptions, ZeroCountsAreAcceptedButNoRetryIsRefused) {
    DeviceOptionText text;
    text.total = Text("0");
    text.sleep = Text("0");
    const DeviceOptions o = ResolveDeviceOptions(text);
    EXPECT_EQ(o.params.total, 0);
    EXPECT_EQ(o.params.sleep, 0);
    text.retries = Text("0");
    EXPECT_THROW(ResolveDeviceOptions(text), OptionError);
    text.retries = Text("1");
    EXPECT_EQ(ResolveDeviceOptions(text).params.retries, 1);
}

TEST(FactoryFieldsText, ZeroRecordShowsEmptyFieldsAndFirstRows) {
    EXPECT_EQ(FormatFactoryFields(FactoryFields{0, 0, 0, 0, 0, 0}),
              "Product: \nDate: \nSN: \nFactory: 1\nLine: A\nStation: 1\n");
    EXPECT_EQ(FormatFactoryFields(FactoryFields{0xC21, 0x20200527, 0x10, 7, -1, 8}),
              "Product: C21\nDate: 20200527\nSN: 10\nFactory: 8\nLine: \nStation: \n");
}

TEST(TerminalHost, PhaseBarsOnlyOnATerminalAndAsAsked) {
    // One write phase of 12 bytes: half of it, a second attempt that moves more than all.
    const auto phase = [](ProgressStyle style) {
        std::ostringstream err;
        {
            TerminalHost host(err, style);
            host.beginPhase("Writing 12 bytes", 12);
            host.startAttempt();
            host.transferred(6);
            host.transferred(0);  // same percentage: not redrawn
            host.startAttempt();
            host.transferred(6);
            host.transferred(6);
            host.transferred(3);
            host.endPhase(false);
        }
        return err.str();
    };
    struct Case {
        ProgressStyle style;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    };
    const std::vector<Case> cases = {
        {{false, false, false}, {}, {"Writing"}},
        {{true, true, false}, {}, {"Writing"}},
        {{true, false, false},
         {"\rWriting 12 bytes", "   6/12  50%", "attempt 2", "  12/12 100%", "failed"},
         {" ms, "}},
        {{false, false, true}, {"  12/12 100%", "failed  (", " ms, 2 attempts)\n"}, {"\r", " 50%"}},
    };
    for (const auto& c : cases) {
        const std::string text = phase(c.style);
        const std::string name = std::to_string(c.style.terminal) + std::to_string(c.style.quiet) +
                                 std::to_string(c.style.verbose);
        if (c.shown.empty()) {
            EXPECT_TRUE(text.empty()) << name << ": " << text;
        }
        for (const auto& s : c.shown) EXPECT_NE(text.find(s), std::string::npos) << name << s;
        for (const auto& s : c.absent) EXPECT_EQ(text.find(s), std::string::npos) << name << s;
    }
    // The bar never passes the phase's bytes.
    EXPECT_EQ(phase({true, false, false}).find("15/12"), std::string::npos);
}

}  // namespace
}  // namespace bw
