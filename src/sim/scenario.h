#pragma once
// The simulated line as one text: a comma-separated list of key=value, for
// example "ic=1,split=1,others=2". Empty text: one ready mouse of IC type 0.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "image/image_buffers.h"

namespace bw {

class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Faults of the simulated line; the platform applies changes at once.
struct Faults {
    int nack = -1;       // report-4 command that is never acknowledged; -1: none
    int ackAfter = 1;    // report-4 acknowledgement on the K-th poll after a set
    int losePiece = 0;   // 1-based data piece of every block read that is lost; 0: none
    int failAfter = -1;  // every transfer after this many fails; -1: never
    int latencyUs = 0;   // each transfer takes this long
    int stuckByte = -1;  // memory address whose byte never changes when written; -1: none
    int shortReply = 0;  // the N-th get-feature, and every N-th after it, moves 1 byte; 0: none
};

// A line of several ports, each with a mouse of its own at the same time (a gang station).
struct PortLine {
    int portCount = 0;   // ports; 0: the line of one port (mice=N in turn)
    int handlingMs = 0;  // from pulling a written mouse to plugging the next into its port
    int faultSlot = 0;   // the fault keys apply to the mice of this port only; 0: to all
};

struct Scenario {
    int ic = 0;
    // Identity overrides; unset: the IC type's identity.
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    std::optional<std::uint16_t> release;
    std::uint8_t chip = 0x35;
    std::uint8_t status1 = 0xAA;
    std::uint8_t status2 = 0x04;
    bool split = false;    // reports 0x40 and 0x41 on two interfaces
    bool pointer = false;  // an extra interface of the mouse without feature reports
    int others = 0;        // unrelated HID interfaces
    Faults faults;
    std::string memoryFile;       // empty: memory starts all 0xFF
    std::optional<Image> memory;  // contents of memoryFile, read by ParseScenario
    std::string dumpFile;         // empty: no dump
    int mice = 0;                 // 0: one mouse; N: automatic line of N mice in turn
    std::string lineDir;          // the automatic line kept in this folder (sim_line_folder.h)
    PortLine ports;               // slots=K: K ports; mice=N (default K) go to free ports
};

// Throws ScenarioError naming the bad key or value; reads the memory file.
Scenario ParseScenario(std::string_view text);

}  // namespace bw
