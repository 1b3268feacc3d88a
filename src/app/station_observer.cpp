#include "app/station_observer.h"

#include <QMetaObject>
#include <QString>
#include <sstream>
#include <utility>

#include "app/station_window.h"
#include "frontend/gang_station.h"

namespace bw {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

template <typename F>
void StationObserver::post(F&& call) {
    QMetaObject::invokeMethod(&window_, std::forward<F>(call), Qt::QueuedConnection);
}

void StationObserver::slotAssigned(int slot, const std::string& port) {
    post([w = &window_, slot, port = Text(port)] { w->SlotAssigned(slot, port); });
}

void StationObserver::portIgnored(const std::string& port) {
    post([w = &window_, port] {
        std::string line = "a mouse on port ";
        line += port;
        line += " has no slot and is left alone";
        w->Say(line);
    });
}

void StationObserver::mouseHeld(int slot, const station::HeldMouse& mouse) {
    std::ostringstream said;
    station_.sayHeld(slot, mouse, said);
    post([w = &window_, slot, number = mouse.number, said = said.str()] {
        w->MouseHeld(slot, number, said);
    });
}

void StationObserver::mousePlugged(int slot) {
    shownPercent_[slot] = -1;
    post([w = &window_, slot, at = StationWindow::Clock::now()] { w->MousePlugged(slot, at); });
}

void StationObserver::mouseStarted(int slot, const std::string& /*devicePath*/,
                                   std::optional<std::int32_t> number) {
    post([w = &window_, slot, number] { w->MouseStarted(slot, number); });
}

void StationObserver::phase(int slot, const std::string& label, int bytes) {
    shownPercent_[slot] = -1;
    post([w = &window_, slot, label = Text(label), bytes] { w->Phase(slot, label, bytes); });
}

void StationObserver::progress(int slot, int done, int total) {
    const int percent = total > 0 ? done * 100 / total : 0;
    int& shown = shownPercent_[slot];
    if (percent == shown) return;
    shown = percent;
    post([w = &window_, slot, done, total] { w->Progress(slot, done, total); });
}

void StationObserver::mouseFinished(const station::GangResult& result) {
    std::ostringstream said;
    if (runner_ != nullptr) station_.recordFinished(result, *runner_, said);
    post([w = &window_, result, said = said.str()] { w->MouseFinished(result, said); });
}

void StationObserver::stoppedTaking(const std::string& why) {
    std::string line = "no further mouse is taken: ";
    line += why;
    post([w = &window_, line] { w->Say(line); });
}

}  // namespace bw
