#pragma once
// What an operation ended with. The window turns it into a caption and colour,
// the command line into printed text and an exit code (production/result_text.h).

namespace bw {

enum class MatchOutcome {
    MatchNoAnswer,
    MatchWrongDevice,
    MatchBadStatus,
    MatchBit2Clear,
    MatchReady
};

enum class Operation { Write, Verify, Save, ReadFactory };

enum class Outcome {
    Pass,
    Fail,
    NoAnswer,       // first IC type: command 1 or 3 not acknowledged (nothing shown)
    BadStatus,      // first IC type: status byte 1 not 0xAA (nothing shown)
    MismatchMouse,  // "BIN file not match Mouse"
    Skipped,        // IC type index outside the table: the device was not touched
    Aborted,        // stopped at a piece on request (a second Ctrl-C); the exchange was closed
};

}  // namespace bw
