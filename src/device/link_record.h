#pragma once
// What went wrong on the link during one operation, kept where it is known: the link
// counts transfers and failed ones, the report protocols add which command or piece it
// was. The image operations turn the last fault into the reason an operation failed.

#include <cstdint>

namespace bw {

enum class LinkFaultKind {
    None,
    NoHandle,         // no interface was open for the report
    FailedTransfer,   // the platform moved nothing (-1)
    ShortReply,       // a get moved some bytes, not the whole report
    NotAcknowledged,  // report 4: transfers went through, no 0xCC came in all sends
    Unreachable,      // report 4: not one transfer of the exchange went through
};

struct LinkFault {
    LinkFaultKind kind = LinkFaultKind::None;
    int report = 0;     // report ID of the frame: 0x04, 0x40 or 0x41
    int command = -1;   // command byte of the frame; -1: a data piece of report 0x41
    int sends = 0;      // report 4: how often the frame went out
    int piece = 0;      // 1-based piece of the block transfer; 0: the block's command
    int address = -1;   // device address of that piece (or of the block); -1: none
    long transfer = 0;  // the transfer it happened at, 1-based within the operation
};

struct LinkRecord {
    long transfers = 0;       // transfers tried since the operation began
    long failedRun = 0;       // transfers that failed in a row, up to the last one
    long failedRunStart = 0;  // the first of them (1-based); 0 while none failed
    int lostPieces = 0;       // pieces of block reads that did not arrive
    LinkFault lastFault;      // the latest fault; a later success does not clear it
};

}  // namespace bw
