#pragma once
// Device polling: the presence decision made from interface counts, and the poll
// tick that the window's timer and the command line's automatic mode both run.

#include <array>
#include <cstdint>

#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "production/station_state.h"

namespace bw {

struct CountPair {
    std::int32_t first = 0;
    std::int32_t second = 0;
};
using CountSamples = std::array<CountPair, 5>;

enum class PresenceChange { None, Unstable, Removed, Arrived };

struct PresenceDecision {
    PresenceChange change = PresenceChange::None;
    std::int32_t current = 0;  // the first count of the fifth pair
};

// Five pairs of two counts taken in direct succession.
CountSamples SampleInterfaceCounts(Link& link);

// Unchanged count: None. Changed, but fewer than 2 stable pairs: Unstable (not accepted).
PresenceDecision DecidePresence(const CountSamples& samples, std::int32_t lastDeviceCount);

// Opens the target of an IC type as a poll tick does: release 0x0104 with the report-4
// open for index 0, 0x0100 with the report-0x40 open for 1 and 2. False for any other index.
bool OpenTarget(MouseSession& state, int icIndex, std::int32_t vid, std::int32_t pid);

// Product number after a passed write: the next value. It may grow past the record's 24 bits
// (FFFFFF + 1 is 1000000); a write refuses such a number rather than store it cut short.
std::int32_t NextProductNumber(std::int32_t current);

// What the front end does at each step of a tick. The reads may throw (a field whose text
// is not a number); the tick then ends, its guard released.
class PollTickHooks {
  public:
    virtual ~PollTickHooks() = default;
    virtual int icTypeIndex() = 0;
    virtual std::int32_t vid() = 0;
    virtual std::int32_t pid() = 0;
    virtual std::int32_t settleMs() = 0;
    virtual bool lastResultWasWritePass() = 0;
    virtual void advanceProductNumber() = 0;
    virtual void deviceRemoved() = 0;  // after the handles have been forgotten
    virtual void deviceFound() = 0;    // the target was opened; may run the write
    // The target opened is the mouse written last, still plugged in (another device came):
    // nothing is written and the product number stays.
    virtual void writtenMouseFound() {}
};

// One poll tick: the station keeps the count, the busy guard and the mouse written last, the
// session opens the target. Returns the decision it acted on (None when it was busy).
PresenceDecision RunPollTick(StationState& station, MouseSession& state, PollTickHooks& hooks,
                             OperationHost& host);

}  // namespace bw
