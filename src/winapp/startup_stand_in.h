#pragma once
// Until the window's behaviour drives the gang station window, a stand-in shows the station's
// start-up state (the image's name) and nothing more. It answers no event beyond what the system
// does (a close closes). To be replaced by their behaviour, which takes the view as it is; the main
// window and the Line simulator have their own already.

#include <cstdint>
#include <string>

#include "window/main_window_view.h"
#include "window/station_window_view.h"

namespace bw::winapp {

// What the gang station window shows before its run starts.
void ShowStationStartupState(window::StationWindowView& view, const std::string& imageFile);

class StandInEvents final : public window::MainWindowEvents, public window::StationWindowEvents {
  public:
    void OnEvent(window::Control, window::Event) override {}
    bool OnCloseQuery() override { return true; }
    void OnTick() override {}
};

}  // namespace bw::winapp
