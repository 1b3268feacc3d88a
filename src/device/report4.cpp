#include "device/report4.h"

#include <algorithm>
#include <cstring>

#include "device/block_pieces.h"

namespace bw {

namespace {

constexpr std::uint8_t kReportId = kReport4Id;
constexpr std::uint8_t kAck = 0xCC;
constexpr std::uint8_t kNoAnswer = 0x00;
constexpr int kSends = 5;
constexpr int kPolls = 5;
constexpr int kPieceSize = 6;

enum class Handshake { Acknowledged, NotAcknowledged, Unreachable };

// One command exchange: send the frame, poll for the status in byte 7, resend
// up to five times. Unreachable means not a single transfer went through.
// piece: the frame is a piece command, whose answer the device gives once. A poll that
// came back short may have been that answer; a resend would then move on to the next
// piece, so the piece counts as not acknowledged instead.
// The fault of an exchange that was not acknowledged, with its command and send count.
Handshake Refused(Link& link, const Report& frame, LinkFaultKind kind, int sends,
                  Handshake result) {
    LinkFault fault;
    fault.kind = kind;
    fault.report = kReportId;
    fault.command = frame[1];
    fault.sends = sends;
    link.NoteFault(fault);
    return result;
}

Handshake Exchange(Link& link, OperationHost& host, const Report& frame, int pauseAfterSend,
                   int pauseAfterEmptyPoll, bool piece) {
    if (link.Report4Handle == kInvalidHandle) {
        return Refused(link, frame, LinkFaultKind::NoHandle, 0, Handshake::Unreachable);
    }
    bool anyTransfer = false;
    for (int send = 0; send < kSends; ++send) {
        link.Report4Buffer = frame;
        const bool sent = link.SetFeature4(link.Report4Handle, link.Report4Buffer);
        anyTransfer |= sent;
        host.sleepMs(pauseAfterSend);
        std::uint8_t status = kNoAnswer;
        for (int poll = 0; poll < kPolls; ++poll) {
            // The frame did not go out: the device still holds its answer to the previous
            // one (for a piece command: the previous piece, which a poll would consume).
            // Nothing it could show answers this frame, so the polls' time passes unpolled.
            if (!sent) {
                host.sleepMs(pauseAfterEmptyPoll);
                continue;
            }
            const bool delivered = link.GetFeature4(link.Report4Handle, link.Report4Buffer);
            anyTransfer |= delivered || link.LastTransferShort;
            if (piece && link.LastTransferShort) {
                return Refused(link, frame, LinkFaultKind::ShortReply, send + 1,
                               Handshake::NotAcknowledged);
            }
            // A failed get leaves the buffer stale: it is no answer, whatever byte 7 holds.
            status = delivered ? link.Report4Buffer[7] : kNoAnswer;
            if (status != kNoAnswer) break;
            host.sleepMs(pauseAfterEmptyPoll);
        }
        if (status == kAck) return Handshake::Acknowledged;
    }
    if (!anyTransfer) {
        return Refused(link, frame, LinkFaultKind::Unreachable, kSends, Handshake::Unreachable);
    }
    return Refused(link, frame, LinkFaultKind::NotAcknowledged, kSends, Handshake::NotAcknowledged);
}

Handshake FetchPiece(Link& link, OperationHost& host) {
    link.Piece4.fill(0xFF);
    const Report frame{kReportId, kReadPiece4, 0, 0, 0, 0, 0, 0};
    const Handshake result = Exchange(link, host, frame, 5, 5, true);
    if (result == Handshake::Acknowledged) {
        std::copy(link.Report4Buffer.begin() + 1, link.Report4Buffer.end(), link.Piece4.begin());
        host.processEvents();
    }
    return result;
}

}  // namespace

bool SendCommand4(Link& link, OperationHost& host, int command, int p1, int p2, int p3, int p4) {
    const Report frame{kReportId,
                       static_cast<std::uint8_t>(command),
                       static_cast<std::uint8_t>(p1),
                       static_cast<std::uint8_t>(p2),
                       static_cast<std::uint8_t>(p3),
                       static_cast<std::uint8_t>(p4),
                       0,
                       0};
    return Exchange(link, host, frame, 10, 10, false) == Handshake::Acknowledged;
}

bool FetchPiece4(Link& link, OperationHost& host) {
    return FetchPiece(link, host) == Handshake::Acknowledged;
}

bool SendPiece4(Link& link, OperationHost& host, const std::uint8_t data[6]) {
    Report frame{kReportId, kWritePiece4};
    std::copy(data, data + kPieceSize, frame.begin() + 2);
    return Exchange(link, host, frame, 10, 5, true) == Handshake::Acknowledged;
}

bool ReadBlock4(Link& link, OperationHost& host, int address, int length, std::uint8_t* destination,
                std::size_t destinationSize) {
    if (destination != nullptr) std::fill(destination, destination + destinationSize, 0xFF);
    if (!ValidBlock(address, length) || static_cast<std::size_t>(length) > destinationSize ||
        (length > 0 && destination == nullptr)) {
        return false;
    }
    if (!SendCommand4(link, host, 0x04, address & 0xFF, address >> 8, length & 0xFF, length >> 8)) {
        AtBlock(link, address);
        return false;
    }
    const int count = PieceCount(length, kPieceSize);
    bool allDelivered = true;
    for (int i = 0; i < count; ++i) {
        if (!BeforePiece(host, i, count)) return false;
        const Handshake result = FetchPiece(link, host);
        const int offset = i * kPieceSize;
        const int size = std::min(kPieceSize, length - offset);
        std::memcpy(destination + offset, link.Piece4.data(), static_cast<std::size_t>(size));
        host.processEvents();
        host.transferred(size);
        if (result != Handshake::Acknowledged) {
            allDelivered = false;
            AtPiece(link, address, i, kPieceSize);
            ++link.Record.lostPieces;
        }
        // A mouse that takes no transfer at all is gone: the rest would stay 0xFF anyway.
        if (result == Handshake::Unreachable) break;
    }
    return allDelivered;
}

bool WriteBlock4(Link& link, OperationHost& host, int address, int length,
                 const std::uint8_t* source) {
    link.Piece4.fill(0xFF);
    if (!ValidBlock(address, length) || (length > 0 && source == nullptr)) return false;
    if (!SendCommand4(link, host, kWriteBlock4, address & 0xFF, address >> 8, length & 0xFF,
                      length >> 8)) {
        AtBlock(link, address);
        return false;
    }
    const int count = PieceCount(length, kPieceSize);
    for (int i = 0; i < count; ++i) {
        if (!BeforePiece(host, i, count)) return false;
        const int offset = i * kPieceSize;
        const int size = std::min(kPieceSize, length - offset);
        // A short last piece keeps the previous piece's bytes behind its own.
        std::memcpy(link.Piece4.data(), source + offset, static_cast<std::size_t>(size));
        host.processEvents();
        if (!SendPiece4(link, host, link.Piece4.data())) {
            AtPiece(link, address, i, kPieceSize);
            return false;
        }
        host.transferred(size);
    }
    return true;
}

}  // namespace bw
