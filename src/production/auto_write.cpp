#include "production/auto_write.h"

#include <utility>

#include "image/factory_record.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "production/result_text.h"
#include "ui/lang.h"

namespace bw {

AutoWriteHooks::AutoWriteHooks(StationState& station, MouseSession& state,
                               const AutoWriteSettings& settings, OperationHost& host,
                               ResultSink onResult)
    : station_(station),
      state_(state),
      settings_(settings),
      host_(host),
      onResult_(std::move(onResult)) {}

bool AutoWriteHooks::lastResultWasWritePass() {
    return shownResult_ == GetCaption(caption::WritePass);
}

void AutoWriteHooks::advanceProductNumber() {
    settings_.factory.number = NextProductNumber(settings_.factory.number);
}

void AutoWriteHooks::deviceFound() {
    if (!station_.ImageLoaded || !refusal_.empty()) return;
    // After a stop request no further mouse starts.
    if (StopAsked(host_)) return;
    if (numbers_) {
        const std::optional<std::int32_t> number = numbers_(&refusal_);
        if (!number) {
            if (refusal_.empty()) refusal_ = "no product number for this mouse";
            return;
        }
        settings_.factory.number = *number;
    }
    refusal_ = WriteParamsProblem(settings_.ic, settings_.params, settings_.factory);
    if (!refusal_.empty()) return;

    MouseResult result;
    result.factory = settings_.factory;
    result.outcome = WriteImage(state_, settings_.ic, settings_.params, settings_.factory, host_);
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
