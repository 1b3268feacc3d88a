#pragma once
// Events that do nothing beyond what the system does (a close closes): what the views'
// picture gallery gives the windows it shows in fixed states. The program's windows are
// all driven by their behaviour (main window, gang station window, Line simulator).

#include "window/main_window_view.h"
#include "window/station_window_view.h"

namespace bw::winapp {

class StandInEvents final : public window::MainWindowEvents, public window::StationWindowEvents {
  public:
    void OnEvent(window::Control, window::Event) override {}
    bool OnCloseQuery() override { return true; }
    void OnTick() override {}
};

}  // namespace bw::winapp
