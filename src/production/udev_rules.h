#pragma once
// The udev rules file of the package, made from the IC type table so that the
// installed rules always cover every IC type's default identity.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bw {

// A default VID or PID text of the table ("3A5C") as a number; none when it is not
// one to four hex digits.
std::optional<std::uint16_t> ParseIdText(std::string_view text);

// The distinct (vendor, product) pairs of the IC type table, in table order.
std::vector<std::pair<std::uint16_t, std::uint16_t>> DefaultIdentities();

// The whole rules file: a comment header, then one rule per distinct pair.
std::string UdevRulesFile();

// The station service's rules file: the same identities, their nodes given to `group`.
std::string StationUdevRulesFile(const std::string& group);

}  // namespace bw
