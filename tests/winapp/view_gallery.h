#pragma once
// The Windows views in the states the window's behaviour will give them, for a look at
// them (scripts/wine-gui-smoke.sh photographs them): the main window with a mouse ready or
// a write passed, the Line simulator, the loading window, the password and file dialogs.
// (The gang station is photographed at work in the program itself.)

namespace bw::winapp {

// Shows the view named ("main-loaded", "write-pass", "line-simulator", "loading",
// "password", "file-open", "file-save") and runs its message loop until it is closed; 2 for
// another name.
int ShowGallery(const char* name);

}  // namespace bw::winapp
