#pragma once
// Report-4 command protocol: command frames acknowledged with 0xCC in byte 7,
// and block transfers in 6-byte pieces. Addresses and lengths low byte first.

#include <cstddef>
#include <cstdint>

#include "device/link.h"
#include "device/operation_host.h"

namespace bw {

// The report and the commands the link's record names when a transfer fails.
inline constexpr std::uint8_t kReport4Id = 0x04;
inline constexpr int kReadPiece4 = 0x05;
inline constexpr int kWriteBlock4 = 0x06;
inline constexpr int kWritePiece4 = 0x07;

// Acknowledged only by a status 0xCC read after a set that went through: after a failed
// set no poll is made (the device's answer would belong to the frame before).
bool SendCommand4(Link& link, OperationHost& host, int command, int p1 = 0, int p2 = 0, int p3 = 0,
                  int p4 = 0);
// Leaves the piece in link.Piece4 (0xFF when it did not arrive). Returns whether it arrived.
bool FetchPiece4(Link& link, OperationHost& host);
bool SendPiece4(Link& link, OperationHost& host, const std::uint8_t data[6]);

// destination must hold destinationSize >= length bytes; all of it is filled with 0xFF first.
// Returns false when the read command or any piece was not acknowledged; a piece that did
// not arrive stays 0xFF. The read goes on past such a piece, but stops once a piece saw no
// transfer succeed at all (the mouse is gone, so the rest would stay 0xFF anyway).
// Blocks outside 0..65535 or larger than the destination are refused without a transfer.
// Both block routines stop between two pieces, with false, once the host asks for an abort.
bool ReadBlock4(Link& link, OperationHost& host, int address, int length, std::uint8_t* destination,
                std::size_t destinationSize);
// True when the write command and every piece were acknowledged; stops at the first that was not.
bool WriteBlock4(Link& link, OperationHost& host, int address, int length,
                 const std::uint8_t* source);

}  // namespace bw
