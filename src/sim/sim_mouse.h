#pragma once
// Model of the mouse controller: 2048 bytes of configuration memory behind the
// report-4 protocol (IC type 0) or the report-0x40/0x41 protocol (IC types 1, 2).
// Addresses wrap modulo 2048, so no command can reach outside the memory.
//
// Report 4: each set carries a command; gets return 0x00 in byte 7 until the
// answer is due (ack-after), then the reply with 0xCC. Unknown and nacked
// commands are never answered. A block read answers its pieces with memory
// bytes up to the announced length and zeros beyond; a block write stores only
// the announced length. A piece command resent before its answer was read is a
// retry of the same piece (the host sends each piece at most kSendsPerPiece times).
// Reports 0x40/0x41: sets of 0x40 are always accepted (0x07 write, 0x09 read,
// 0x0D probe, others ignored); a get of 0x41 outside a block read, or past its
// length, answers zeros; sets of 0x41 outside a block write store nothing.

#include <array>
#include <cstdint>

#include "image/ic_types.h"
#include "image/image_buffers.h"
#include "sim/scenario.h"

namespace bw {

using SimFrame = std::array<std::uint8_t, 8>;

struct SimStatusBytes {
    std::uint8_t status1 = 0xAA;
    std::uint8_t status2 = 0x04;
    std::uint8_t chip = 0x35;
};

class SimulatedMouse {
  public:
    // The host gives up on a report-4 piece after this many sends.
    static constexpr int kSendsPerPiece = 5;

    SimulatedMouse(int icType, SimStatusBytes status, const Image& initial);

    int icType() const { return icType_; }
    Protocol protocol() const { return protocol_; }
    bool carriesReport(std::uint8_t reportId) const;

    Image& memory() { return memory_; }
    const Image& memory() const { return memory_; }
    SimStatusBytes& status() { return status_; }

    // True once a block write has been started or a byte stored since plug-in.
    bool written() const { return written_; }

    // Device side of one feature transfer; frame[0] is the report ID.
    // False: the device does not deliver (lost piece). A report the mouse does
    // not carry is refused by the platform before it gets here.
    bool setFeature(const SimFrame& frame, const Faults& faults);
    bool getFeature(SimFrame& frame, const Faults& faults);

  private:
    struct Block {
        bool active = false;
        int address = 0;
        int length = 0;
        int done = 0;  // bytes moved so far
    };

    void setReport4(const SimFrame& frame, const Faults& faults);
    void getReport4(SimFrame& frame, const Faults& faults);
    void startPieceCommand(int command);
    void fetchPiece4(const Faults& faults);
    void storePiece(Block& block, const std::uint8_t* data, int count, const Faults& faults);
    void loadPiece(Block& block, std::uint8_t* out, int count);

    int icType_;
    Protocol protocol_;
    SimStatusBytes status_;
    Image memory_;
    bool written_ = false;

    Block read_;
    Block write_;

    // Report-4 reply state.
    SimFrame reply_{};
    bool answerPending_ = false;  // the last set will be acknowledged
    bool pieceAnswer_ = false;    // the pending answer is that of a piece command
    int pollsSinceSet_ = 0;
    // Report-4 piece retries: a piece command resent before its answer was
    // delivered repeats the same piece, up to kSendsPerPiece sends.
    int lastPieceCommand_ = 0;
    int sendsOfPiece_ = 0;
    bool pieceDelivered_ = true;
    int readPieceIndex_ = 0;  // 1-based index of the piece being fetched
    SimFrame pendingPiece_{};
    int pendingCount_ = 0;
};

}  // namespace bw
