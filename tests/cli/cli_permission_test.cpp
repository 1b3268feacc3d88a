#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_harness.h"
#include "cli/device_commands.h"
#include "cli/list_command.h"
#include "frontend/device_options.h"
#include "frontend/platform_factory.h"
#include "production/result_text.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

#if !defined(_WIN32)
#include "device/hid_linux_hidraw.h"
#endif

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A line whose mouse interfaces exist but may not be opened, beside an unrelated open one.
int PlugLockedMouse(SimulatedPlatform& line, int icType) {
    SimDeviceSpec layout = line.mouseSpec(icType);
    for (auto& iface : layout.interfaces) iface.openable = false;
    return line.plug(layout);
}

#if !defined(_WIN32)
// The udev rule that opens the mouse's nodes to the seat's user (Linux only).
const char* kRule0 =
    R"(KERNEL=="hidraw*", ATTRS{idVendor}=="3a5c", ATTRS{idProduct}=="0c21", TAG+="uaccess")";
#endif

TEST(LockedMouse, ListNamesTheNodeAndTheRuleThatOpensIt) {
    SimulatedPlatform line;
    for (int id : line.devices()) line.unplug(id);
    line.plugOther();
    PlugLockedMouse(line, 0);

    std::ostringstream out;
    ASSERT_EQ(RunList(line, false, true, out), exitcode::Pass);
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("not opened: permission denied"));
#if !defined(_WIN32)
    EXPECT_THAT(text, HasSubstr(kRule0));
    // Explained once per node, and only the node that failed.
    EXPECT_EQ(text.find("permission denied on "), text.rfind("permission denied on "));
#endif

    std::ostringstream json;
    ASSERT_EQ(RunList(line, true, true, json), exitcode::Pass);
    int locked = 0;
    for (const auto& item : nlohmann::json::parse(json.str())) {
        if (item.at("opened").get<bool>()) continue;
        ++locked;
        EXPECT_EQ(item.at("error"), "permission denied");
#if !defined(_WIN32)
        EXPECT_THAT(item.at("message").get<std::string>(), HasSubstr(kRule0));
#endif
    }
    EXPECT_EQ(locked, 1);
}

TEST(LockedMouse, WriteSaysPermissionDeniedNotJustNoMouse) {
    TempFolder dir;
    const std::string image = dir.file("image.bin");
    WriteImageFile(image, PatternImage(7));

    for (int ic : {0, 1}) {
        PlatformOptions options;
        options.simulate = true;
        PlatformStack platforms(options);
        SimulatedPlatform& line = *platforms.simulated();
        for (int id : line.devices()) line.unplug(id);
        // An unrelated device that may not be opened either is not the mouse's problem.
        SimDeviceSpec other{0x1111, 0x2222, 0x0100, -1, {SimInterfaceSpec{}}};
        other.interfaces[0].openable = false;
        line.plug(other);
        PlugLockedMouse(line, ic);

        DeviceOptionText text;
        text.ic = std::to_string(ic);
        RecordingHost host;
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunDeviceCommand(Operation::Write, image, ResolveDeviceOptions(text),
                                          platforms, host, out, err);
        EXPECT_EQ(code, exitcode::NoMouse) << ic;
        EXPECT_EQ(out.str(), "No Find Mouse\n") << ic;
        EXPECT_THAT(err.str(), HasSubstr(": permission denied")) << ic;
        EXPECT_THAT(err.str(), Not(HasSubstr("sim:2/"))) << "the unrelated device";
        EXPECT_EQ(line.transferCount(), 0) << ic;
    }
}

// A platform whose system HID services could not be bound.
class UnboundPlatform : public SimulatedPlatform {
  public:
    std::string serviceError() override { return "cannot load HID.dll"; }
    std::vector<HidInterfaceInfo> enumerate() override { return {}; }
};

TEST(UnboundServices, ListFailsInsteadOfShowingAnEmptyLine) {
    UnboundPlatform platform;
    std::ostringstream out;
    EXPECT_EQ(RunList(platform, false, true, out), exitcode::Fail);
    EXPECT_EQ(out.str(), "HID services unavailable: cannot load HID.dll\n");

    SimulatedPlatform empty;
    for (int id : empty.devices()) empty.unplug(id);
    std::ostringstream none;
    EXPECT_EQ(RunList(empty, false, true, none), exitcode::Pass);
    EXPECT_EQ(none.str(), "0 HID interfaces\n");
}

#if !defined(_WIN32)
TEST(PermissionHint, RuleNarrowsToWhatIsKnownOfTheDevice) {
    const std::string both = PermissionHint("/dev/hidraw3", 0x3A5C, 0x0C21);
    EXPECT_THAT(both, HasSubstr("permission denied on /dev/hidraw3"));
    EXPECT_THAT(both, HasSubstr(kRule0));
    EXPECT_THAT(both, HasSubstr("udevadm control --reload"));

    const std::string vendorOnly = PermissionHint("/dev/hidraw3", 0x3A5C);
    EXPECT_THAT(vendorOnly, HasSubstr(R"(ATTRS{idVendor}=="3a5c", TAG+="uaccess")"));
    EXPECT_THAT(vendorOnly, Not(HasSubstr("idProduct")));

    const std::string unknown = PermissionHint("/dev/hidraw3");
    EXPECT_THAT(unknown, HasSubstr("permission denied on /dev/hidraw3"));
    EXPECT_THAT(unknown, Not(HasSubstr("ATTRS")));

    // The hint is for real nodes; other reasons and the simulated line stay plain.
    EXPECT_EQ(OpenFailureText("/dev/hidraw3", "no such device", 0x3A5C, true, 0x0C21),
              "cannot open /dev/hidraw3: no such device");
    EXPECT_EQ(OpenFailureText("sim:1/0", "permission denied", 0x3A5C, false, 0x0C21),
              "cannot open sim:1/0: permission denied");
}
#endif

}  // namespace
}  // namespace bw::test
