#pragma once
// `--json`: one JSON object per line on stdout for each operation (each mouse in `run`,
// then the run's totals). Field names are a public interface: only ever added.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_identity.h"
#include "image/outcome.h"
#include "image/reason.h"
#include "image/write_params.h"

namespace bw {

// What one operation's line holds.
struct OperationReport {
    Operation op = Operation::Write;
    std::optional<std::string> result;  // the caption or text shown; none when nothing was
    Reason reason;                      // empty after a pass
    int exitCode = 0;
    int ic = 0;
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::string path;       // the device interface opened; empty: none
    std::string imageName;  // the BIN file's name, for write, verify and run; empty: none
    std::optional<ImageIdentity> image;
    std::optional<std::int32_t> productNumber;  // the number the factory record received
    int attempts = 0;                           // write attempts; 1 for an operation that ran
    std::int64_t durationMs = 0;
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    std::optional<FactoryFields> factory;  // read-factory: the record read
    std::string savedFile;                 // save: the file written
    std::optional<int> slot;               // run --gang: the mouse's slot, and its port
    std::string port;
};

// run --gang: what one slot wrote.
struct SlotCount {
    int slot = 0;
    std::string port;
    int mice = 0;
    int passed = 0;
    int alreadyWritten = 0;
};

struct RunTotals {
    int mice = 0;
    int passed = 0;
    int alreadyWritten = 0;  // mice left alone: they hold a number written before
    int exitCode = 0;
    std::int64_t durationMs = 0;
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    // run --gang: every slot, by number (not `slots`: a Qt macro in the window)
    std::optional<std::vector<SlotCount>> perSlot;
};

// "2026-05-27T12:02:07.123Z"
std::string UtcIsoTime(std::chrono::system_clock::time_point when);

// One line each, without the newline.
std::string OperationJson(const OperationReport& report);
std::string TotalsJson(const RunTotals& totals);

}  // namespace bw
