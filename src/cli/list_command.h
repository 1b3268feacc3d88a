#pragma once
// `binwright list`: every HID interface with its identity, feature length and
// whether it could be opened.

#include <ostream>

#include "device/hid_platform.h"

namespace bw {

// realHardware: reasons for unopened nodes carry the system's fix (udev rule).
int RunList(HidPlatform& platform, bool json, bool realHardware, std::ostream& out);

}  // namespace bw
