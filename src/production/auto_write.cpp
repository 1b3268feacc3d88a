#include "production/auto_write.h"

#include <memory>
#include <optional>
#include <utility>

#include "image/factory_record.h"
#include "image/operation_scope.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "production/lang.h"
#include "production/result_text.h"

namespace bw {

AutoWriteHooks::AutoWriteHooks(StationState& station, MouseSession& state,
                               const AutoWriteSettings& settings, OperationHost& host,
                               ResultSink onResult)
    : station_(station),
      state_(state),
      settings_(settings),
      host_(host),
      onResult_(std::move(onResult)) {}

bool AutoWriteHooks::RecordWatch::recordMayGo(const FactoryFields& fields) {
    if (inner != nullptr && !inner->recordMayGo(fields)) return false;
    went = true;
    return true;
}

std::string AutoWriteHooks::RecordWatch::whyHeld() const {
    return inner != nullptr ? inner->whyHeld() : std::string();
}

bool AutoWriteHooks::lastResultWasWritePass() {
    return shownResult_ == GetCaption(caption::WritePass) || numberUsed_;
}

void AutoWriteHooks::advanceProductNumber() {
    settings_.factory.number = NextProductNumber(settings_.factory.number);
    numberUsed_ = false;  // once per mouse that used it
}

void AutoWriteHooks::reportLeftAlone(const MouseNumber& given, const OperationTiming& timing) {
    MouseResult result;
    result.timing = timing;
    result.outcome = Outcome::Fail;
    result.leftAlone = true;
    result.text = *given.leftAlone;
    result.factory = settings_.factory;
    result.factory.number = given.heldNumber;
    result.sinceArrival = std::chrono::steady_clock::now() - tickStart_;
    result.passCount = station_.PassCount;
    result.reason = given.reason;
    result.path = state_.link.OpenedPath;
    // Handled: not examined again while it stays plugged in.
    station_.rememberWritten(state_.link);
    ++leftAlone_;
    if (onResult_) onResult_(result);
}

void AutoWriteHooks::deviceFound() {
    if (!station_.ImageLoaded || !refusal_.empty()) return;
    // After a stop request no further mouse starts.
    if (StopAsked(host_)) return;
    // The read a number source makes of the mouse and the write are one operation for the
    // platform (the simulated line pulls a written mouse out at the end of one).
    std::unique_ptr<OperationScope> scope;
    if (numbers_) {
        scope = std::make_unique<OperationScope>(state_.link);
        const OperationTiming examined;
        const MouseNumber given = numbers_(&refusal_);
        if (given.leftAlone) return reportLeftAlone(given, examined);
        if (!given.number) {
            if (refusal_.empty()) refusal_ = "no product number for this mouse";
            return;
        }
        settings_.factory.number = *given.number;
    }
    refusal_ = WriteParamsProblem(settings_.ic, settings_.params, settings_.factory);
    if (!refusal_.empty()) return;

    MouseResult result;
    result.factory = settings_.factory;
    // The field's number is used once the record goes out: a failed mouse may hold it.
    watch_.inner = state_.RecordGate;
    watch_.went = false;
    state_.RecordGate = &watch_;
    result.outcome = WriteImage(state_, settings_.ic, settings_.params, settings_.factory, host_);
    state_.RecordGate = watch_.inner;
    scope.reset();
    result.recordWentOut = watch_.went;
    numberUsed_ = !numbers_ && watch_.went;
    station_.countPass(result.outcome);
    station_.rememberWritten(state_.link);
    result.writtenNumber = WrittenProductNumber(state_, settings_.factory);
    result.sinceArrival = std::chrono::steady_clock::now() - tickStart_;
    result.passCount = station_.PassCount;
    result.text = LogResultText(Operation::Write, result.outcome, settings_.ic);
    result.reason = state_.LastReason;
    result.attempts = state_.WriteAttempts;
    result.path = state_.link.OpenedPath;

    // As the window's result label: every end short of a pass replaces "Write Pass", so the
    // next mouse gets the number this one did not receive.
    shownResult_ = ShownView(Operation::Write, result.outcome, settings_.ic).caption;

    ++mice_;
    if (result.outcome == Outcome::Pass) ++passes_;
    if (onResult_) onResult_(result);
}

}  // namespace bw
