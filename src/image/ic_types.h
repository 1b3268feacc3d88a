#pragma once
// The IC types the tool knows: protocol, default identity, release number
// passed to the open routine, and whether the factory record can be read back.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bw {

enum class Protocol { Report4, Report40 };

struct IcType {
    std::string_view rowText;
    Protocol protocol;
    std::string_view defaultVid;  // as written into the VID field
    std::string_view defaultPid;
    std::uint16_t release;  // ExpectedVersion before the open
    bool releaseCompared;
    bool factoryReadBack;
};

inline constexpr std::array<IcType, 3> kIcTypes{{
    {"KVDE31X", Protocol::Report4, "3A5C", "0C21", 0x0104, true, true},
    {"KVDE52xx", Protocol::Report40, "3A5C", "0C37", 0x0100, false, false},
    {"KVDE847", Protocol::Report40, "3A5C", "0C37", 0x0100, false, false},
}};

// The row for an index of the IC type list; none for an index outside 0..2.
inline const IcType* IcTypeAt(int index) {
    if (index < 0 || index >= static_cast<int>(kIcTypes.size())) return nullptr;
    return &kIcTypes[static_cast<std::size_t>(index)];
}

}  // namespace bw
