#pragma once
// Until the window's behaviour drives these views, a stand-in shows the start-up state
// and nothing more: the caption table's texts and the language's font face on the main
// window, the image's name on the gang station window. It answers no event beyond what
// the system does (a close closes). To be replaced by the window's behaviour, which
// takes the views as they are.

#include <cstdint>
#include <string>

#include "window/line_simulator_view.h"
#include "window/main_window_view.h"
#include "window/station_window_view.h"

namespace bw::winapp {

// The language's column of the caption table, from the thread's locale.
std::uint8_t ThreadUiLanguage();

// What the main window shows once created: the pass count 0, then the captions and faces.
void ShowStartupState(window::MainWindowView& view, std::uint8_t uiLanguage);

// What the gang station window shows before its run starts.
void ShowStationStartupState(window::StationWindowView& view, const std::string& imageFile);

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
