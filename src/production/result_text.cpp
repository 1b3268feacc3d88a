#include "production/result_text.h"

#include "production/lang.h"

namespace bw {

namespace {

constexpr int kWritePointSize = 36;

ResultView Shown(std::uint8_t captionIndex, Rgb colour, int pointSize = 0) {
    const std::string text(GetCaption(captionIndex));
    return {ResultPlace::CtrlResult, text, colour, pointSize, text};
}

ResultView MismatchMouse() {
    return {
        ResultPlace::BinDevError, std::string(GetCaption(caption::BinNotMatchMouse)), kRed, 0, {}};
}

ResultView WriteView(Outcome outcome, int icIndex) {
    const bool firstType = icIndex == 0;
    switch (outcome) {
        case Outcome::Pass:
            return firstType ? Shown(caption::WritePass, kLime, kWritePointSize)
                             : Shown(caption::WritePass, kGreen);
        case Outcome::Fail:
            return Shown(caption::WriteFail, kRed, firstType ? kWritePointSize : 0);
        case Outcome::MismatchMouse:
            return MismatchMouse();
        default:
            return {};
    }
}

ResultView VerifyView(Outcome outcome) {
    switch (outcome) {
        case Outcome::Pass:
            return Shown(caption::VerifyPass, kGreen);
        case Outcome::Fail:
            return Shown(caption::VerifyFail, kRed);
        case Outcome::MismatchMouse:
            return MismatchMouse();
        default:
            return {};
    }
}

// No file is written unless the read passed, so every other end says so.
ResultView SaveView(Outcome outcome) {
    switch (outcome) {
        case Outcome::Pass:
            return Shown(caption::SavePass, kGreen);
        case Outcome::MismatchMouse:
            return MismatchMouse();
        case Outcome::Skipped:
        case Outcome::Aborted:
            return {};
        default:
            return Shown(caption::SaveFail, kRed);
    }
}

ResultView ReadFactoryView(Outcome outcome) {
    if (outcome == Outcome::Pass) return {ResultPlace::CtrlResult, "Read Ok", kGreen, 0, "Read Ok"};
    if (outcome == Outcome::Aborted) return {};
    return {ResultPlace::CtrlResult, "Read Fail", kRed, 0, "Read Fail"};
}

}  // namespace

ResultView ViewOf(Operation op, Outcome outcome, int icIndex) {
    switch (op) {
        case Operation::Write:
            return WriteView(outcome, icIndex);
        case Operation::Verify:
            return VerifyView(outcome);
        case Operation::Save:
            return SaveView(outcome);
        case Operation::ReadFactory:
            return ReadFactoryView(outcome);
    }
    return {};
}

ResultView ShownView(Operation op, Outcome outcome, int icIndex) {
    ResultView view = ViewOf(op, outcome, icIndex);
    if (outcome == Outcome::Pass) return view;
    const ResultView failure = ViewOf(op, Outcome::Fail, icIndex);
    if (view.place != ResultPlace::BinDevError) return failure;
    // "BIN file not match Mouse" shows; the result label takes the failure all the same.
    view.caption = failure.caption;
    view.colour = failure.colour;
    view.pointSize = failure.pointSize;
    return view;
}

int ExitCodeOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Pass:
            return exitcode::Pass;
        case Outcome::Fail:
            return exitcode::Fail;
        case Outcome::NoAnswer:
        case Outcome::BadStatus:
            return exitcode::NoAnswer;
        case Outcome::MismatchMouse:
            return exitcode::Mismatch;
        case Outcome::Skipped:
        case Outcome::Aborted:
            return exitcode::Fail;
    }
    return exitcode::Fail;
}

}  // namespace bw
