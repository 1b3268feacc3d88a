#pragma once
// Automatic production without a window: the poll tick's hooks for a fixed set of write
// settings. Every target mouse that arrives is written; the product number advances after
// a pass as the window's field does, and also after a failed mouse whose factory record
// went out (it may hold the number). The command line's `run` and the benchmarks use it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/operation_host.h"
#include "image/factory_record_gate.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "production/operation_log.h"
#include "production/polling.h"
#include "production/station_state.h"

namespace bw {

// What the window's fields would hold during the run.
struct AutoWriteSettings {
    int ic = 0;
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    WriteParams params;     // params.sleep is also the settle wait
    FactoryFields factory;  // factory.number is advanced after each pass
};

// One written mouse.
struct MouseResult {
    Outcome outcome = Outcome::Fail;
    std::string text;                           // the result as shown, or what a quiet end means
    FactoryFields factory;                      // the fields the write used
    std::optional<std::int32_t> writtenNumber;  // the product number the record received
    std::int32_t passCount = 0;                 // PassCount after the write
    OperationTiming timing;                     // started just before the write
    std::chrono::steady_clock::duration sinceArrival{};  // from the start of the tick
    Reason reason;                                       // why it did not pass
    std::int32_t attempts = 0;                           // image write attempts
    std::string path;                                    // the interface written
    bool recordWentOut = false;  // the factory record was sent (in part or whole)
    bool leftAlone = false;      // not written: the number source left the mouse alone
};

// What a number source says of the mouse at hand, before it is written.
struct MouseNumber {
    std::optional<std::int32_t> number;  // the number to write; none: refused or left alone
    // The mouse already holds a number it must not be given again: it is not written. The
    // result shown ("Already written (SN 1A)"), the number it holds and why.
    std::optional<std::string> leftAlone;
    std::int32_t heldNumber = 0;
    Reason reason;
};

class AutoWriteHooks : public PollTickHooks {
  public:
    using ResultSink = std::function<void(const MouseResult&)>;

    // station: the image loaded (ImageLoaded true) and the pass count; state: the session
    // that holds the image and writes each mouse.
    AutoWriteHooks(StationState& station, MouseSession& state, const AutoWriteSettings& settings,
                   OperationHost& host, ResultSink onResult);

    // Gives each mouse its product number instead of the advancing field (a ledger's):
    // asked once the mouse is open, before anything is written to it. No number and not
    // left alone, with the reason set, ends the run with that mouse untouched; a mouse left
    // alone is reported (MouseResult::leftAlone) and the run goes on.
    using NumberSource = std::function<MouseNumber(std::string* refusal)>;
    void takeNumbersFrom(NumberSource source) { numbers_ = std::move(source); }

    // Call before each RunPollTick: an arrival is timed from here.
    void startTick() { tickStart_ = std::chrono::steady_clock::now(); }

    // Why a mouse that arrived was not written and the run must end (a product number the
    // record cannot hold); empty while the run may go on.
    const std::string& refusal() const { return refusal_; }

    int mice() const { return mice_; }  // written (or tried)
    int passes() const { return passes_; }
    int leftAlone() const { return leftAlone_; }  // not written: the number source said so
    const AutoWriteSettings& settings() const { return settings_; }
    // The text the result label would hold now (empty before the first write).
    const std::string& shownResult() const { return shownResult_; }

    int icTypeIndex() override { return settings_.ic; }
    std::int32_t vid() override { return settings_.vid; }
    std::int32_t pid() override { return settings_.pid; }
    std::int32_t settleMs() override { return settings_.params.sleep; }
    // The number of the last mouse is used: the window's rule (its result shows "Write
    // Pass"), or its factory record went out, so the failed mouse may hold it.
    bool lastResultWasWritePass() override;
    void advanceProductNumber() override;
    void deviceRemoved() override {}
    void deviceFound() override;

  private:
    // Without a number source: notes that the record goes out (chained to any gate set).
    class RecordWatch : public FactoryRecordGate {
      public:
        bool recordMayGo(const FactoryFields& fields) override;
        std::string whyHeld() const override;
        FactoryRecordGate* inner = nullptr;
        bool went = false;
    };
    void reportLeftAlone(const MouseNumber& given, const OperationTiming& timing);

    StationState& station_;
    MouseSession& state_;
    AutoWriteSettings settings_;
    OperationHost& host_;
    ResultSink onResult_;
    NumberSource numbers_;
    std::chrono::steady_clock::time_point tickStart_ = std::chrono::steady_clock::now();
    std::string shownResult_;
    std::string refusal_;
    RecordWatch watch_;
    bool numberUsed_ = false;  // the last write's record went out
    int mice_ = 0;
    int passes_ = 0;
    int leftAlone_ = 0;
};

}  // namespace bw
