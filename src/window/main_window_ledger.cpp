// The main window on the production ledger (--ledger): the rows of its operations, the
// product numbers of writes with the factory record, and the number field following them.

#include <cstdio>
#include <stdexcept>

#include "production/conversion_error.h"
#include "window/main_window_model.h"

namespace bw::window {

void MainWindowModel::UseLedger(ledger::StationLedger* station) {
    ledger_ = station;
    // Numbers come from the ledger: typing one would only mislead.
    Set(Control::edt_FactoryNum, {.readOnly = station != nullptr});
    if (station == nullptr) return;
    Set(Control::edt_FactoryNum,
        {.toolTip = "The next number the ledger gives (station " + station->station() + ")"});
    ShowNextNumber();
}

void MainWindowModel::ShowNextNumber() {
    if (ledger_ == nullptr) return;
    try {
        const std::optional<std::int32_t> next =
            ledger_->ledger().nextNumber(view_.GetValue(Control::edt_FactoryType));
        if (next) {
            view_.SetValue(Control::edt_FactoryNum, *next);
        } else {
            SetText(Control::edt_FactoryNum, "");
        }
    } catch (const ledger::LedgerError&) {
        // The field keeps what it showed; the next write says what is wrong.
    } catch (const ConversionError&) {
    }
}

std::int32_t MainWindowModel::TakeLedgerNumber(int icIndex, std::int32_t productType) {
    if (ledger_->holding() && !ledger_->flush()) {
        throw std::runtime_error(ledger_->problem() + "; nothing was written to the mouse");
    }
    try {
        if (!ledgerRecovered_) {
            // What a stop of this station left: the mouse at hand may hold a number sent.
            ledger::OperationFacts target;
            target.op = Operation::Write;
            target.ic = icIndex;
            target.vid = openedVid_;
            target.pid = openedPid_;
            target.imageFile = BinFilePath;
            target.image = station.LoadedImageIdentity;
            const auto lines =
                ledger_->recover(ledger::MouseAtHandProof(*ledger_, state, target, *this));
            ledgerRecovered_ = true;
            if (!lines.empty()) {
                std::string text;
                for (const std::string& line : lines) {
                    std::fprintf(stderr, "binwright-gui: ledger: %s\n", line.c_str());
                    if (!text.empty()) text += '\n';
                    text += line;
                }
                view_.ShowMessage(text);
            }
        }
        const std::int32_t number = ledger_->reserve(productType);
        view_.SetValue(Control::edt_FactoryNum, number);
        state.RecordGate = ledger_;
        return number;
    } catch (const ledger::LedgerError& e) {
        throw std::runtime_error(std::string(e.what()) + "; nothing was written to the mouse");
    }
}

std::string MainWindowModel::RecordInLedger(Operation op, Outcome outcome, int icIndex,
                                            const std::optional<FactoryFields>& factory,
                                            std::optional<std::int32_t> productNumber,
                                            const OperationTiming& timing) {
    state.RecordGate = nullptr;
    if (ledger_ == nullptr || outcome == Outcome::Skipped) return {};
    ledger::OperationFacts facts;
    facts.op = op;
    facts.outcome = outcome;
    facts.ic = icIndex;
    facts.vid = openedVid_;
    facts.pid = openedPid_;
    facts.devicePath = state.link.OpenedPath;
    if (op == Operation::Write || op == Operation::Verify) {
        facts.imageFile = BinFilePath;
        facts.image = station.LoadedImageIdentity;
    }
    facts.factory = factory;
    facts.productNumber = productNumber;
    // What the window showed for it.
    facts.caption = ShownView(op, outcome, icIndex).text;
    facts.timing = timing;
    facts.reason = state.LastReason;
    const bool recorded = ledger_->finish(ledger_->row(facts));
    ShowNextNumber();
    if (recorded) return {};
    return "Done, but not recorded in the ledger: " + ledger_->problem() +
           (ledger_->holding() ? "; the result is kept until the ledger can take it" : "");
}

}  // namespace bw::window
