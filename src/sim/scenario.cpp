#include "sim/scenario.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <vector>

#include "image/regular_file.h"
#include "os/utf8_path.h"

namespace bw {
namespace {

constexpr long kMaxSlots = 64;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

[[noreturn]] void Fail(std::string_view key, std::string_view value, std::string_view why) {
    throw ScenarioError("simulation scenario: bad value '" + std::string(value) + "' for '" +
                        std::string(key) + "': " + std::string(why));
}

// Whole text must be a number in the base; an optional 0x prefix for hex.
long ParseNumber(std::string_view key, std::string_view value, int base, long min, long max) {
    std::string_view digits = value;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' &&
        (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    long result = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, result, base);
    if (digits.empty() || ec == std::errc::result_out_of_range)
        Fail(key, value, base == 16 ? "expected a hex number" : "expected a decimal number");
    if (ec != std::errc() || ptr != end)
        Fail(key, value, base == 16 ? "expected a hex number" : "expected a decimal number");
    if (result < min || result > max) {
        const auto show = [base](long v) {
            if (base == 10) return std::to_string(v);
            char buf[16];
            auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
            return std::string(buf, r.ptr);
        };
        Fail(key, value, "must be " + show(min) + " to " + show(max));
    }
    return result;
}

std::uint16_t Hex16(std::string_view key, std::string_view value) {
    return static_cast<std::uint16_t>(ParseNumber(key, value, 16, 0, 0xFFFF));
}
std::uint8_t Hex8(std::string_view key, std::string_view value) {
    return static_cast<std::uint8_t>(ParseNumber(key, value, 16, 0, 0xFF));
}
int Decimal(std::string_view key, std::string_view value, long min, long max) {
    return static_cast<int>(ParseNumber(key, value, 10, min, max));
}
bool Flag(std::string_view key, std::string_view value) {
    if (value == "1") return true;
    if (value == "0") return false;
    Fail(key, value, "must be 0 or 1");
}

Image ReadMemoryFile(std::string_view key, const std::string& path) {
    // Looked at first: a FIFO or a device node would block or never end.
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(path), ec)) {
        if (const std::string problem = RegularFileProblem(path, false); !problem.empty())
            Fail(key, path, "the file " + problem);
    }
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) Fail(key, path, "cannot open the file");
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() != static_cast<std::size_t>(kImageSize))
        Fail(key, path,
             "the file holds " + std::to_string(bytes.size()) + " bytes, not " +
                 std::to_string(kImageSize));
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(bytes[i]);
    return image;
}

// The keys of a line of several ports; false for any other key.
bool ParsePortLineKey(std::string_view key, std::string_view value, PortLine& line) {
    if (key == "slots") {
        line.portCount = Decimal(key, value, 1, kMaxSlots);
    } else if (key == "handling-ms") {
        line.handlingMs = Decimal(key, value, 0, 3'600'000);
    } else if (key == "fault-slot") {
        line.faultSlot = Decimal(key, value, 1, kMaxSlots);
    } else {
        return false;
    }
    return true;
}

void CheckPortLine(const PortLine& line) {
    if (line.portCount == 0 && line.handlingMs > 0)
        Fail("handling-ms", std::to_string(line.handlingMs), "needs slots");
    if (line.faultSlot > line.portCount) {
        Fail(
            "fault-slot", std::to_string(line.faultSlot),
            line.portCount == 0 ? "needs slots" : "must be 1 to " + std::to_string(line.portCount));
    }
}

}  // namespace

Scenario ParseScenario(std::string_view text) {
    constexpr long kIntMax = std::numeric_limits<int>::max();
    Scenario s;
    std::set<std::string, std::less<>> seen;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        if (!item.empty()) {
            const auto eq = item.find('=');
            if (eq == std::string_view::npos)
                throw ScenarioError("simulation scenario: '" + std::string(item) +
                                    "' is not of the form key=value");
            const std::string_view key = Trim(item.substr(0, eq));
            const std::string_view value = Trim(item.substr(eq + 1));
            if (!seen.insert(std::string(key)).second)
                throw ScenarioError("simulation scenario: key '" + std::string(key) +
                                    "' given twice");
            if (key == "ic") {
                s.ic = Decimal(key, value, 0, 2);
            } else if (key == "vid") {
                s.vendorId = Hex16(key, value);
            } else if (key == "pid") {
                s.productId = Hex16(key, value);
            } else if (key == "release") {
                s.release = Hex16(key, value);
            } else if (key == "chip") {
                s.chip = Hex8(key, value);
            } else if (key == "status1") {
                s.status1 = Hex8(key, value);
            } else if (key == "status2") {
                s.status2 = Hex8(key, value);
            } else if (key == "split") {
                s.split = Flag(key, value);
            } else if (key == "pointer") {
                s.pointer = Flag(key, value);
            } else if (key == "others") {
                s.others = Decimal(key, value, 0, 64);
            } else if (key == "nack") {
                s.faults.nack = Hex8(key, value);
            } else if (key == "ack-after") {
                s.faults.ackAfter = Decimal(key, value, 1, kIntMax);
            } else if (key == "lose-piece") {
                s.faults.losePiece = Decimal(key, value, 1, kIntMax);
            } else if (key == "fail-after") {
                s.faults.failAfter = Decimal(key, value, 0, kIntMax);
            } else if (key == "stuck-byte") {
                s.faults.stuckByte =
                    static_cast<int>(ParseNumber(key, value, 16, 0, kImageSize - 1));
            } else if (key == "short-reply") {
                s.faults.shortReply = Decimal(key, value, 1, kIntMax);
            } else if (key == "latency-us") {
                s.faults.latencyUs = Decimal(key, value, 0, 1'000'000);
            } else if (key == "memory") {
                if (value.empty()) Fail(key, value, "a file name is needed");
                s.memoryFile = std::string(value);
                s.memory = ReadMemoryFile(key, s.memoryFile);
            } else if (key == "dump") {
                if (value.empty()) Fail(key, value, "a file name is needed");
                s.dumpFile = std::string(value);
                // Said now: a dump that could never be written would be lost at the end.
                const std::filesystem::path folder = PathFromUtf8(s.dumpFile).parent_path();
                std::error_code error;
                if (!folder.empty() && !std::filesystem::is_directory(folder, error))
                    Fail(key, value, "its folder does not exist");
            } else if (key == "mice") {
                s.mice = Decimal(key, value, 1, 100000);
            } else if (key == "line-dir") {
                if (value.empty()) Fail(key, value, "a folder name is needed");
                s.lineDir = std::string(value);
            } else if (ParsePortLineKey(key, value, s.ports)) {
            } else {
                throw ScenarioError("simulation scenario: unknown key '" + std::string(key) + "'");
            }
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (!s.lineDir.empty() && s.mice == 0)
        Fail("line-dir", s.lineDir, "keeps a line of mice: give mice=N as well");
    if (!s.lineDir.empty() && s.ports.portCount > 0)
        Fail("line-dir", s.lineDir, "keeps a line of one port: not with slots=K");
    CheckPortLine(s.ports);
    return s;
}

}  // namespace bw
