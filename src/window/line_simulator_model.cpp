#include "window/line_simulator_model.h"

#include <cstdint>
#include <vector>

#include "image/ic_types.h"
#include "sim/sim_platform.h"

namespace bw::window {

namespace {

// The status reply of a fresh mouse, as the simulated line plugs one by itself.
constexpr int kDefaultStatus1 = 0xAA;
constexpr int kDefaultStatus2 = 0x04;
constexpr int kDefaultChip = 0x35;

}  // namespace

std::string PresenceText(int mice, int others) {
    return "Present: " + std::to_string(mice) + " mouse/mice, " + std::to_string(others) +
           " other device(s)";
}

LineSimulatorModel::LineSimulatorModel(SimulatedPlatform& line, LineSimulatorView& view)
    : line_(line), view_(view) {
    const Faults& now = line_.faults();
    // A switched-off fault keeps a value ready for the switch.
    view_.SetValue(SimControl::NackOn, now.nack >= 0 ? 1 : 0);
    view_.SetValue(SimControl::NackCommand, now.nack >= 0 ? now.nack : 1);
    view_.SetValue(SimControl::AckAfter, now.ackAfter);
    view_.SetValue(SimControl::LosePieceOn, now.losePiece > 0 ? 1 : 0);
    view_.SetValue(SimControl::LosePiece, now.losePiece > 0 ? now.losePiece : 1);
    view_.SetValue(SimControl::FailAfterOn, now.failAfter >= 0 ? 1 : 0);
    view_.SetValue(SimControl::FailAfter, now.failAfter >= 0 ? now.failAfter : 100);
    view_.SetValue(SimControl::LatencyUs, now.latencyUs);
    view_.SetValue(SimControl::Status1, kDefaultStatus1);
    view_.SetValue(SimControl::Status2, kDefaultStatus2);
    view_.SetValue(SimControl::Chip, kDefaultChip);
    ShowDetails(true);
    RefreshPresence();
    view_.SetEvents(this);
    view_.StartTicks(kSimulatorRefreshMs);
}

LineSimulatorModel::~LineSimulatorModel() {
    view_.StopTicks();
    view_.SetEvents(nullptr);
}

int LineSimulatorModel::PlugMouse(int icType) {
    const int id = line_.plugMouse(icType);
    if (SimulatedMouse* mouse = line_.mouse(id)) {
        mouse->status() = {static_cast<std::uint8_t>(view_.Value(SimControl::Status1)),
                           static_cast<std::uint8_t>(view_.Value(SimControl::Status2)),
                           static_cast<std::uint8_t>(view_.Value(SimControl::Chip))};
    }
    RefreshPresence();
    return id;
}

bool LineSimulatorModel::PullLast(bool mouse) {
    const std::vector<int> present = line_.devices();
    for (auto it = present.rbegin(); it != present.rend(); ++it) {
        if ((line_.mouse(*it) != nullptr) != mouse) continue;
        line_.unplug(*it);
        RefreshPresence();
        return true;
    }
    return false;
}

bool LineSimulatorModel::PullMouse() {
    return PullLast(true);
}

int LineSimulatorModel::PlugOther() {
    const int id = line_.plugOther();
    RefreshPresence();
    return id;
}

bool LineSimulatorModel::PullOther() {
    return PullLast(false);
}

void LineSimulatorModel::ApplyFaults() {
    Faults& faults = line_.faults();
    faults.nack = view_.Value(SimControl::NackOn) != 0 ? view_.Value(SimControl::NackCommand) : -1;
    faults.ackAfter = view_.Value(SimControl::AckAfter);
    faults.losePiece =
        view_.Value(SimControl::LosePieceOn) != 0 ? view_.Value(SimControl::LosePiece) : 0;
    // Counted from the moment the fault is switched on.
    faults.failAfter =
        view_.Value(SimControl::FailAfterOn) != 0
            ? static_cast<int>(line_.transferCount()) + view_.Value(SimControl::FailAfter)
            : -1;
    faults.latencyUs = view_.Value(SimControl::LatencyUs);
}

void LineSimulatorModel::RefreshPresence() {
    int mice = 0;
    int others = 0;
    for (const int id : line_.devices()) ++(line_.mouse(id) != nullptr ? mice : others);
    view_.SetText(SimControl::Presence, PresenceText(mice, others));
}

void LineSimulatorModel::ShowDetails(bool shown) {
    detailsShown_ = shown;
    // The caption first: a view sizes itself to what it shows.
    view_.SetText(SimControl::Details, shown ? "Fewer controls" : "Faults...");
    view_.SetValue(SimControl::Details, shown ? 1 : 0);
}

void LineSimulatorModel::OnSimEvent(SimControl control, SimEvent event) {
    if (event == SimEvent::Tick) {
        RefreshPresence();
        return;
    }
    switch (control) {
        case SimControl::PlugMouse0:
        case SimControl::PlugMouse1:
        case SimControl::PlugMouse2:
            if (event == SimEvent::Click) {
                const int ic = static_cast<int>(control) - static_cast<int>(SimControl::PlugMouse0);
                if (ic < static_cast<int>(kIcTypes.size())) PlugMouse(ic);
            }
            return;
        case SimControl::PullMouse:
            if (event == SimEvent::Click) PullMouse();
            return;
        case SimControl::PlugOther:
            if (event == SimEvent::Click) PlugOther();
            return;
        case SimControl::PullOther:
            if (event == SimEvent::Click) PullOther();
            return;
        case SimControl::NackOn:
        case SimControl::NackCommand:
        case SimControl::AckAfter:
        case SimControl::LosePieceOn:
        case SimControl::LosePiece:
        case SimControl::FailAfterOn:
        case SimControl::FailAfter:
        case SimControl::LatencyUs:
            ApplyFaults();
            return;
        case SimControl::Details:
            // The operator's choice stands from now on.
            detailsChosen_ = true;
            ShowDetails(event == SimEvent::Click ? !detailsShown_
                                                 : view_.Value(SimControl::Details) != 0);
            return;
        case SimControl::Presence:
        case SimControl::Status1:
        case SimControl::Status2:
        case SimControl::Chip:
            // The status reply is read when the next mouse is plugged.
            return;
    }
}

void LineSimulatorModel::OnPlaced(bool wholeFits) {
    if (!detailsChosen_) ShowDetails(wholeFits);
}

}  // namespace bw::window
