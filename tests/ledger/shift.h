#pragma once
// A simulated shift recorded through the ledger's own calls, for the read side's tests and
// the report's picture: stations write mice one after another, some cycles fail.

#include <chrono>

#include "ledger/ledger.h"

namespace bw::ledger::test {

struct ShiftPlan {
    int stations = 3;
    int hours = 8;
    int secondsPerMouse = 90;
    unsigned seed = 7;
    std::chrono::system_clock::time_point start;
    int badHour = 5;  // a batch of poor mice: the yield drops this hour
};

// Returns the number of cycles recorded.
int RecordShift(Ledger& ledger, const ShiftPlan& plan);

}  // namespace bw::ledger::test
