#include "device/report40.h"

#include <algorithm>
#include <cstring>

#include "device/block_pieces.h"

namespace bw {

namespace {

constexpr std::uint8_t kCommandId = kReport40Id;
constexpr std::uint8_t kDataId = 0x41;
constexpr int kPieceSize = 7;
constexpr int kPieceWaitUs = 500;

// A frame that could not go out: no interface for it, or the transfer failed (the link
// noted that already). command -1: a data piece.
bool NotSent(Link& link, std::uint8_t report, int command, bool noHandle) {
    if (noHandle) {
        LinkFault fault;
        fault.kind = LinkFaultKind::NoHandle;
        link.NoteFault(fault);
    }
    link.Record.lastFault.report = report;
    link.Record.lastFault.command = command;
    link.Record.lastFault.sends = 1;
    return false;
}

}  // namespace

bool SendCommand40(Link& link, int command, int p1, int p2, int p3, int p4) {
    if (link.Report40Handle == kInvalidHandle) return NotSent(link, kCommandId, command, true);
    link.Report40Buffer = {kCommandId,
                           static_cast<std::uint8_t>(command),
                           static_cast<std::uint8_t>(p1),
                           static_cast<std::uint8_t>(p2),
                           static_cast<std::uint8_t>(p3),
                           static_cast<std::uint8_t>(p4),
                           0,
                           0};
    if (link.SetFeature40(link.Report40Handle, link.Report40Buffer)) return true;
    return NotSent(link, kCommandId, command, false);
}

bool FetchPiece41(Link& link, OperationHost& host) {
    link.Piece41.fill(0xFF);
    if (link.Report41Handle == kInvalidHandle) return NotSent(link, kDataId, -1, true);
    link.Report40Buffer = {kDataId, 0, 0, 0, 0, 0, 0, 0};
    if (!link.GetFeature40(link.Report41Handle, link.Report40Buffer)) {
        return NotSent(link, kDataId, -1, false);
    }
    std::copy(link.Report40Buffer.begin() + 1, link.Report40Buffer.end(), link.Piece41.begin());
    // The controller needs a moment before it has the next piece ready.
    host.delayUs(kPieceWaitUs);
    return true;
}

bool SendPiece41(Link& link, const std::uint8_t data[7]) {
    if (link.Report41Handle == kInvalidHandle) return NotSent(link, kDataId, -1, true);
    link.Report40Buffer[0] = kDataId;
    std::copy(data, data + kPieceSize, link.Report40Buffer.begin() + 1);
    if (link.SetFeature40(link.Report41Handle, link.Report40Buffer)) return true;
    return NotSent(link, kDataId, -1, false);
}

bool WriteBlock40(Link& link, OperationHost& host, int address, int length,
                  const std::uint8_t* source) {
    link.Piece41.fill(0xFF);
    if (!ValidBlock(address, length) || (length > 0 && source == nullptr)) return false;
    // Without a data interface the pieces could not follow the command.
    if (length > 0 && link.Report41Handle == kInvalidHandle) {
        NotSent(link, kDataId, -1, true);
        AtBlock(link, address);
        return false;
    }
    if (!SendCommand40(link, kWriteBlock40, address >> 8, address & 0xFF, length >> 8,
                       length & 0xFF)) {
        AtBlock(link, address);
        return false;
    }
    const int count = PieceCount(length, kPieceSize);
    for (int i = 0; i < count; ++i) {
        if (!BeforePiece(host, i, count)) return false;
        const int offset = i * kPieceSize;
        const int size = std::min(kPieceSize, length - offset);
        // A short last piece keeps the previous piece's bytes behind its own.
        std::memcpy(link.Piece41.data(), source + offset, static_cast<std::size_t>(size));
        if (!SendPiece41(link, link.Piece41.data())) {
            AtPiece(link, address, i, kPieceSize);
            return false;
        }
        host.transferred(size);
    }
    return true;
}

bool ReadBlock40(Link& link, OperationHost& host, int address, int length,
                 std::uint8_t* destination, std::size_t destinationSize) {
    if (destination != nullptr) std::fill(destination, destination + destinationSize, 0xFF);
    link.Piece41.fill(0xFF);
    if (!ValidBlock(address, length) || static_cast<std::size_t>(length) > destinationSize ||
        (length > 0 && destination == nullptr)) {
        return false;
    }
    if (length > 0 && link.Report41Handle == kInvalidHandle) {
        NotSent(link, kDataId, -1, true);
        AtBlock(link, address);
        return false;
    }
    if (!SendCommand40(link, 0x09, address >> 8, address & 0xFF, length >> 8, length & 0xFF)) {
        AtBlock(link, address);
        return false;
    }
    const int count = PieceCount(length, kPieceSize);
    bool allDelivered = true;
    for (int i = 0; i < count; ++i) {
        if (!BeforePiece(host, i, count)) return false;
        if (!FetchPiece41(link, host)) {
            allDelivered = false;
            AtPiece(link, address, i, kPieceSize);
            ++link.Record.lostPieces;
        }
        const int offset = i * kPieceSize;
        const int size = std::min(kPieceSize, length - offset);
        std::memcpy(destination + offset, link.Piece41.data(), static_cast<std::size_t>(size));
        host.transferred(size);
    }
    return allDelivered;
}

}  // namespace bw
