#include "ledger/shift.h"

#include <algorithm>
#include <random>
#include <vector>

#include "ledger/ledger_backends.h"

namespace bw::ledger::test {

int RecordShift(Ledger& ledger, const ShiftPlan& plan) {
    static const char* const kReasons[] = {"mismatch", "no-answer", "piece-lost", "wrong-chip",
                                           "removed"};
    std::mt19937 gen(plan.seed);
    std::uniform_int_distribution<int> jitter(-20, 20);
    std::discrete_distribution<int> reason({45, 25, 15, 10, 5});
    std::uniform_real_distribution<> chance(0, 1);
    const auto end = plan.start + std::chrono::hours{plan.hours};
    std::vector<std::chrono::system_clock::time_point> next;
    for (int s = 0; s < plan.stations; ++s)
        next.push_back(plan.start + std::chrono::minutes{3 * s});
    int cycles = 0;
    for (;;) {
        // The station whose mouse comes next, so numbers interleave as on a real line.
        const auto it = std::min_element(next.begin(), next.end());
        if (*it >= end) break;
        const int s = static_cast<int>(it - next.begin());
        const auto when = *it;
        const int hour = static_cast<int>(
            std::chrono::duration_cast<std::chrono::hours>(when - plan.start).count());
        const bool pass = chance(gen) >= (hour == plan.badHour ? 0.22 : 0.03 + 0.01 * s);
        const std::string station = "line-a-" + std::to_string(s + 1);
        const Reservation r = ledger.reserve(5, station);
        OperationRecord row = SampleRecord("write", pass);
        row.started = when;
        row.station = station;
        row.productNumber = row.factory->number = r.number;
        if (!pass) row.reason = kReasons[reason(gen)];
        ledger.markSending(r);
        if (pass) {
            ledger.commitWritten(r, row);
        } else {
            ledger.commitReleased(r, row);
        }
        ++cycles;
        // A line stop: the first station stands still for an hour after its third.
        const int pause = (s == 0 && hour == 3) ? 3600 : 0;
        *it += std::chrono::seconds{plan.secondsPerMouse + jitter(gen) + pause};
    }
    return cycles;
}

}  // namespace bw::ledger::test
