#include "window/running_copy.h"

#include "window/station_window_model.h"

namespace bw::window {

const char* RunningCopyTitle(bool ganged) {
    return ganged ? kStationWindowTitle : kMainWindowTitle;
}

SecondStart SecondStartOutcome(bool ganged) {
    if (!ganged) return {};
    return {2,
            "binwright-gui: another gang station is open (brought to the front); this one does "
            "not start\n"};
}

}  // namespace bw::window
