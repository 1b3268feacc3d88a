#pragma once
// Until the window's behaviour drives the Line simulator, a stand-in answers its events
// with nothing beyond what the system does (a close closes). To be replaced by its
// behaviour, which takes the view as it is; the main window and the gang station window
// have their own already.

#include <cstdint>
#include <string>

#include "window/line_simulator_view.h"
#include "window/main_window_view.h"
#include "window/station_window_view.h"

namespace bw::winapp {

class StandInEvents final : public window::MainWindowEvents,
                            public window::StationWindowEvents,
                            public window::LineSimulatorEvents {
  public:
    void OnEvent(window::Control, window::Event) override {}
    bool OnCloseQuery() override { return true; }
    void OnTick() override {}
    void OnSimEvent(window::SimControl, window::SimEvent) override {}
};

}  // namespace bw::winapp
