#pragma once
// One running copy of each window. The main window and the gang station window are
// instances of their own, each found by its title. A start that finds its own window
// already open brings it to the front; then a second main window ends quietly, and a second
// gang station, which would fight the first for the mice, says so and ends with 2, so that
// no script reads "every mouse passed" from a station that never ran.

#include <string>

namespace bw::window {

inline constexpr char kMainWindowTitle[] = "MIRQ Mse Binwright v1.0";

// The title a start looks for: its own window's.
const char* RunningCopyTitle(bool ganged);

struct SecondStart {
    int exitCode = 0;
    std::string message;  // for stderr (or a box where there is no console); empty: none
};

// What a start does once it brought the running copy of its window to the front.
SecondStart SecondStartOutcome(bool ganged);

}  // namespace bw::window
