#pragma once
// What both report protocols' block routines share: the limits of the 16-bit address
// and length fields, the number of pieces a block travels in, and the window work
// done before every piece.

#include "device/link.h"
#include "device/operation_host.h"

namespace bw {

inline constexpr int kMaxBlockField = 0xFFFF;

inline bool ValidBlock(int address, int length) {
    return address >= 0 && address <= kMaxBlockField && length >= 0 && length <= kMaxBlockField;
}

// Whole pieces plus one short piece for the remainder.
inline int PieceCount(int length, int pieceSize) {
    return (length + pieceSize - 1) / pieceSize;
}

// Before every piece: the loading window, pending events and progress. False when an
// abort was asked for: the block stops here, between two pieces.
inline bool BeforePiece(OperationHost& host, int index, int count) {
    host.showLoading();
    host.processEvents();
    host.progress(index + 1, count);
    return !Aborting(host);
}

// Names the piece of a block transfer that the link's last fault happened to.
inline void AtPiece(Link& link, int address, int index, int pieceSize) {
    link.Record.lastFault.piece = index + 1;
    link.Record.lastFault.address = address + index * pieceSize;
}

// Names the block whose command the link's last fault happened to.
inline void AtBlock(Link& link, int address) {
    link.Record.lastFault.piece = 0;
    link.Record.lastFault.address = address;
}

}  // namespace bw
