#pragma once
// Report-0x40/0x41 protocol: commands on report 0x40, data in 7-byte pieces on
// report 0x41, no acknowledgement. Addresses and lengths high byte first.

#include <cstddef>
#include <cstdint>

#include "device/link.h"
#include "device/operation_host.h"

namespace bw {

inline constexpr std::uint8_t kReport40Id = 0x40;  // commands; data on 0x41
inline constexpr int kWriteBlock40 = 0x07;

bool SendCommand40(Link& link, int command, int p1 = 0, int p2 = 0, int p3 = 0, int p4 = 0);
// Leaves the piece in link.Piece41 (0xFF when the transfer failed). Returns whether it arrived.
bool FetchPiece41(Link& link, OperationHost& host);
bool SendPiece41(Link& link, const std::uint8_t data[7]);

// Return false when the command or any piece transfer failed; a write stops at the first.
// With data to move and no Report41Handle they fail before sending the command. A read
// fills its whole destination with 0xFF first; a piece that failed stays 0xFF. Both stop
// between two pieces, with false, once the host asks for an abort.
bool WriteBlock40(Link& link, OperationHost& host, int address, int length,
                  const std::uint8_t* source);
bool ReadBlock40(Link& link, OperationHost& host, int address, int length,
                 std::uint8_t* destination, std::size_t destinationSize);

}  // namespace bw
