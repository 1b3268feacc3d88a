#pragma once
// binwright-gui.exe --gang IMAGE: the gang station window instead of the main window, with
// the options of `binwright run --gang` (those after --gang, as the Linux window takes them)
// and the window's own (the line, --ledger, --station-name, --log, --expect-sha256).

#include <windows.h>

#include <functional>
#include <string>

#include "winapp/gui_options.h"

namespace bw::winapp {

// What is to be told (warnings, errors), and whether it is an error.
using SayText = std::function<void(const std::string& text, bool error)>;

// Loads the image, shows the station window and runs the message loop; the run's exit code
// (as `binwright run --gang`), 2 when an option or the image cannot be used.
int RunGangStation(HINSTANCE instance, int showCommand, const GuiOptions& options,
                   const SayText& say);

}  // namespace bw::winapp
