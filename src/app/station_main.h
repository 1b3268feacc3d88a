#pragma once
// binwright-gui --gang IMAGE: the gang station window instead of the main window, with the
// options of `binwright run --gang` (frontend/gang_window_options.h).

#include "frontend/device_options.h"
#include "frontend/gang_window_options.h"
#include "frontend/platform_factory.h"

namespace bw {

class SingleInstance;

// Loads the image, shows the station window and runs the event loop; the run's exit code
// (as `binwright run --gang`), 2 when the image cannot be used.
int RunGangWindow(GangWindowOptions& gang, const DeviceOptions& options, PlatformStack& platform,
                  SingleInstance& instance);

}  // namespace bw
