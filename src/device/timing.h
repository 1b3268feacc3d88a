#pragma once
// Waits that do not depend on a window system.

#include <cstdint>

namespace bw {

// Busy-waits on the steady clock for at least `microseconds`; 0 or less returns at once.
void DelayMicroseconds(std::int32_t microseconds);

// Sleeps `ms` milliseconds with sub-millisecond precision: the thread sleeps for
// most of the time and spins the last fraction, so many short pauses add up to
// their nominal sum.
void PreciseSleepMs(int ms);
// The same for `us` microseconds.
void PreciseSleepUs(std::int64_t us);

}  // namespace bw
