#pragma once
// Presence events of hidraw nodes on Linux: a udev monitor of subsystem "hidraw".

#include <memory>

#include "device/presence_watcher.h"

namespace bw {

// Listens to udev's own events where the udev daemon runs (they come after its rules set
// the node's permissions), otherwise to the kernel's (a system without udev, such as a
// minimal guest). Where no monitor can be made it polls like PollingPresenceWatcher.
std::unique_ptr<PresenceWatcher> MakeHidrawPresenceWatcher();

}  // namespace bw
