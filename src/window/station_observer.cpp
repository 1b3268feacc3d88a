#include "window/station_observer.h"

#include <sstream>
#include <utility>

#include "frontend/gang_station.h"
#include "window/station_window_model.h"

namespace bw::window {

void StationObserver::slotAssigned(int slot, const std::string& port) {
    model_.Post([m = &model_, slot, port] { m->SlotAssigned(slot, port); });
}

void StationObserver::portIgnored(const std::string& port) {
    model_.Post([m = &model_, port] {
        m->Say("a mouse on port " + port + " has no slot and is left alone");
    });
}

void StationObserver::mouseHeld(int slot, const station::HeldMouse& mouse) {
    std::ostringstream said;
    station_.sayHeld(slot, mouse, said);
    model_.Post([m = &model_, slot, number = mouse.number, said = said.str()] {
        m->MouseHeld(slot, number, said);
    });
}

void StationObserver::mousePlugged(int slot) {
    shownPercent_[slot] = -1;
    model_.Post(
        [m = &model_, slot, at = StationWindowModel::Clock::now()] { m->MousePlugged(slot, at); });
}

void StationObserver::mouseStarted(int slot, const std::string& /*devicePath*/,
                                   std::optional<std::int32_t> number) {
    model_.Post([m = &model_, slot, number] { m->MouseStarted(slot, number); });
}

void StationObserver::phase(int slot, const std::string& label, int bytes) {
    shownPercent_[slot] = -1;
    model_.Post([m = &model_, slot, label, bytes] { m->Phase(slot, label, bytes); });
}

void StationObserver::progress(int slot, int done, int total) {
    const int percent = total > 0 ? done * 100 / total : 0;
    int& shown = shownPercent_[slot];
    if (percent == shown) return;
    shown = percent;
    model_.Post([m = &model_, slot, done, total] { m->Progress(slot, done, total); });
}

void StationObserver::mouseFinished(const station::GangResult& result) {
    std::ostringstream said;
    if (runner_ != nullptr) station_.recordFinished(result, *runner_, said);
    model_.Post([m = &model_, result, said = said.str()] { m->MouseFinished(result, said); });
}

void StationObserver::stoppedTaking(const std::string& why) {
    model_.Post([m = &model_, line = "no further mouse is taken: " + why] { m->Say(line); });
}

}  // namespace bw::window
