#pragma once
// Seeded random fault scenarios against the simulated mouse: one operation per
// scenario (write, verify, save, factory read-back) on either protocol, or a run of
// the automatic mode (`run`) over a line of mice with Ctrl-C or SIGTERM at a random
// piece, on a virtual clock, then checked against what must hold whatever the faults were:
//   - a write passes only when the written range of the memory equals the image (the whole
//     memory in 2K format, whatever the block count; bytes 160..171 the factory record,
//     when it was written), also with a byte that never changes when written;
//   - a write with a block count outside 1..8, no retry, or a product number past 24 bits
//     (with the record) is refused (bad-parameters) before the first transfer;
//   - a verify passes only when the memory equals the image (the record left out
//     on the first IC type);
//   - a save keeps a file only on a pass, and that file equals the memory;
//   - a factory read passes only when the record read equals memory bytes 160..171;
//   - every operation ends, with the loading window hidden again;
//   - a run ends with 130 or 143 after a signal, having finished and logged the mouse in
//     progress and started no other; a mouse it reports as passed holds the image; a
//     second Ctrl-C ends that mouse as Aborted;
//   - a run with a ledger (SQLite), also one that another program holds locked from the
//     signal's piece on (a silent ledger: the signal meets a station waiting for it): once
//     the next start handed over what the station's spool kept, the ledger holds one row
//     per mouse reported, each passing mouse's number written, nothing dangling, and the
//     station's lease is gone unless the lock kept it from being given up.
//   - with a ledger, a passed mouse plugged in again is left alone ("Already written",
//     exit code 7, its memory untouched) or rewritten with the number it holds, and
//     `ledger check` finds nothing.
// Qt-free: the test and the benchmark share it.

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "sim/sim_platform.h"

namespace bw::test {

struct CampaignScenario {
    std::uint64_t seed = 0;
    int ic = 0;
    bool split = false;
    Operation op = Operation::Write;
    WriteParams params;
    FactoryFields factory;

    // Memory before the operation: 0 all 0xFF, 1 the image, 2 the image with a few
    // bytes changed, 3 random.
    int memoryKind = 0;

    // Status reply of the first IC type.
    std::uint8_t status1 = 0xAA;
    std::uint8_t status2 = 0x04;
    std::uint8_t chip = 0x35;

    // Faults; -1 / 0 means off.
    int nackCommand = -1;  // this report-4 command is never acknowledged
    int ackAfter = 1;      // acknowledgement on the K-th poll (above 5: never)
    int losePiece = 0;     // 1-based piece of every block read that is lost
    int silentFrom = -1;   // from this transfer on, report-4 replies carry no acknowledgement
    int unplugAt = -1;     // the mouse is pulled out before this transfer
    int failPerMille = 0;  // chance of each transfer failing (not reaching the mouse)
    int shortReply = 0;    // every N-th get-feature moves only the report ID
    int arrivalAt = -1;    // an unrelated HID device arrives before this transfer
    int stuckByte = -1;    // this memory address keeps its byte when written

    // Automatic mode: `run` over a line of runMice mice (0: a single operation instead),
    // with `stopSignals` raised back to back before piece signalPiece of the run (counted over
    // every block; 0: none). Only the faults the line's scenario keys know apply.
    int runMice = 0;
    int signalPiece = 0;
    std::vector<int> stopSignals;
    // The run records into a SQLite ledger of its own (numbers from it with the record);
    // ledgerFrozen: another connection takes its write lock at signalPiece and holds it.
    bool ledger = false;
    bool ledgerFrozen = false;
    // The run keeps its numbers in a ledger of its own (else --no-ledger); the first mouse
    // that passed is then plugged in again: left alone, or written again with its number
    // (rewrite), and the ledger stays sound.
    bool replug = false;
    bool rewrite = false;
};

struct CampaignRun {
    Outcome outcome = Outcome::Skipped;
    long transfers = 0;
    bool signalled = false;  // a run scenario's signals were raised
    bool replugged = false;  // a passed mouse of the run was plugged in again
    std::string broken;      // empty: every invariant held
};

struct CampaignSummary {
    int scenarios = 0;
    int broken = 0;
    int passes = 0;
    long transfers = 0;
    int runs = 0;                       // automatic-mode scenarios
    int signalled = 0;                  // of which a signal stopped
    int replugged = 0;                  // of which a passed mouse came back
    std::vector<std::string> failures;  // the first few broken scenarios, described
};

// Passes transfers on to the simulated line and adds the faults the line itself does
// not model: a mouse pulled out at a given transfer, a device that stops answering,
// and transfers that fail at random without reaching the mouse.
class FaultPlatform : public HidPlatform {
  public:
    FaultPlatform(SimulatedPlatform& sim, const CampaignScenario& c, int mouseId);

    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error) override;
    int setFeature(HidHandle h, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle h, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle h) override;
    void beginOperation() override;
    void endOperation() override;

    // Called when the device of arrivalAt has been plugged (the window's tests let a poll
    // tick run then).
    std::function<void()> onArrival;

    // Sets the line's own faults; faults count from the first transfer after this
    // call (opening the mouse is not faulted).
    void arm();
    long transfers() const { return count_; }
    // True when the operation ran past any legitimate length (taken for a hang).
    bool exhausted() const;

  private:
    bool transfer();

    SimulatedPlatform& sim_;
    const CampaignScenario& c_;
    int mouseId_;
    std::mt19937_64 rng_;
    bool armed_ = false;
    long count_ = 0;
};

// The scenario of one seed; the same seed always gives the same scenario.
CampaignScenario MakeScenario(std::uint64_t seed);
// Runs one scenario on a fresh simulated line and checks the invariants.
CampaignRun RunScenario(const CampaignScenario& scenario);
// The automatic-mode scenarios (runMice > 0), through the command line in-process.
CampaignRun RunLineScenario(const CampaignScenario& scenario);
// The image the scenario loads, and the simulated line it starts from (IC type,
// layout, status replies, memory before the operation; no faults yet).
Image CampaignImage(const CampaignScenario& scenario);
Scenario CampaignLine(const CampaignScenario& scenario);
// Write parameters no mouse can be written with: a block count outside 1..8, no retry, or
// (with the record on the first IC type) a product number outside 24 bits.
bool RefusedParameters(const CampaignScenario& scenario);
// What must hold after the operation ended with `outcome`, given the controller state, the
// mouse's memory and the transfers the operation made; empty when it all does.
std::string CheckInvariants(const CampaignScenario& scenario, const MouseSession& state,
                            const Image& memory, Outcome outcome, long transfers = 0);
// Seeds first .. first + count - 1.
CampaignSummary RunCampaign(std::uint64_t first, int count);
// One line for a report: operation, IC type, parameters and faults.
std::string Describe(const CampaignScenario& scenario);

}  // namespace bw::test
