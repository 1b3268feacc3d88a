#include "window/station_window_model.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <utility>

#include "frontend/gang_station.h"
#include "frontend/hex_field_text.h"
#include "frontend/interrupt_flag.h"
#include "image/ic_types.h"
#include "production/result_text.h"
#include "window/station_observer.h"

namespace bw::window {
namespace {

constexpr Rgb kIdleColour{128, 128, 128};
constexpr Rgb kPhaseColour{0, 0, 255};    // the main window's status colour
constexpr Rgb kUnplugColour{96, 96, 96};  // not a result of this run
constexpr std::string_view kWho = "binwright-gui: ";
constexpr const char* kWhoText = "binwright-gui: ";

std::string Hex4(std::int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

std::string SerialText(std::optional<std::int32_t> number) {
    return number ? "SN " + ProductNumberText(*number) : std::string("SN -");
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Joined(const std::vector<int>& slots) {
    std::string text;
    for (const int slot : slots) text += (text.empty() ? "" : ", ") + std::to_string(slot);
    return text;
}

}  // namespace

std::string SlotTileTitle(const SlotTileState& tile) {
    const std::string slot = "Slot " + std::to_string(tile.slot);
    if (tile.port.empty()) return slot;
    return slot + (tile.port.starts_with("port") ? "   " : "   port ") + tile.port;
}

TileGrid TileGridFor(int slots) {
    constexpr int kFewSlots = 8;
    if (slots <= kFewSlots) return {};
    return {6, 150, 20};
}

StationWindowModel::StationWindowModel(HidPlatform& platform, GangStation& station,
                                       StationWindowView& view, OperationHost* waits)
    : platform_(platform),
      station_(station),
      view_(view),
      waits_(station.waits(waits)),
      stop_(waits_),
      observer_(std::make_unique<StationObserver>(*this, station)) {
    const station::GangSettings& settings = station_.settings();
    header_.image = {FileName(station_.imageFile()), station_.imageFile()};
    if (settings.imageIdentity) {
        const std::string hex = settings.imageIdentity->sha256Hex();
        header_.sha256 = {hex.substr(0, 12), hex};
    }
    const IcType* type = IcTypeAt(settings.ic);
    header_.icType = type != nullptr ? std::string(type->rowText) : std::string();
    header_.vidPid = Hex4(settings.vid) + ":" + Hex4(settings.pid);
    ShowNextSerial();  // shows the header
    for (std::size_t i = 0; i < settings.ports.size(); ++i)
        EnsureTile(static_cast<int>(i) + 1).port = settings.ports[i];
    for (int slot = 1; slot <= settings.maxSlots; ++slot) EnsureTile(slot);
    for (const auto& [slot, tile] : tiles_) view_.SetTile(tile);
    totals_.status = "Not started";
    ShowTotals();
    view_.SetEvents(this);
}

StationWindowModel::~StationWindowModel() {
    view_.SetEvents(nullptr);
    if (thread_.joinable()) {
        stop_.request(StopRequest::Abort);
        thread_.join();
    }
    if (ticking_) view_.StopTicks();
}

int StationWindowModel::KnownSlots(const station::GangSettings& settings) {
    return std::max(static_cast<int>(settings.ports.size()), settings.maxSlots);
}

const SlotTileState* StationWindowModel::Tile(int slot) const {
    const auto it = tiles_.find(slot);
    return it == tiles_.end() ? nullptr : &it->second;
}

SlotTileState& StationWindowModel::EnsureTile(int slot) {
    const auto [it, added] = tiles_.try_emplace(slot);
    if (added) {
        it->second.slot = slot;
        it->second.text = "No mouse";
        it->second.colour = kIdleColour;
        it->second.serial = "SN -";
    }
    return it->second;
}

void StationWindowModel::ShowTile(int slot) {
    view_.SetTile(EnsureTile(slot));
}

void StationWindowModel::Post(std::function<void()> work) {
    view_.Post([alive = std::weak_ptr<int>(alive_), work = std::move(work)] {
        if (alive.lock()) work();
    });
}

void StationWindowModel::Start() {
    if (thread_.joinable()) return;
    SetStatus("Running");
    if (!ticking_) view_.StartTicks(kTickMs);
    ticking_ = true;
    thread_ = std::thread([this] { Work(); });
}

// The runner's thread: the ledger's start, the run, the held rows; each step's words and
// the end are posted to the window.
void StationWindowModel::Work() {
    std::ostringstream said;
    std::optional<int> code = station_.startNumbering(platform_, stop_, said);
    Post([this, text = said.str()] {
        Say(text);
        NumberingStarted();
    });
    said.str({});
    if (!code) {
        station::GangRunner runner(platform_, station_.settings(), station_.serials(), *observer_,
                                   waits_);
        observer_->attach(&runner);
        const station::GangSummary summary = runner.run(stop_);
        observer_->attach(nullptr);
        code = station_.finish(summary, stop_, said);
    }
    Post([this, code = *code, text = said.str()] { RunEnded(code, text); });
}

void StationWindowModel::SlotAssigned(int slot, const std::string& port) {
    EnsureTile(slot).port = port;
    ShowTile(slot);
}

void StationWindowModel::MousePlugged(int slot, Clock::time_point at) {
    SlotTileState& tile = EnsureTile(slot);
    busySince_[slot] = at;
    tile.text = "Settling";
    tile.colour = kPhaseColour;
    tile.large = false;
    tile.detail.clear();
    tile.progressDone = 0;
    tile.progressTotal = 0;
    tile.serial = SerialText(std::nullopt);
    tile.elapsedSeconds = 0.0;
    ShowTile(slot);
}

void StationWindowModel::ShowResult(int slot, const std::string& text, const Rgb& colour,
                                    const std::string& detail) {
    SlotTileState& tile = EnsureTile(slot);
    tile.text = text;
    tile.colour = colour;
    tile.large = true;
    tile.detail = detail;
}

void StationWindowModel::MouseHeld(int slot, std::int32_t number, const std::string& said) {
    // Not a result of this run: the totals leave it out, the tile says what to do.
    ShowResult(slot, "Unplug", kUnplugColour, "written before the restart");
    EnsureTile(slot).serial = SerialText(number);
    ShowTile(slot);
    Say(said);
}

void StationWindowModel::MouseStarted(int slot, std::optional<std::int32_t> number) {
    EnsureTile(slot).serial = SerialText(number);
    ShowTile(slot);
    // The number given is no longer the next one.
    ShowNextSerial();
}

void StationWindowModel::Phase(int slot, const std::string& label, int bytes) {
    SlotTileState& tile = EnsureTile(slot);
    tile.text = label;
    tile.colour = kPhaseColour;
    tile.large = false;
    tile.detail.clear();
    tile.progressDone = 0;
    tile.progressTotal = std::max(bytes, 0);
    ShowTile(slot);
}

void StationWindowModel::Progress(int slot, int done, int total) {
    SlotTileState& tile = EnsureTile(slot);
    if (total > 0) tile.progressTotal = total;
    tile.progressDone = done;
    ShowTile(slot);
}

void StationWindowModel::MouseFinished(const station::GangResult& r, const std::string& said) {
    busySince_.erase(r.slot);
    SlotTileState& tile = EnsureTile(r.slot);
    tile.elapsedSeconds = std::chrono::duration<double>(r.sincePlug).count();
    if (r.leftAlone) {
        // It holds a number written before: not written, not counted, to be unplugged.
        ShowResult(r.slot, "Unplug", kUnplugColour, r.text);
        tile.serial = SerialText(r.heldNumber);
        tile.progressDone = 0;  // only its record was read
        ShowTile(r.slot);
        Say(said);
        return;
    }
    const bool passed = r.outcome == Outcome::Pass;
    // The main window's colours for the outcome; one it would not show is a failure's red.
    const ResultView look = ViewOf(Operation::Write, r.outcome, station_.settings().ic);
    // Why it failed, as the main window says it under its result.
    std::string detail = passed ? std::string() : (r.reason.empty() ? r.text : r.reason.text);
    if (!r.notRecorded.empty())
        detail += (detail.empty() ? "" : "; ") + std::string("not recorded");
    ShowResult(r.slot, passed ? "Pass" : "Fail",
               look.place == ResultPlace::None ? kRed : look.colour, detail);
    if (closeAsked_) {
        ++miceAfterClose_;
        if (passed) ++passesAfterClose_;
    }
    // A mouse that passed in spite of the abort is not one it cut.
    if (passed) std::erase(abortedSlots_, r.slot);
    tile.serial = SerialText(r.writtenNumber);
    if (passed) tile.progressDone = tile.progressTotal;
    ShowTile(r.slot);
    ++mice_;
    if (passed) ++passes_;
    ShowTotals();
    ShowNextSerial();
    Say(said);
}

// Each line goes to stderr as well (the station's log when started by a service), under
// the program's name, and to the message list without it.
void StationWindowModel::Say(const std::string& lines) {
    std::istringstream in(lines);
    std::string shown;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        // What the station's shared code says carries the program's name already.
        const bool named = line.starts_with(kWho);
        std::fprintf(stderr, "%s%s\n", named ? "" : kWhoText, line.c_str());
        shown += (shown.empty() ? "" : "\n") + (named ? line.substr(kWho.size()) : line);
    }
    if (!shown.empty()) view_.AppendMessage(shown);
}

void StationWindowModel::NumberingStarted() {
    numberingDone_ = true;
    ShowNextSerial();
}

void StationWindowModel::RunEnded(int exitCode, const std::string& said) {
    if (thread_.joinable()) thread_.join();
    exitCode_ = signals_ != nullptr ? signals_->exitCode(exitCode) : exitCode;
    // The signals are still watched: one now closes the window at once.
    if (signals_ == nullptr && ticking_) {
        view_.StopTicks();
        ticking_ = false;
    }
    busySince_.clear();
    Say(said);
    if (closeAsked_) {
        ShowStopped();
    } else {
        SetStatus("Finished");
    }
    // After an operator's close the window stays with the results; a signal closes it.
    if (closeWhenEnded_) view_.Close();
}

std::string StationWindowModel::BusySlots() const {
    std::vector<int> slots;
    for (const auto& [slot, since] : busySince_) slots.push_back(slot);
    return Joined(slots);
}

void StationWindowModel::Finish(bool bySignal) {
    closeAsked_ = true;
    closeWhenEnded_ = closeWhenEnded_ || bySignal;
    stop_.request(StopRequest::Finish);
    if (!aborting_) SetStatus("Stopping: the mice in progress end");
}

void StationWindowModel::Abort(const std::string& status) {
    aborting_ = true;
    for (const auto& [slot, since] : busySince_) abortedSlots_.push_back(slot);
    stop_.request(StopRequest::Abort);
    SetStatus(status);
}

void StationWindowModel::ShowStopped() {
    const int aborted = static_cast<int>(abortedSlots_.size());
    std::string text =
        "Stopped: " + std::to_string(miceAfterClose_) +
        " mice in progress at the close ended: " + std::to_string(passesAfterClose_) + " passed, " +
        std::to_string(miceAfterClose_ - passesAfterClose_ - aborted) + " failed";
    if (aborted > 0) text += ", " + std::to_string(aborted) + " aborted";
    SetStatus(text);
    if (aborted == 0) return;
    Say(std::string("aborted: ") + (aborted == 1 ? "slot " : "slots ") + Joined(abortedSlots_) +
        ": those mice may be half written; write them again");
}

void StationWindowModel::WatchSignals(InterruptFlag& flag) {
    signals_ = &flag;
    if (!ticking_) view_.StartTicks(kTickMs);
    ticking_ = true;
}

void StationWindowModel::CheckSignals() {
    const StopRequest asked = signals_->request();
    if (asked == StopRequest::None) return;
    if (!thread_.joinable()) {
        // Nothing runs (any more): the signal closes the window at once.
        view_.StopTicks();
        ticking_ = false;
        closeWhenEnded_ = true;
        if (signals_->firstSignal() != 0) exitCode_ = signals_->exitCode(exitCode_);
        view_.Close();
        return;
    }
    // A second Ctrl-C, as on the command line: no question.
    if (asked == StopRequest::Abort && !aborting_) Abort("Aborting");
    if (!closeWhenEnded_) Finish(true);
}

void StationWindowModel::OnTick() {
    if (signals_ != nullptr) CheckSignals();
    ShowElapsed();
}

void StationWindowModel::ShowTotals() {
    totals_.mice = mice_;
    totals_.passes = passes_;
    totals_.fails = mice_ - passes_;
    if (mice_ == 0) {
        totals_.yield = "-";
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f %%", 100.0 * passes_ / mice_);
        totals_.yield = text;
    }
    view_.SetTotals(totals_);
}

void StationWindowModel::SetStatus(const std::string& status) {
    totals_.status = status;
    view_.SetTotals(totals_);
}

void StationWindowModel::ShowNextSerial() {
    const station::GangSettings& settings = station_.settings();
    if (!(settings.ic == 0 && settings.params.writeId)) {
        header_.nextSerial = {"- (no factory record)", {}};
    } else if (station_.fromLedger() && !numberingDone_) {
        // The ledger's own connection is the runner thread's until its start is done.
        header_.nextSerial = {"...", {}};
    } else if (const std::optional<std::int32_t> next = station_.nextNumber()) {
        header_.nextSerial = {ProductNumberText(*next),
                              station_.fromLedger() ? "From the ledger" : "Counting on from --sn"};
    }
    view_.SetHeader(header_);
}

void StationWindowModel::ShowElapsed() {
    const Clock::time_point now = Clock::now();
    for (const auto& [slot, since] : busySince_) {
        EnsureTile(slot).elapsedSeconds = std::chrono::duration<double>(now - since).count();
        ShowTile(slot);
    }
}

bool StationWindowModel::OnCloseQuery() {
    if (!thread_.joinable()) return true;
    // The first close lets the writes in progress end.
    if (!closeAsked_) {
        Finish(false);
        return false;
    }
    // Another one would cut them: asked first, naming the mice it would leave half written.
    const std::string busy = BusySlots();
    if (aborting_ || busy.empty()) return false;
    const std::string which = (busySince_.size() == 1 ? "slot " : "slots ") + busy;
    if (!view_.AskQuestion("Abort the writes in progress now? The mice in " + which +
                           " would be left half written in their sockets and must be written "
                           "again.")) {
        return false;
    }
    Abort("Aborting: " + which);
    return false;
}

}  // namespace bw::window
