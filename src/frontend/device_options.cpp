#include "frontend/device_options.h"

#include <algorithm>
#include <cctype>

#include "image/ic_types.h"

namespace bw {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Hex text of 1..maxDigits digits, "0x" prefix allowed, as the window's hex field holds it.
std::int32_t Hex(const std::string& option, const std::string& text, std::size_t maxDigits) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    const bool ok = !digits.empty() && digits.size() <= maxDigits &&
                    std::all_of(digits.begin(), digits.end(),
                                [](unsigned char c) { return std::isxdigit(c) != 0; });
    if (!ok) {
        throw OptionError(option + ": '" + text + "' is not a hexadecimal number of at most " +
                          std::to_string(maxDigits) + " digits");
    }
    // 32-bit pattern taken as signed, as the field reads it.
    return static_cast<std::int32_t>(std::stoul(digits, nullptr, 16));
}

std::int32_t Decimal(const std::string& option, const std::string& text, std::int32_t low,
                     std::int32_t high) {
    const bool digitsOnly =
        !text.empty() && text.size() <= 9 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    const std::int32_t value = digitsOnly ? std::stoi(text) : -1;
    if (!digitsOnly || value < low || value > high) {
        throw OptionError(option + ": '" + text + "' is not a number from " + std::to_string(low) +
                          " to " + std::to_string(high));
    }
    return value;
}

}  // namespace

int ParseIcType(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '2') return text[0] - '0';
    for (std::size_t i = 0; i < kIcTypes.size(); ++i) {
        if (Upper(text) == Upper(std::string(kIcTypes[i].rowText))) return static_cast<int>(i);
    }
    return -1;
}

DeviceOptions ResolveDeviceOptions(const DeviceOptionText& text) {
    DeviceOptions o;
    o.ic = ParseIcType(text.ic);
    if (o.ic < 0) {
        throw OptionError("--ic: '" + text.ic +
                          "' is not an IC type (0, 1, 2, KVDE31X, KVDE52xx or KVDE847)");
    }
    const IcType& row = *IcTypeAt(o.ic);
    o.vid = Hex("--vid", text.vid.empty() ? std::string(row.defaultVid) : text.vid, 4);
    o.pid = Hex("--pid", text.pid.empty() ? std::string(row.defaultPid) : text.pid, 4);

    // Field limits of the window: 4 digits for the counts, 3 for the sleep time.
    o.params.total = Decimal("--total", text.total, 0, 9999);
    // No retry would make no attempt at all.
    o.params.retries = Decimal("--retries", text.retries, 1, 9999);
    const std::string format = Upper(text.format);
    if (format == "2K" || format == "2048") {
        o.params.format = DataFormat::TwoK;
    } else if (format == "256") {
        o.params.format = DataFormat::Block256;
    } else {
        throw OptionError("--format: '" + text.format + "' is not 2k or 256");
    }
    o.params.blocks = Decimal("--blocks", text.blocks, 1, 8);
    o.params.sleep = Decimal("--sleep", text.sleep, 0, 999);
    o.params.writeId = text.writeId;

    o.factory.type = Hex("--type", text.type, 4);
    o.factory.date = Hex("--date", text.date, 8);
    o.factory.number = Hex("--sn", text.sn, 6);
    o.factory.factory = Decimal("--factory-no", text.factoryNo, 1, 8) - 1;
    const std::string line = Upper(text.line);
    if (line.size() != 1 || line[0] < 'A' || line[0] > 'Z')
        throw OptionError("--line: '" + text.line + "' is not a letter from A to Z");
    o.factory.line = line[0] - 'A';
    o.factory.station = Decimal("--station", text.station, 1, 8) - 1;
    o.params.verifyAfterWrite = text.verifyAfterWrite;
    if (!text.expectSha256.empty()) {
        o.approvedSha256 = ParseSha256(text.expectSha256);
        if (!o.approvedSha256) {
            throw OptionError("--expect-sha256: '" + text.expectSha256 +
                              "' is not a SHA-256 (64 hexadecimal digits)");
        }
    }
    return o;
}

}  // namespace bw
