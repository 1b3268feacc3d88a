#pragma once
// The gang station's --slots option, read alike by `binwright run --gang` and the gang window.

#include <string>

#include "station/gang_runner.h"

namespace bw {

// --slots: "N" (at most N slots, numbered as their ports first show a mouse) or a list of
// ports "1-2.1,1-2.2" (slot k is the k-th). Throws OptionError on an empty entry or N
// outside 1..kMaxGangSlots.
inline constexpr int kMaxGangSlots = 64;
void ApplySlotsOption(const std::string& text, station::GangSettings& settings);

}  // namespace bw
