#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "binwright_version.h"

namespace {

// Output and exit status of a shell command.
std::pair<std::string, int> RunShell(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
    return {output, pclose(pipe)};
}

// --version must answer on a machine without any display, before the toolkit starts.
TEST(GuiVersion, PrintsTheProjectVersionWithoutADisplay) {
    const auto [out, status] =
        RunShell(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
                 BINWRIGHT_GUI_PATH + " --version 2>&1");
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, std::string("binwright-gui ") + BINWRIGHT_VERSION + "\n");
}

}  // namespace
