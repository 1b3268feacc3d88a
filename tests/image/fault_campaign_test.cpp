#include "support/fault_campaign.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>

namespace bw::test {
namespace {

std::string Failures(const CampaignSummary& summary) {
    std::string text;
    for (const std::string& f : summary.failures) text += f + "\n";
    return text;
}

TEST(FaultCampaign, NoScenarioBreaksAnInvariant) {
    const CampaignSummary summary = RunCampaign(1, 300);
    std::cout << "scenarios=" << summary.scenarios << " broken=" << summary.broken
              << " passes=" << summary.passes << " replugged=" << summary.replugged << "\n";
    EXPECT_EQ(summary.scenarios, 300);
    EXPECT_GT(summary.replugged, 0);
    EXPECT_EQ(summary.broken, 0) << Failures(summary);
    // The faults must leave room for passes, or the invariants are never put to the test.
    EXPECT_GT(summary.passes, 60);
    EXPECT_LT(summary.passes, 270);
}

TEST(FaultCampaign, ScenariosAreReproducibleFromTheirSeed) {
    for (std::uint64_t seed : {3u, 77u, 1234u}) {
        const CampaignScenario a = MakeScenario(seed);
        EXPECT_EQ(Describe(a), Describe(MakeScenario(seed)));
        const CampaignRun first = RunScenario(a);
        const CampaignRun second = RunScenario(a);
        EXPECT_EQ(first.outcome, second.outcome) << Describe(a);
        EXPECT_EQ(first.transfers, second.transfers) << Describe(a);
    }
}

// Each fault kind on its own still gives a sound verdict on both protocols.
TEST(FaultCampaign, SingleFaultsOnEveryOperation) {
    int runs = 0;
    for (int ic : {0, 1}) {
        for (Operation op :
             {Operation::Write, Operation::Verify, Operation::Save, Operation::ReadFactory}) {
            for (int fault = 0; fault < 6; ++fault) {
                CampaignScenario c;
                c.seed = static_cast<std::uint64_t>(1000 + runs);
                c.ic = ic;
                c.op = op;
                c.memoryKind = 1;
                c.params.writeId = true;
                switch (fault) {
                    case 0:
                        c.silentFrom = 200;
                        break;
                    case 1:
                        c.unplugAt = 300;
                        break;
                    case 2:
                        c.losePiece = 5;
                        break;
                    case 3:
                        c.failPerMille = 5;
                        break;
                    case 4:
                        c.ackAfter = 6;
                        break;
                    default:
                        c.chip = 0x36;
                        break;
                }
                const CampaignRun run = RunScenario(c);
                EXPECT_TRUE(run.broken.empty()) << Describe(c) << ": " << run.broken;
                ++runs;
            }
        }
    }
}

// A numbering station whose ledger falls silent as the stop request comes: whichever the
// request, the mouse in progress ends, its row goes to the spool and on to the ledger at
// the next start.
TEST(FaultCampaign, ARunWhoseLedgerFreezesAtTheSignal) {
    const std::vector<std::vector<int>> requests = {{SIGINT}, {SIGTERM}, {SIGINT, SIGINT}};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        CampaignScenario c;
        c.seed = 2000 + i;
        c.runMice = 2;
        c.params.format = DataFormat::Block256;
        c.params.blocks = 1;
        c.params.writeId = true;
        c.signalPiece = 40 + 30 * static_cast<int>(i);  // in the first mouse or the second
        c.stopSignals = requests[i];
        c.ledger = c.ledgerFrozen = true;
        const CampaignRun run = RunScenario(c);
        EXPECT_TRUE(run.signalled) << Describe(c);
        EXPECT_TRUE(run.broken.empty()) << Describe(c) << ": " << run.broken;
    }
}

TEST(FaultCampaign, WithoutFaultsEveryOperationPasses) {
    for (int ic : {0, 2}) {
        for (Operation op : {Operation::Write, Operation::Verify, Operation::Save}) {
            CampaignScenario c;
            c.seed = 42;
            c.ic = ic;
            c.op = op;
            c.memoryKind = 1;
            EXPECT_EQ(RunScenario(c).outcome, Outcome::Pass) << Describe(c);
        }
    }
}

}  // namespace
}  // namespace bw::test
