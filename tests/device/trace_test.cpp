#include "device/trace.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "device/fake_hid.h"

namespace {

std::vector<nlohmann::json> Lines(const std::string& text) {
    std::vector<nlohmann::json> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
    return out;
}

TEST(TracingPlatform, WritesOneJsonLinePerTransferWithTheInterfaceIndex) {
    bw::test::FakeHidPlatform inner;
    inner.add("a", 1, 1, 1);
    inner.add("b", 2, 2, 2);
    inner.responder = [](const std::string& path, bool isSet, std::uint8_t* data, std::size_t) {
        if (isSet) return path == "b";
        data[7] = 0xCC;
        return true;
    };
    std::ostringstream out;
    bw::TracingPlatform trace(inner, out);
    ASSERT_EQ(trace.enumerate().size(), 2u);
    const auto a = trace.open("a");
    const auto b = trace.open("b");

    const std::uint8_t frame[8] = {0x04, 0x01, 0, 0, 0, 0, 0, 0xAB};
    std::uint8_t reply[8] = {0x04, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(trace.setFeature(b, frame, 8), 8);
    EXPECT_EQ(trace.setFeature(a, frame, 8), -1);
    EXPECT_EQ(trace.getFeature(b, reply, 8), 8);
    EXPECT_EQ(reply[7], 0xCC);

    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["op"], "set");
    EXPECT_EQ(lines[0]["iface"], 1);
    EXPECT_EQ(lines[0]["data"], "04010000000000ab");
    EXPECT_EQ(lines[0]["ok"], true);
    EXPECT_EQ(lines[1]["iface"], 0);
    EXPECT_EQ(lines[1]["ok"], false);
    EXPECT_EQ(lines[2]["op"], "get");
    EXPECT_EQ(lines[2]["data"], "04000000000000cc");  // the buffer after the call
    for (const auto& line : lines) {
        ASSERT_TRUE(line["t_ms"].is_number());
        EXPECT_GE(line["t_ms"].get<double>(), 0.0);
    }
    EXPECT_LE(lines[0]["t_ms"].get<double>(), lines[2]["t_ms"].get<double>());
    // Fields in the documented order.
    EXPECT_EQ(out.str().rfind("{\"t_ms\":", 0), 0u);
    EXPECT_NE(out.str().find("\"op\":\"set\",\"iface\":1,\"data\":"), std::string::npos);

    trace.close(a);
    trace.close(b);
    EXPECT_TRUE(inner.openHandles.empty());
}

TEST(TracingPlatform, IndexIsTheOneAtOpenTimeAndUnknownHandlesReadMinusOne) {
    bw::test::FakeHidPlatform inner;
    inner.add("x", 1, 1, 1);
    inner.add("y", 1, 1, 1);
    std::ostringstream out;
    bw::TracingPlatform trace(inner, out);
    trace.enumerate();
    const auto y = trace.open("y");
    inner.interfaces.erase(inner.interfaces.begin());  // "x" pulled out
    trace.enumerate();
    const std::uint8_t frame[8] = {0x40};
    trace.setFeature(y, frame, 8);
    trace.setFeature(12345, frame, 8);
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["iface"], 1);
    EXPECT_EQ(lines[1]["iface"], -1);
}

}  // namespace
