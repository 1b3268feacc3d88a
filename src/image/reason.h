#pragma once
// Why an operation did not pass: a stable code for scripts, logs and the ledger, a short
// text with the facts for the operator, and the same facts as named values. An outcome
// says what happened; a reason adds why, it never replaces the outcome.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "device/link_record.h"

namespace bw {

enum class ReasonCode {
    None,             // passed
    NoAnswer,         // a command was not acknowledged (which, after how many sends)
    BadStatus,        // status byte 1 is not 0xAA
    WrongChip,        // the chip code read is none of the known ones
    ImageType,        // the image was loaded for another IC type, or none is loaded
    StatusBit2Clear,  // status byte 2 has bit 2 clear
    WriteRefused,     // a block's command, a piece or the factory record was refused
    PieceLost,        // a piece of a read never arrived
    Mismatch,         // what was read differs from the image
    ShortReply,       // a reply came back short
    Removed,          // the mouse stopped taking transfers (pulled out)
    NoTarget,         // no mouse is open
    Interrupted,      // a signal stopped it: at a piece, or before a further attempt
    BadParameters,    // refused before the mouse was touched (block count, product number)
    NotSupported,     // the IC type has no such operation (factory record of types 1, 2)
    NoIcType,         // no IC type is selected
    SaveFailed,       // the memory was read, the file could not be written
    BadImage,         // the image file cannot be used
    NotApproved,      // the image is not the approved one
    RecordHeld,       // the station's ledger held the factory record back
    NoNumber,         // the ledger gave no product number (range used up, ledger away)
    AlreadyWritten,   // the mouse holds a number the ledger recorded as written: left alone
};

// "no-answer", "mismatch", ...; empty for None.
const char* ReasonCodeName(ReasonCode code);

struct ReasonDetail {
    std::string key;
    std::variant<std::int64_t, std::string> value;
};

struct Reason {
    ReasonCode code = ReasonCode::None;
    std::string text;  // "block 3 differs at 0x2A7 (wrote 5C, read FF), 12 bytes differ"
    std::vector<ReasonDetail> details;

    bool empty() const { return code == ReasonCode::None; }
    std::string codeName() const { return ReasonCodeName(code); }
    // The value of a detail; 0 / empty when the reason has none of that name.
    std::int64_t number(const std::string& key) const;
};

Reason MakeReason(ReasonCode code, std::string text, std::vector<ReasonDetail> details = {});

// Why a transfer step failed, from the link's record. write: the step wrote (a refused
// piece is write-refused, not piece-lost); attempts: the write attempts made so far.
Reason ReasonOfLinkFault(const LinkRecord& record, bool write, int attempts = 0);

// The first difference of expected and read over [from, to), device addresses; the factory
// record at 160..171 is left out when skipRecord is set. None when they are equal.
// expectedWord: "wrote" for a read-back, "expected" for a verify.
Reason MismatchReason(const std::uint8_t* expected, const std::uint8_t* read, int from, int to,
                      bool skipRecord, const char* expectedWord);

// The factory record was kept from the mouse by its gate (the ledger could not mark its
// number as being sent); why: the gate's own words, may be empty.
Reason RecordHeldReason(const std::string& why);

// The ledger could not give the write its product number; nothing was written.
Reason NoNumberReason(const std::string& why);

// A stop request ended the operation: at a piece (aborted) or before a further attempt;
// the fault seen last, when there was one, is kept as the cause.
Reason InterruptedReason(bool aborted, int attempts, const Reason& cause);

}  // namespace bw
