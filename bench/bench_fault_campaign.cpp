// Fault campaign: 10000 seeded scenarios against the simulated mouse on a virtual
// clock. Prints how many ran and how many broke an invariant; exits 1 on any broken.
// Usage: bench_fault_campaign [COUNT] [FIRST_SEED]

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "support/fault_campaign.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::uint64_t first = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;

    const auto start = std::chrono::steady_clock::now();
    const bw::test::CampaignSummary summary = bw::test::RunCampaign(first, count);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();

    std::cout << "scenarios=" << summary.scenarios << " broken=" << summary.broken << "\n";
    std::cout << "passes=" << summary.passes << " transfers=" << summary.transfers
              << " runs=" << summary.runs << " signalled_runs=" << summary.signalled
              << " wall_ms=" << ms << "\n";
    for (const std::string& f : summary.failures) std::cout << "  " << f << "\n";
    return summary.broken == 0 ? 0 : 1;
}
