#include "production/udev_rules.h"

#include <algorithm>
#include <stdexcept>

#include "device/udev_rule.h"
#include "image/ic_types.h"

namespace bw {

std::optional<std::uint16_t> ParseIdText(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint16_t>(value);
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> DefaultIdentities() {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
    for (const IcType& row : kIcTypes) {
        const auto vid = ParseIdText(row.defaultVid);
        const auto pid = ParseIdText(row.defaultPid);
        // A table row that is not hex would silently leave its mice without access.
        if (!vid || !pid)
            throw std::invalid_argument("IC type " + std::string(row.rowText) +
                                        ": default VID/PID is not hex");
        const std::pair<std::uint16_t, std::uint16_t> pair{*vid, *pid};
        if (std::find(pairs.begin(), pairs.end(), pair) == pairs.end()) pairs.push_back(pair);
    }
    return pairs;
}

std::string UdevRulesFile() {
    std::string text =
        "# Generated from the IC type table of binwright; do not edit.\n"
        "# Gives the user logged in at the seat access to the hidraw nodes of the\n"
        "# IC types' default USB identities. Add other VID:PID pairs in\n"
        "# " +
        std::string(kLocalUdevRulesFile) + "\n";
    for (const auto& [vid, pid] : DefaultIdentities()) text += UdevRuleLine(vid, pid) + "\n";
    return text;
}

std::string StationUdevRulesFile(const std::string& group) {
    std::string text =
        "# Generated from the IC type table of binwright; do not edit.\n"
        "# Gives the group of the station service (binwright-station@.service) read and\n"
        "# write access to the hidraw nodes of the IC types' default USB identities.\n";
    for (const auto& [vid, pid] : DefaultIdentities())
        text += UdevGroupRuleLine(vid, pid, group) + "\n";
    return text;
}

}  // namespace bw
